#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# What a link pulled into a program, and from which Debian package:
#
#   packaging/link-records.sh MAP [SYSROOT]
#
# MAP is the linker's map of the program (the build writes setwalk.map);
# SYSROOT, for a cross build, is the sysroot that cmake/sysroot.sh made,
# whose own dpkg database names the packages of the files inside it. Prints
# one tab-separated line for each library or start file the link used:
#
#   PACKAGE:ARCH  VERSION  SOURCE  SOURCE-VERSION  FILE  OBJECTS  COPYRIGHT
#
# OBJECTS counts the archive members the link took (1 for a lone object
# file), COPYRIGHT is the path of the package's copyright file. Fails when a
# file belongs to no package: such code could not be credited.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then echo "usage: link-records.sh MAP [SYSROOT]" >&2; exit 2; fi
map=$1 sysroot=${2:-}

# Every input file with the number of its objects taken: archive members
# from the map's first section, lone objects from its LOAD lines.
inputs() {
    sed -n '/^Archive member included/,/^Discarded input sections/ s/^\(\/[^(]*\.a\)(.*/\1/p' "$map"
    sed -n 's/^LOAD \(\/.*\.o\)$/\1/p' "$map"
}

inputs | while read -r file; do realpath "$file"; done | sort | uniq -c |
    while read -r objects file; do
        dpkg=(dpkg-query) docs=
        if [ -n "$sysroot" ] && [[ $file == "$sysroot"/* ]]; then
            dpkg+=(--admindir="$sysroot/var/lib/dpkg") docs=$sysroot
            file=${file#"$sysroot"}
        fi
        owner=$("${dpkg[@]}" -S "$file" 2> /dev/null | sed -n 's/: .*//p' | head -n 1)
        [ -n "$owner" ] || { echo "link-records.sh: no package owns $file" >&2; exit 1; }
        # shellcheck disable=SC2016 # dpkg-query's fields, not the shell's
        "${dpkg[@]}" -W -f='${binary:Package}\t${Version}\t${source:Package}\t${source:Version}' "$owner"
        printf '\t%s\t%s\t%s\n' "${file##*/}" "$objects" \
            "$docs/usr/share/doc/${owner%%:*}/copyright"
    done
