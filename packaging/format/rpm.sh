# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The RPM: the tarball's static program, so that it runs on any RPM
# distribution whatever its glibc, with its papers where RPM distributions
# keep them. rpmbuild runs with HOME and its database in the scratch folder,
# none of the host's brp scripts (they would strip a foreign binary with the
# host's strip, and brp-compress needs bash), no build-id links, and every
# time stamp at SOURCE_DATE_EPOCH, so that two builds give the same bytes.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# pack_rpm NAME: target NAME's RPM, in $dist, signed where the release signs.
pack_rpm() {
    local rpm
    rpm=$(download_name rpm "$1")
    step "package $rpm"
    make_rpm "$1" "$version" "$dist/$rpm" "$sign_key"
    ships "$rpm" usr/bin/setwalk "$work/stage/$1/bin/setwalk" "$work/stage/$1.records"
}

# rpm_place PATH: a file of the RPM (see files_of) where RPM distributions
# keep it: under usr/, the man page compressed, the licences in
# usr/share/licenses.
rpm_place() {
    case $1 in
    share/man/*) printf 'usr/%s.gz\tgzip' "$1" ;;
    */LICENSE | */LGPL-*) printf 'usr/share/licenses/setwalk/%s\tcopy' "${1##*/}" ;;
    *) printf 'usr/%s\tcopy' "$1" ;;
    esac
}

# make_rpm NAME VERSION RPM [KEY]: target NAME's RPM as version VERSION,
# written to RPM, and signed with KEY, if given.
make_rpm() {
    local stage=$work/stage/$1 rpmarch as_version=$2 scratch
    local from path how install='' files='' changelog='' kind
    rpmarch=$(target "$1" rpm) scratch=$work/rpm/$rpmarch-$2
    mkdir -p "$scratch/home"
    while IFS=$'\t' read -r from path how; do
        case $path in
        usr/share/licenses/*) kind='%license ' ;;
        usr/share/doc/*) kind='%doc ' ;;
        *) kind='' ;;
        esac
        # The package's changelog, and a document like the others.
        [[ $path != */NEWS.md ]] || changelog=$(rpm_changelog "$from")
        install+="mkdir -p \"%{buildroot}/${path%/*}\""$'\n'
        case $how in
        gzip) install+="gzip -9n < \"$from\" > \"%{buildroot}/$path\""$'\n' ;;
        *) install+="install -m $([[ $path == usr/bin/* ]] && echo 755 || echo 644) \"$from\" \"%{buildroot}/$path\""$'\n' ;;
        esac
        files+="$kind/$path"$'\n'
    done < <(files_of "$stage" rpm_place)
    install+='find "%{buildroot}" -exec touch -h -d @%{getenv:SOURCE_DATE_EPOCH} {} +'
    awk -v install="$install" -v files="$files" -v changelog="$changelog" -v version="$as_version" \
        -v maintainer="$maintainer" -v licence="$(licences "$stage.records")" '
        { gsub(/@VERSION@/, version); gsub(/@MAINTAINER@/, maintainer); gsub(/@LICENCE@/, licence) }
        /^@INSTALL@$/ { print install; next }
        /^@FILES@$/ { printf "%s", files; next }
        /^@CHANGELOG@$/ { printf "%s", changelog; next }
        { print }' "$packaging/rpm/setwalk.spec.in" > "$scratch/setwalk.spec"
    HOME=$scratch/home rpmbuild -bb --quiet --target "$rpmarch" \
        --define "_topdir $scratch" --define "_dbpath $scratch/db" \
        --define '__os_install_post %{nil}' --define '_build_id_links none' \
        --define 'use_source_date_epoch_as_buildtime 1' \
        --define 'clamp_mtime_to_source_date_epoch 1' --define '_buildhost setwalk' \
        "$scratch/setwalk.spec" > "$scratch/log" 2>&1 || { cat "$scratch/log"; die "rpmbuild failed for $rpmarch"; }
    cp "$scratch/RPMS/$rpmarch/setwalk-$2-1.$rpmarch.rpm" "$3"
    [ -z "${4:-}" ] || sign_rpm "$3" "$4"
}

# check_rpm NAME: rpmlint finds nothing that its configuration
# does not filter with a reason, the RPM holds exactly the files of the
# download, its name, version, architecture and licence are setwalk's and
# the target's, and the program, built for the target's processor, runs
# here (under the target's emulator) and writes the report, with its
# notices and the LGPL's text beside it.
check_rpm() {
    local rpm tree name query
    rpm=$dist/$(download_name rpm "$1")
    if [ -n "$sign_key" ]; then
        verify_rpm "$rpm"
        # rpm (rpmlint's, too) checks the signature, by the key in its database.
        HOME=$work/check rpm --import "$dist/$keyring.asc"
    fi
    tree=$(unpack "$rpm")
    holds_exactly "${rpm##*/}" "$tree" < <(files_of "$work/stage/$1" rpm_place)
    # rpmlint exits 0 on warnings; a warning is a fault all the same, and
    # so is a run that does not end by saying it checked the one package.
    if ! HOME=$work/check rpmlint -c "$packaging/rpm/rpmlint.toml" "$rpm" > "$work/check/rpmlint" 2>&1 ||
        grep -qE ': [EW]: ' "$work/check/rpmlint" ||
        ! grep -q '^ *1 packages and 0 specfiles checked; 0 errors, 0 warnings' "$work/check/rpmlint"; then
        cat "$work/check/rpmlint"
        die "rpmlint finds fault with ${rpm##*/}, or did not check it"
    fi
    for query in Name:"$project" Version:"$version" Arch:"$(target "$1" rpm)" License:"$(licences "$work/stage/$1.records")"; do
        name=${query%%:*}
        field "${rpm##*/}" "$name" \
            "$(HOME=$work/check rpm -qp --qf "%{$name}" "$rpm")" "${query#*:}"
    done
    expect_processor "$tree/usr/bin/setwalk" "$(target "$1" debian)"
    expect_binary "$tree/usr/bin/setwalk" 'statically linked'
    expect_report "$report" on_target "$1" "$tree/usr/bin/setwalk"
    says "$tree/usr/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California"
    same_file /usr/share/common-licenses/LGPL-2.1 "$tree/usr/share/licenses/setwalk/LGPL-2.1"
    echo "ok: ${rpm##*/}, rpmlint clean, with the notices${sign_key:+, signed}"
}

# rpm_changelog NEWS: NEWS.md in the form of an RPM changelog, newest first.
rpm_changelog() {
    local kind text
    while IFS=$'\t' read -r kind text; do
        case $kind in
        entry) printf '\n* %s %s - %s-1\n' "$(date -d "${text#* }" '+%a %b %d %Y')" "$maintainer" "${text%% *}" ;;
        item) printf -- '- %s\n' "$text" ;;
        more) printf '  %s\n' "$text" ;;
        esac
    done < <(news "$1") | sed 1d
}

# try_rpm NAME: the RPM of this machine's architecture is tried each way
# the README gives (see rpm_trial), each in an empty root of its own, as
# root or in a user namespace: dnf install of the file, rpm -i, and in a
# signed release the repository, with both gpg checks on, where dnf must
# also refuse an unsigned RPM, and the repository where the user's key
# file holds another key.
try_rpm() {
    local rpm later scratch=$work/try-rpm
    native_trial rpm "$1" "dnf install ./$(download_name rpm "$1"), rpm -i${sign_key:+, its repository}" remove || return 0
    rpm=$dist/$(download_name rpm "$1") later=$(download_name rpm "$1" "$(later_version "$version")")
    make_rpm "$1" "$(later_version "$version")" "$scratch/$later" "$sign_key"
    rpm_trial file "$rpm" "$scratch/$later"
    rpm_trial rpm "$rpm" "$scratch/$later"
    [ -n "$sign_key" ] || return 0
    make_rpm_repository "$scratch/later" "$rpm" "$scratch/$later"
    # dnf refuses an unsigned RPM from a signed repository,
    mkdir -p "$scratch/unsigned"
    make_rpm "$1" "$(later_version "$version")" "$scratch/unsigned/$later"
    make_rpm_repository "$scratch/unsigned-repository" "$scratch/unsigned/$later"
    new_rpm_root "$scratch/refused" "$scratch/unsigned-repository" "$dist/$keyring.asc"
    refused "$scratch/refused" 'not signed' "an unsigned RPM"
    # and the release's repository where the key file holds another key.
    other_key "$scratch/other"
    new_rpm_root "$scratch/refused" "$dist/rpm" "$scratch/other/key.asc"
    refused "$scratch/refused" 'GPG signature verification error' "the repository, given another key"
    rpm_trial repository "$dist/rpm" "$scratch/later"
}

# new_rpm_root ROOT [REPOSITORY KEY]: an empty root for a trial, with its
# own rpm database; given a repository, set up as the README says: the key
# file KEY installed where setwalk.repo names it, and setwalk.repo, its
# address the folder REPOSITORY.
new_rpm_root() {
    local key
    rm -rf "$1"
    # dnf takes the repositories of the root's /etc/yum.repos.d, where
    # there is one, else this machine's.
    mkdir -p "$1/etc/yum.repos.d"
    in_root "$1" rpm --initdb
    [ $# -eq 3 ] || return 0
    key=$(sed -n 's|^gpgkey=file://||p' "$dist/rpm/$project.repo")
    install -D -m 644 "$3" "$1$key"
    sed "s|^baseurl=.*|baseurl=file://${2// /%20}|" "$dist/rpm/$project.repo" > "$1/etc/yum.repos.d/$project.repo"
}

# refused ROOT WORDS WHAT: dnf, installing setwalk into ROOT, refuses WHAT
# and says WORDS of why.
refused() {
    if in_root "$1" dnf install setwalk > "$1.log" 2>&1 || ! grep -q "$2" "$1.log"; then
        cat "$1.log"
        die "dnf installs $3, or does not say why it refuses it"
    fi
    echo "dnf refused $3: $(grep -m 1 "$2" "$1.log")"
}

# rpm_trial WAY RPM LATER: the trial of try_rpm, the way WAY: file (dnf
# install ./RPM, dnf install ./LATER, dnf remove), rpm (rpm -i RPM, rpm -U
# LATER, rpm -e) or repository (dnf install from the repository RPM, dnf
# upgrade from the repository LATER, dnf remove).
rpm_trial() {
    local trial_root=$work/try-rpm/$1 install upgrade remove installed upgraded file left
    case $1 in
    file) install=(dnf install "$2") upgrade=(dnf install "$3") remove=(dnf remove setwalk) ;;
    rpm) install=(rpm -i "$2") upgrade=(rpm -U "$3") remove=(rpm -e setwalk) ;;
    repository) install=(dnf install setwalk) upgrade=(dnf upgrade setwalk) remove=(dnf remove setwalk) ;;
    *) die "no RPM trial $1" ;;
    esac
    if [ "$1" = repository ]; then new_rpm_root "$trial_root" "$2" "$dist/$keyring.asc"; else new_rpm_root "$trial_root"; fi
    in_root "$trial_root" "${install[@]}" || die "${install[*]##*/} cannot install setwalk"
    installed=$(in_root "$trial_root" rpm -q setwalk)
    expect_report "$report" "$trial_root/usr/bin/setwalk"
    for file in /usr/share/doc/setwalk/THIRD-PARTY-NOTICES /usr/share/licenses/setwalk/LICENSE \
        /usr/share/licenses/setwalk/LGPL-2.1 /usr/share/man/man1/setwalk.1.gz; do
        [ -s "$trial_root$file" ] || die "${2##*/} did not install $file"
    done
    echo "$1: installed $installed, which ran and wrote the exact report"
    [ "$1" != repository ] || sed -i "s|^baseurl=.*|baseurl=file://${3// /%20}|" "$trial_root/etc/yum.repos.d/$project.repo"
    in_root "$trial_root" "${upgrade[@]}"
    upgraded=$(in_root "$trial_root" rpm -q setwalk)
    [ "$upgraded" != "$installed" ] || die "the upgrade left $installed in place"
    [ "$(in_root "$trial_root" rpm -qa setwalk | wc -l)" -eq 1 ] || die "the upgrade kept $installed beside $upgraded"
    expect_report "$report" "$trial_root/usr/bin/setwalk"
    echo "$1: upgraded to $upgraded, which ran and wrote the exact report"
    in_root "$trial_root" "${remove[@]}"
    ! in_root "$trial_root" rpm -q setwalk > /dev/null || die "setwalk is still installed"
    left=$(cd "$trial_root" && find . \( -path ./etc/yum.repos.d -o -path ./etc/pki -o -path ./root/.rpmdb -o -path ./var/lib/rpm \
        -o -path ./var/lib/dnf -o -path ./var/cache -o -path ./var/log -o -path "./${work#/}/try-rpm/cache" \) \
        -prune -o ! -type d -print)
    [ -z "$left" ] || die "removing $upgraded left $left behind"
    echo "$1: removed, and no file left but the package managers' records"
}

# in_root ROOT rpm|dnf ARGUMENT...: rpm or dnf on the trial root ROOT, as
# root (see as_root), rpm without Debian's advice to use alien, dnf with
# the repositories of ROOT alone (a path in a URL has its spaces as %20).
# Both keep their database in ROOT (Debian's rpm in HOME's .rpmdb, which is
# ROOT's /root).
in_root() {
    local trial_root=$1 key
    case $2 in
    rpm)
        shift 2
        HOME=/root as_root rpm --root "$trial_root" "$@" 2> >(grep -v -e Alien -e 'know what you are doing' >&2 || true) ;;
    dnf)
        shift 2
        # dnf reads a repository's file:// key on this machine, even with
        # --installroot: it is shown the root's own key file instead. Its
        # cache is the scratch folder's, for its lock, which it takes
        # there, out of the root, and which as a user it could not take in
        # this machine's /var/cache/dnf; a file or two of the cache goes
        # to the same path within the root.
        key=''
        [ ! -f "$trial_root/etc/yum.repos.d/$project.repo" ] ||
            key=$(sed -n 's|^gpgkey=file://||p' "$trial_root/etc/yum.repos.d/$project.repo")
        HOME=/root as_root dnf --assumeyes --quiet --noplugins --installroot "$trial_root" --releasever 1 \
            ${key:+--setopt="$project.gpgkey=file://${trial_root// /%20}$key"} \
            --setopt=cachedir="$work/try-rpm/cache" --setopt=install_weak_deps=0 --setopt=skip_if_unavailable=False \
            --refresh "$@" \
            > "$work/try-rpm/dnf.log" 2>&1 || { cat "$work/try-rpm/dnf.log"; return 1; } ;;
    *) die "in_root runs rpm or dnf, not $2" ;;
    esac
}
