#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes the release again as another machine would, and compares it with a
# first one:
#
#   packaging/vary.sh [RELEASE-OPTION VALUE]... FIRST OUT
#
# FIRST holds a release of this commit (packaging/release.sh FIRST), made
# with the same release.sh options (--skip, --sign, --authenticode). The
# second is made from a new clone of this one into OUT, with what differs
# from machine to machine varied, as Debian's reproducible-builds tests
# vary it:
#
#   the build path     the clone is under a folder whose name has a space
#   directory order    the clone is seen through disorderfs, which lists
#                      each folder's entries in a new random order
#   the filesystem     the release's work folder (TMPDIR) is on a tmpfs
#   host, domain       other names, in a UTS namespace of its own
#   time zone, locale  Pacific/Chatham (UTC+13:45) and C.UTF-8
#   umask              077 for the clone and the release's caller
#   CPUs               one, by taskset
#   the caller's       CXXFLAGS, LDFLAGS and DEB_BUILD_OPTIONS that would
#   environment        change the programs if they reached a compiler, and
#                      another HOME, whose git configuration would change
#                      the source download if git read it
#
# The root for 32-bit wine is the caller's, found before HOME changes.
#
# reprotest, Debian's tool for this, varies most of these too, but it can
# put neither a space in the build path nor the work folder on a tmpfs.
# The two SHA256SUMS must be equal; where they are not, diffoscope shows
# where each differing file differs. Needs root (mount and UTS namespaces),
# disorderfs and diffoscope.
set -eEuo pipefail
trap 'echo "vary.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
usage() { echo "usage: packaging/vary.sh [RELEASE-OPTION VALUE]... FIRST OUT" >&2; exit 2; }
options=()
while [ $# -gt 2 ] && [[ $1 == --* ]]; do
    options+=("$1" "$2")
    shift 2
done
[ $# -eq 2 ] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
first=$(realpath "$1") out=$(realpath -m "$2")
[ -f "$first/SHA256SUMS" ] || { echo "vary.sh: $first holds no release" >&2; exit 1; }
for tool in disorderfs diffoscope unshare taskset; do
    command -v "$tool" > /dev/null || { echo "vary.sh: $tool is not installed" >&2; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "vary.sh: needs root, for its namespaces" >&2; exit 1; }

SETWALK_WINE32_ROOT=$("$root/cmake/wine32-root.sh" where)
export SETWALK_WINE32_ROOT

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/other machine" "$work/tmpfs" "$work/clone" "$work/home"
printf '[core]\n\tautocrlf = true\n' > "$work/home/.gitconfig"
(umask 077 && git clone -q "$root" "$work/clone/setwalk")

# In a mount and UTS namespace of the release's own, so that the tmpfs,
# the disorderfs view and the names go with it.
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount --uts bash -euc '
    work=$1 out=$2
    shift 2
    hostname other-machine.invalid
    domainname other-domain.invalid
    mount -t tmpfs -o mode=1777 tmpfs "$work/tmpfs"
    disorderfs --shuffle-dirents=yes --quiet "$work/clone" "$work/other machine" > /dev/null
    trap "fusermount -u \"\$work/other machine\" 2> /dev/null || umount -l \"\$work/other machine\"" EXIT
    umask 077
    TMPDIR=$work/tmpfs TZ=Pacific/Chatham LANG=C.UTF-8 LC_ALL=C.UTF-8 HOME=$work/home \
        CXXFLAGS=-fstack-protector-all LDFLAGS=-Wl,-z,max-page-size=0x10000 DEB_BUILD_OPTIONS=noopt \
        taskset -c 0 "$work/other machine/setwalk/packaging/release.sh" "$@" "$out"
' vary "$work" "$out" "${options[@]}"

if diff "$first/SHA256SUMS" "$out/SHA256SUMS"; then
    echo "ok: the release made as on another machine is byte for byte the first"
    exit 0
fi
# Each file whose sum differs, as diffoscope sees it.
while read -r _ file; do
    if [ ! -e "$out/$file" ]; then
        echo "$file: not in the second release"
        continue
    fi
    cmp -s "$first/$file" "$out/$file" && continue
    echo "=== $file differs:"
    diffoscope --no-progress --text - "$first/$file" "$out/$file" || [ $? -eq 1 ]
done < "$first/SHA256SUMS"
echo "vary.sh: the release made as on another machine differs from the first" >&2
exit 1
