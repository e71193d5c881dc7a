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
set -eEuo pipefail
trap 'echo "link-records.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
if [ $# -lt 1 ] || [ $# -gt 2 ]; then echo "usage: link-records.sh MAP [SYSROOT]" >&2; exit 2; fi
map=$1 sysroot=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every input file with the number of its objects taken: archive members
# from the map's first section, lone objects from its LOAD lines.
inputs() {
    sed -n '/^Archive member included/,/^Discarded input sections/ s/^\(\/[^(]*\.a\)(.*/\1/p' "$map"
    sed -n 's/^LOAD \(\/.*\.o\)$/\1/p' "$map"
}

# owners DPKG-QUERY-OPTION...: for each path on standard input (inside the
# database's root), the path and its package, tab-separated; one query for
# them all, as each query reads the whole database. A path that no package
# owns (dpkg-query's status 1) is left out, for the loop below to name.
owners() {
    local paths
    mapfile -t paths
    [ ${#paths[@]} -eq 0 ] && return
    { dpkg-query "$@" -S "${paths[@]}" 2> /dev/null || [ $? -eq 1 ]; } |
        sed -n 's/^\(.*\): \(\/.*\)$/\2\t\1/p'
}

# Each input file once, as the real path, with its number of objects.
inputs | sort | uniq -c | while read -r objects file; do
    printf '%s\t%s\n' "$(realpath "$file")" "$objects"
done | awk -F '\t' '{ n[$1] += $2 } END { for (f in n) print f "\t" n[f] }' | sort > "$work/inputs"
{
    if [ -n "$sysroot" ]; then
        grep -v "^$sysroot/" "$work/inputs" | cut -f1 | owners
        grep "^$sysroot/" "$work/inputs" | cut -f1 | sed "s|^$sysroot||" |
            owners --admindir="$sysroot/var/lib/dpkg" | sed "s|^|$sysroot|"
    else
        cut -f1 "$work/inputs" | owners
    fi
} | sort > "$work/owners"

declare -A described # package, as each one's dpkg-query -W answered
while IFS=$'\t' read -r file objects; do
    owner=$(awk -F '\t' -v f="$file" '$1 == f { sub(/,.*/, "", $2); print $2 }' "$work/owners")
    [ -n "$owner" ] || { echo "link-records.sh: no package owns $file" >&2; exit 1; }
    dpkg=(dpkg-query) docs=
    if [ -n "$sysroot" ] && [[ $file == "$sysroot"/* ]]; then
        dpkg+=(--admindir="$sysroot/var/lib/dpkg") docs=$sysroot
    fi
    if [ -z "${described[$docs$owner]:-}" ]; then
        # shellcheck disable=SC2016 # dpkg-query's fields, not the shell's
        described[$docs$owner]=$("${dpkg[@]}" -W \
            -f='${binary:Package}\t${Version}\t${source:Package}\t${source:Version}' "$owner")
    fi
    printf '%s\t%s\t%s\t%s\n' "${described[$docs$owner]}" "${file##*/}" "$objects" \
        "$docs/usr/share/doc/${owner%%:*}/copyright"
done < "$work/inputs"
