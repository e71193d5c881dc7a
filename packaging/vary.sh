#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes the release again as a rebuilder would, on another machine and
# without the keys, and compares it with the first:
#
#   packaging/vary.sh [--skip CHECK]... FIRST OUT
#
# FIRST holds a release of this commit (packaging/release.sh FIRST), signed
# or not. The second is made from a new clone of this one into OUT, with
# the same --skip options and no key, offline (in a network namespace of
# its own), as the user who runs vary.sh, root or not, and with what
# differs from machine to machine varied, as Debian's reproducible-builds
# tests vary it:
#
#   the build path     the clone is under a folder whose name has a space
#   directory order    the clone is seen through disorderfs, which lists
#                      each folder's entries in a new random order
#   the filesystem     the release's work folder (TMPDIR) is on a tmpfs,
#                      in a folder whose name has a space
#   host, domain       other names, in a UTS namespace of its own
#   time zone, locale  Pacific/Chatham (UTC+13:45) and C.UTF-8
#   umask              077 for the clone and the release's caller
#   CPUs               one, by taskset
#   the caller's       CXXFLAGS, LDFLAGS and DEB_BUILD_OPTIONS that would
#   environment        change the programs if they reached a compiler, and
#                      another HOME, whose name has a space and whose git
#                      configuration would change the source download if
#                      git read it
#
# The caches that release.sh --fetch filled are the caller's, found before
# HOME changes. packaging/compare.sh then compares the two: what carries no
# signature byte for byte, the rest once the first's signatures are removed.
#
# reprotest, Debian's tool for this, varies most of these too, but it can
# put neither a space in the build path nor the work folder on a tmpfs.
# Needs disorderfs, osslsigncode, msitools, rpm and diffoscope; as a user,
# subordinate ids in /etc/subuid and /etc/subgid (for the namespaces that
# mmdebstrap, within, makes of its own).
set -eEuo pipefail
trap 'echo "vary.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
usage() { echo "usage: packaging/vary.sh [--skip CHECK]... FIRST OUT" >&2; exit 2; }
options=()
while [ $# -gt 2 ] && [ "$1" = --skip ]; do
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
# The namespaces: as root, mount, UTS and network ones; as a user, in a
# user namespace of its own as well, in which the user's own id and
# subordinate ids are themselves, so that the release runs as that user and
# mmdebstrap can still map the subordinate ids; it keeps the namespace's
# capabilities, for the mounts and names.
namespace=(unshare --mount --uts --net)
if [ "$(id -u)" -ne 0 ]; then
    for file in subuid subgid; do
        read -r start count < <(awk -F: -v u="$(id -un)" -v i="$(id -u)" '$1 == u || $1 == i { print $2, $3; exit }' "/etc/$file") ||
            { echo "vary.sh: $(id -un) has no subordinate ids in /etc/$file" >&2; exit 1; }
        [ "$file" = subuid ] && namespace+=(--map-users="$start,$start,$count") || namespace+=(--map-groups="$start,$start,$count")
    done
    namespace+=(--map-current-user --keep-caps)
fi
export XDG_CACHE_HOME=${XDG_CACHE_HOME:-$HOME/.cache}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/other machine" "$work/tmpfs" "$work/clone" "$work/a home"
printf '[core]\n\tautocrlf = true\n' > "$work/a home/.gitconfig"
(umask 077 && git clone -q "$root" "$work/clone/setwalk")

# In the namespaces, so that the tmpfs, the disorderfs view and the names
# go with them.
# shellcheck disable=SC2016 # expanded by the inner shell
"${namespace[@]}" bash -euc '
    work=$1 out=$2
    shift 2
    hostname other-machine.invalid
    domainname other-domain.invalid
    mount -t tmpfs -o mode=1777 tmpfs "$work/tmpfs"
    mkdir "$work/tmpfs/temporary files"
    disorderfs --shuffle-dirents=yes --quiet "$work/clone" "$work/other machine" > /dev/null
    trap "fusermount -u \"\$work/other machine\" 2> /dev/null || umount -l \"\$work/other machine\"" EXIT
    umask 077
    echo "vary.sh: the release again, without keys, as $(id -un) (id -u $(id -u)) on $(hostname)," \
        "with no network but $(tail -n +3 /proc/net/dev | cut -d: -f1 | tr -d " " | paste -sd" ")"
    TMPDIR="$work/tmpfs/temporary files" TZ=Pacific/Chatham LANG=C.UTF-8 LC_ALL=C.UTF-8 HOME="$work/a home" \
        CXXFLAGS=-fstack-protector-all LDFLAGS=-Wl,-z,max-page-size=0x10000 DEB_BUILD_OPTIONS=noopt \
        taskset -c 0 "$work/other machine/setwalk/packaging/release.sh" "$@" "$out"
' vary "$work" "$out" "${options[@]}"

"$root/packaging/compare.sh" "$first" "$out"
