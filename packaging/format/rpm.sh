# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The RPM: the tarball's static program, so that it runs on any RPM
# distribution whatever its glibc, with its papers where RPM distributions
# keep them. rpmbuild runs with HOME and its database in the scratch folder,
# none of the host's brp scripts (they would strip a foreign binary with the
# host's strip, and brp-compress needs bash), no build-id links, and every
# time stamp at SOURCE_DATE_EPOCH, so that two builds give the same bytes.

# pack_rpm NAME ARCH RPMARCH: target NAME's RPM, $dist/setwalk-VERSION-1.RPMARCH.rpm.
pack_rpm() {
    local rpm=setwalk-$version-1.$3.rpm
    step "package $rpm"
    make_rpm "$1" "$3" "$version" "$dist/$rpm"
    ships "$rpm" usr/bin/setwalk "$work/stage/$1/bin/setwalk" "$work/stage/$1.records"
}

# make_rpm NAME RPMARCH VERSION RPM: target NAME's RPM as version VERSION,
# written to RPM.
make_rpm() {
    local stage=$work/stage/$1 rpmarch=$2 version=$3 top=$work/rpm/$2-$3 rpm=setwalk-$3-1.$2.rpm
    local from path install='' files='' changelog=''
    mkdir -p "$top/home"
    while read -r from path _; do
        case $path in
        bin/*)
            install+="install -D -m 755 $from %{buildroot}%{_bindir}/${path#bin/}"$'\n'
            files+="%{_bindir}/${path#bin/}"$'\n' ;;
        share/man/*)
            install+="install -D -m 644 $from %{buildroot}%{_mandir}/${path#share/man/}"$'\n'
            install+="gzip -9n %{buildroot}%{_mandir}/${path#share/man/}"$'\n'
            files+="%{_mandir}/${path#share/man/}.gz"$'\n' ;;
        */LICENSE | */LGPL-*)
            install+="install -D -m 644 $from %{buildroot}%{_defaultlicensedir}/setwalk/${path##*/}"$'\n'
            files+="%license %{_defaultlicensedir}/setwalk/${path##*/}"$'\n' ;;
        */NEWS.md)
            # The package's changelog, and a document like the others.
            changelog=$(rpm_changelog "$from") ;&
        share/doc/*)
            install+="install -D -m 644 $from %{buildroot}%{_docdir}/${path#share/doc/}"$'\n'
            files+="%doc %{_docdir}/${path#share/doc/}"$'\n' ;;
        esac
    done < <(package_files "$stage")
    install+='find %{buildroot} -exec touch -h -d @%{getenv:SOURCE_DATE_EPOCH} {} +'
    awk -v install="$install" -v files="$files" -v changelog="$changelog" -v version="$version" \
        -v maintainer="$maintainer" '
        { gsub(/@VERSION@/, version); gsub(/@MAINTAINER@/, maintainer) }
        /^@INSTALL@$/ { print install; next }
        /^@FILES@$/ { printf "%s", files; next }
        /^@CHANGELOG@$/ { printf "%s", changelog; next }
        { print }' "$packaging/rpm/setwalk.spec.in" > "$top/setwalk.spec"
    HOME=$top/home rpmbuild -bb --quiet --target "$rpmarch" \
        --define "_topdir $top" --define "_dbpath $top/db" \
        --define '__os_install_post %{nil}' --define '_build_id_links none' \
        --define 'use_source_date_epoch_as_buildtime 1' \
        --define 'clamp_mtime_to_source_date_epoch 1' --define '_buildhost setwalk' \
        "$top/setwalk.spec" > "$top/log" 2>&1 || { cat "$top/log"; die "rpmbuild failed for $rpmarch"; }
    cp "$top/RPMS/$rpmarch/$rpm" "$4"
}

# check_rpm NAME ARCH RPMARCH: rpmlint finds nothing that its configuration
# does not filter with a reason, the architecture is the target's, and the
# program runs here (under the target's emulator) and writes the report,
# with its notices and the LGPL's text beside it.
check_rpm() {
    local rpm=$dist/setwalk-$version-1.$3.rpm tree
    # rpmlint exits 0 on warnings; a warning is a fault all the same, and
    # so is a run that does not end by saying it checked the one package.
    if ! HOME=$work/check rpmlint -c "$packaging/rpm/rpmlint.toml" "$rpm" > "$work/check/rpmlint" 2>&1 ||
        grep -qE ': [EW]: ' "$work/check/rpmlint" ||
        ! grep -q '^ *1 packages and 0 specfiles checked; 0 errors, 0 warnings' "$work/check/rpmlint"; then
        cat "$work/check/rpmlint"
        die "rpmlint finds fault with ${rpm##*/}, or did not check it"
    fi
    [ "$(HOME=$work/check rpm --dbpath "$work/check/rpmdb" -qp --qf '%{ARCH}' "$rpm")" = "$3" ] ||
        die "${rpm##*/}: wrong architecture"
    tree=$(unpack "$rpm")
    expect_binary "$tree/usr/bin/setwalk" 'statically linked'
    expect_report "$report" on_target "$1" "$tree/usr/bin/setwalk"
    holds "$tree/usr/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California"
    same_file /usr/share/common-licenses/LGPL-2.1 "$tree/usr/share/licenses/setwalk/LGPL-2.1"
    echo "ok: ${rpm##*/}, rpmlint clean, with the notices"
}

# rpm_changelog NEWS: NEWS.md in the form of an RPM changelog, newest first.
rpm_changelog() {
    local line entry day
    while IFS= read -r line; do
        case $line in
        '## '*)
            entry=${line#'## '} entry=${entry%% *}
            day=${line##*'('} day=${day%')'}
            printf '\n* %s %s - %s-1\n' "$(date -d "$day" '+%a %b %d %Y')" "$maintainer" "$entry" ;;
        '- '* | '  '*) printf '%s\n' "$line" ;;
        esac
    done < "$1" | sed 1d
}
