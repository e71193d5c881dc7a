#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes the sysroot a Linux cross build compiles and links against, and
# prints its path:
#
#   cmake/sysroot.sh ARCH         (a Debian architecture: arm64, s390x, ...)
#   cmake/sysroot.sh --where ARCH prints where it is or would be, and makes
#                                 nothing
#
# The sysroot holds Debian's own libc6, libc6-dev and linux-libc-dev for
# ARCH, at the very version of libc6-dev this machine has, so that every
# Linux target links one glibc, with its security fixes. (The cross
# toolchains' own libc6-dev-ARCH-cross lags behind, and libc6-dev:ARCH
# cannot always be installed beside the host's: the archive's security
# suite does not carry every architecture.) The packages are unpacked, not
# installed; a dpkg database of their own in var/lib/dpkg still lets
# `dpkg-query --admindir=SYSROOT/var/lib/dpkg -S FILE` name the package of
# any file, and DEBIAN/ holds libc6's symbols for dpkg-shlibdeps.
#
# The sysroot is kept for later builds in SETWALK_SYSROOTS, else in
# setwalk/sysroots of the cache folder (ARCH-VERSION, about 40 MB). Needs
# apt-get with ARCH added to dpkg's architectures (see HACKING.md) and
# dpkg-deb.
set -eEuo pipefail
trap 'echo "sysroot.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 1 ] || { [ $# -eq 2 ] && [ "$1" = --where ]; } || { echo "usage: cmake/sysroot.sh [--where] ARCH" >&2; exit 2; }
arch=${!#}
host=$(dpkg --print-architecture)
version=$(dpkg-query -W -f='${Version}' "libc6-dev:$host")
top=${SETWALK_SYSROOTS:-${XDG_CACHE_HOME:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache}/setwalk/sysroots}
sysroot=$top/$arch-$version
[ $# -eq 1 ] || { echo "$sysroot"; exit 0; }

if [ ! -e "$sysroot/.complete" ]; then
    mkdir -p "$top"
    (
        flock 9
        [ ! -e "$sysroot/.complete" ] || exit 0
        rm -rf "$sysroot" "$sysroot.debs"
        mkdir -p "$sysroot.debs" "$sysroot/var/lib/dpkg/info" "$sysroot/DEBIAN"
        echo 1 > "$sysroot/var/lib/dpkg/info/format" # lists named PACKAGE:ARCH
        (cd "$sysroot.debs" && apt-get download -q "libc6:$arch=$version" \
            "libc6-dev:$arch=$version" "linux-libc-dev:$arch") > "$sysroot.log" 2>&1 ||
            { cat "$sysroot.log" >&2; echo "sysroot.sh: cannot download glibc $version for $arch" >&2; exit 1; }
        for deb in "$sysroot.debs"/*.deb; do
            package=$(dpkg-deb -f "$deb" Package)
            dpkg-deb -x "$deb" "$sysroot"
            # The package's entry in the sysroot's own dpkg database.
            { dpkg-deb -f "$deb"; echo "Status: install ok installed"; echo; } \
                >> "$sysroot/var/lib/dpkg/status"
            dpkg-deb -c "$deb" | sed -e 's|.* \./|/|' -e 's| -> .*||' -e 's|/$||' |
                sed 's|^$|/.|' > "$sysroot/var/lib/dpkg/info/$package:$arch.list"
            if [ "$package" = libc6 ]; then
                dpkg-deb -e "$deb" "$sysroot.control"
                cp "$sysroot.control/symbols" "$sysroot.control/shlibs" "$sysroot/DEBIAN/"
                for file in symbols shlibs; do
                    cp "$sysroot.control/$file" "$sysroot/var/lib/dpkg/info/libc6:$arch.$file"
                done
            fi
        done
        # The packages' absolute links (such as /lib64/ld64.so.2) would lead
        # out of the sysroot into this machine; make them relative.
        find "$sysroot" -type l -lname '/*' | while read -r link; do
            ln -sfn "$(realpath -m --relative-to="${link%/*}" "$sysroot$(readlink "$link")")" "$link"
        done
        rm -rf "$sysroot.debs" "$sysroot.control" "$sysroot.log"
        touch "$sysroot/.complete"
    ) 9> "$top/$arch.lock"
fi
echo "$sysroot"
