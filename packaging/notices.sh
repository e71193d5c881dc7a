#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The third-party notices of one program, from its link records:
#
#   packaging/notices.sh RECORDS PROGRAM VERSION DIR
#
# RECORDS is what link-records.sh printed for the program, PROGRAM the
# name the notices give it, VERSION setwalk's. Writes DIR/THIRD-PARTY-NOTICES
# and copies beside it the licence texts that packaging/credits names (LGPL-2.1
# where glibc is linked in). Fails on a source package the credits table
# does not know.
set -eEuo pipefail
trap 'echo "notices.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 4 ] || { echo "usage: notices.sh RECORDS PROGRAM VERSION DIR" >&2; exit 2; }
# shellcheck source=packaging/state.sh
. "$(dirname "$0")/state.sh"
records=$1 program=$2 version=$3 dir=$4

sources=$(cut -f3 "$records" | sort -u)
for source in $sources; do
    [ -n "$(credit "$source" 2)" ] ||
        { echo "notices.sh: $program carries code of $source, which packaging/credits does not credit" >&2; exit 1; }
done

{
    printf 'Third-party code in %s\n\n' "$program"
    printf 'setwalk %s is under the MIT licence (LICENSE). Its program also\n' "$version"
    printf 'carries object code that the link took from these Debian packages:\n'
    for source in $sources; do
        packages=$(awk -F '\t' -v s="$source" '$3 == s { print $1 }' "$records" | sort -u)
        awk -F '\t' -v s="$source" '$3 == s { print $4 }' "$records" | sort -u | while read -r v; do
            printf '\n- %s %s, from %s:\n' "$source" "$v" "$(echo "$packages" | paste -sd, | sed 's/,/, /g')"
        done
        awk -F '\t' -v s="$source" '$3 == s { printf "%s%s (%s)", sep, $5, $6; sep = ", " }' \
            "$records" | fold -s -w 72 | sed 's/ *$//; s/^/    /'
        echo
        printf '  Licence: %s\n' "$(credit "$source" 2)"
    done
    if grep -q $'\tglibc\t' "$records"; then
        cat <<TEXT

The GNU C Library is under the GNU Lesser General Public License 2.1 or
later, whose text is in LGPL-2.1 beside this file. Its exact source, as
Debian ships it (the upstream tarball and Debian's changes), is
setwalk-$version-glibc-source.tar.xz, published with this release. To
run setwalk with a modified glibc, build that glibc, then build
setwalk-$version.tar.gz against it, for example:

    cmake -S setwalk-$version -B build \\
        -DCMAKE_EXE_LINKER_FLAGS="-B GLIBC/lib -L GLIBC/lib"
    cmake --build build

where GLIBC is where the modified glibc is installed.
TEXT
    fi
    while IFS=$'\t' read -r package _ source _ _ _ copyright; do
        printf '\n\n===== %s (%s): Debian copyright file =====\n\n' "$source" "${package%%:*}"
        cat "$copyright"
    done < <(sort -t $'\t' -k3,3 -u "$records")
} > "$dir/THIRD-PARTY-NOTICES"

for source in $sources; do
    for text in $(credit "$source" 3); do
        [ "$text" = - ] || cp "/usr/share/common-licenses/$text" "$dir/$text"
    done
done
