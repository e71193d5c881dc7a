# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Debian package, as Debian Policy asks: the C library shared (the
# program is built for it with SETWALK_SHARED_LIBC and Debian's own build
# flags), Depends worked out by dpkg-shlibdeps, what is still linked in
# statically named in Built-Using, the man page and changelog compressed,
# the licence in the copyright file.

# deb_flags ARCH VARIABLE: what dpkg-buildflags gives VARIABLE for ARCH,
# as Debian builds every package, hardening included; but without -g: the
# program is stripped, and debug information would bring the build folder
# into the build ID, which would then differ from clone to clone.
deb_flags() {
    DEB_HOST_ARCH=$1 DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g \
        dpkg-buildflags --get "$2"
}

# build_deb NAME ARCH TOOLCHAIN: the package's own program for target NAME,
# built with deb_flags into $work/stage/NAME.deb, with its notices.
build_deb() {
    local stage=$work/stage/$1.deb
    CXXFLAGS="$(deb_flags "$2" CPPFLAGS) $(deb_flags "$2" CXXFLAGS)" LDFLAGS=$(deb_flags "$2" LDFLAGS) \
        build "$1.deb" "$3" "$2" -DSETWALK_SHARED_LIBC=ON
    grep -q '^-- setwalk link: static C++ runtime, dynamic libc$' "$work/build/$1.deb.log" ||
        die "the package build of $1 does not link glibc shared"
    # glibc's start files, which every dynamic program carries (under its
    # licence's linking exception), come with the libc6 the package depends
    # on; what else the link took is in the package itself.
    sed -i '/\tglibc\t/d' "$stage.records"
    notices "$stage" /usr/bin/setwalk
}

# pack_deb NAME ARCH: target NAME's package, $dist/setwalk_VERSION_ARCH.deb.
pack_deb() {
    local stage=$work/stage/$1.deb arch=$2 from path _
    local scratch=$work/deb/$2 tree=$work/deb/$2/debian/setwalk
    local doc=$work/deb/$2/debian/setwalk/usr/share/doc/setwalk deb=setwalk_${version}_$2.deb
    step "package $deb"
    mkdir -p "$tree/DEBIAN" "$doc"
    while read -r from path _; do
        case $path in
        bin/*) install -D -m 755 "$from" "$tree/usr/$path" ;;
        share/man/*) install -D -m 644 "$from" "$tree/usr/$path" && gzip -9n "$tree/usr/$path" ;;
        */LICENSE) debian_copyright "$from" > "$doc/copyright" ;;
        */NEWS.md) debian_changelog "$from" | gzip -9n > "$doc/changelog.gz" ;;
        */THIRD-PARTY-NOTICES) gzip -9n < "$from" > "$doc/THIRD-PARTY-NOTICES.gz" ;;
        *) install -m 644 "$from" "$doc/" ;;
        esac
    done < <(package_files "$stage")

    # dpkg-shlibdeps reads debian/control (empty will do) and, for a cross
    # build, the sysroot's libc6. Its warnings are faults: an unused
    # library, say, would be a dependency the package does not need.
    local depends built_using sysroot
    sysroot=$(cat "$stage.sysroot")
    : > "$scratch/debian/control"
    depends=$(cd "$scratch" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O ${sysroot:+"-S$sysroot"} \
        debian/setwalk/usr/bin/setwalk 2> shlibdeps.err | sed -n 's/^shlibs:Depends=//p')
    [ ! -s "$scratch/shlibdeps.err" ] || { cat "$scratch/shlibdeps.err"; die "dpkg-shlibdeps warns about $deb"; }
    [ -n "$depends" ] || die "dpkg-shlibdeps found no dependency for $deb"
    built_using=$(cut -f3,4 "$stage.records" | sort -u | sed 's/\t\(.*\)/ (= \1)/' | paste -sd, | sed 's/,/, /g')
    (cd "$tree" && find usr -type f | sort | xargs md5sum) > "$tree/DEBIAN/md5sums"
    sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
        -e "s/@DEPENDS@/$depends/" -e "s/@BUILT_USING@/$built_using/" \
        -e "s/@SIZE@/$(du -sk --apparent-size "$tree/usr" | cut -f1)/" \
        "$packaging/debian/control.in" > "$tree/DEBIAN/control"
    settle "$tree"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$dist/$deb" > /dev/null
    ships "$deb" usr/bin/setwalk "$stage/bin/setwalk" "$stage.records"
}

# check_deb NAME ARCH: lintian finds no error and no warning, the control
# fields are the package's, and its program, built for glibc shared, runs
# here (under the target's emulator) and writes the report.
check_deb() {
    local deb=$dist/setwalk_${version}_$2.deb tree runner
    lintian --no-tag-display-limit "$deb" > "$work/check/lintian" 2>&1 || true
    ! grep -E '^[EW]: ' "$work/check/lintian" || die "lintian finds fault with ${deb##*/}"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$2" ] || die "${deb##*/}: wrong Architecture"
    [[ $(dpkg-deb -f "$deb" Depends) == libc6\ * ]] || die "${deb##*/} does not depend on libc6"
    [ -n "$(dpkg-deb -f "$deb" Built-Using)" ] || die "${deb##*/} has no Built-Using"
    tree=$(unpack "$deb")
    read -r -a runner < "$work/stage/$1.runner"
    expect_binary "$tree/usr/bin/setwalk" 'dynamically linked'
    expect_report "$report" "${runner[@]}" "$tree/usr/bin/setwalk"
    echo "ok: ${deb##*/}, lintian clean, $(dpkg-deb -f "$deb" Depends), built using $(dpkg-deb -f "$deb" Built-Using)"
}

# debian_copyright LICENSE: the copyright file, in Debian's machine-readable
# form, with setwalk's licence text.
debian_copyright() {
    sed "s/@MAINTAINER@/$maintainer/" "$packaging/debian/copyright.in"
    printf '\nLicense: MIT\n'
    sed -n '/^Permission/,$p' "$1" | sed 's/^$/./; s/^/ /'
}

# debian_changelog NEWS: NEWS.md in the form of a Debian changelog.
debian_changelog() {
    local line entry='' day=''
    while IFS= read -r line; do
        case $line in
        '## '*)
            [ -z "$entry" ] || printf '\n -- %s  %s\n\n' "$maintainer" "$(date -R -d "$day")"
            entry=${line#'## '} entry=${entry%% *}
            day=${line##*'('} day=${day%')'}
            printf 'setwalk (%s) unstable; urgency=medium\n\n' "$entry" ;;
        '- '*) printf '  * %s\n' "${line#- }" ;;
        '  '*) printf '    %s\n' "${line#  }" ;;
        esac
    done < "$1"
    printf '\n -- %s  %s\n' "$maintainer" "$(date -R -d "$day")"
}
