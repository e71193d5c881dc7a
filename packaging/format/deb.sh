# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Debian package, as Debian Policy asks: the C library shared (the
# program is built for it with SETWALK_SHARED_LIBC), Depends worked out by
# dpkg-shlibdeps, what is still linked in statically named in Built-Using,
# the man page and changelog compressed, the licence in the copyright file.

# pack_deb STAGE ARCH RECORDS SYSROOT: $dist/setwalk_VERSION_ARCH.deb from
# STAGE, whose program's link records are RECORDS; SYSROOT is the cross
# build's (empty for a native one).
pack_deb() {
    local stage=$1 arch=$2 records=$3 sysroot=$4 from path _
    local scratch=$work/deb/$arch tree=$work/deb/$arch/debian/setwalk
    local doc=$work/deb/$arch/debian/setwalk/usr/share/doc/setwalk
    step "package setwalk_${version}_$arch.deb"
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

    local depends built_using
    : > "$scratch/debian/control" # dpkg-shlibdeps reads it, empty will do
    depends=$(cd "$scratch" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O \
        ${sysroot:+"-S$sysroot"} debian/setwalk/usr/bin/setwalk | sed -n 's/^shlibs:Depends=//p')
    [ -n "$depends" ] || die "dpkg-shlibdeps found no dependency for the $arch package"
    built_using=$(cut -f3,4 "$records" | sort -u | sed 's/\t\(.*\)/ (= \1)/' | paste -sd, | sed 's/,/, /g')
    (cd "$tree" && find usr -type f | sort | xargs md5sum) > "$tree/DEBIAN/md5sums"
    sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
        -e "s/@DEPENDS@/$depends/" -e "s/@BUILT_USING@/$built_using/" \
        -e "s/@SIZE@/$(du -sk --apparent-size "$tree/usr" | cut -f1)/" \
        "$packaging/debian/control.in" > "$tree/DEBIAN/control"
    settle "$tree"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$dist/setwalk_${version}_$arch.deb" > /dev/null
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
