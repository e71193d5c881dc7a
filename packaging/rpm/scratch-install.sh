#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Tries an RPM as an RPM system takes it, without touching this machine:
#
#   packaging/rpm/scratch-install.sh RPM LATER REPORT
#
# Installs RPM into an empty rpm root of its own, runs the installed
# setwalk, which must write exactly REPORT, wants its notices and licences
# in place, upgrades it with rpm -U to LATER, a later version of the
# package, and runs that, erases it, and wants no file left but rpm's own
# database.
# rpm's HOME is the scratch folder too, so nothing is written into the home
# folder. Needs root (rpm changes root for the transaction).
set -eEuo pipefail
trap 'echo "scratch-install.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 3 ] || { echo "usage: scratch-install.sh RPM LATER REPORT" >&2; exit 2; }
rpm=$(realpath "$1") later=$(realpath "$2") report=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work
root=$work/root

# in_root ARGUMENT...: rpm on the scratch root, its database where an RPM
# system keeps it (Debian's rpm would keep it in the home folder), without
# Debian's advice to use alien.
in_root() {
    rpm --root "$root" --dbpath /var/lib/rpm "$@" 2> >(grep -v -e Alien -e 'know what you are doing' >&2 || true)
}

in_root --initdb
in_root -i "$rpm"
echo "installed: $(in_root -q setwalk)"
"$root/usr/bin/setwalk" > "$work/out"
cmp "$report" "$work/out"
echo "ran and wrote the exact report"
for file in /usr/share/doc/setwalk/THIRD-PARTY-NOTICES /usr/share/licenses/setwalk/LICENSE \
    /usr/share/licenses/setwalk/LGPL-2.1 /usr/share/man/man1/setwalk.1.gz; do
    [ -s "$root$file" ] || { echo "the package did not install $file"; exit 1; }
done
echo "the notices, the licences and the man page are in place"
installed=$(in_root -q setwalk)
in_root -U "$later"
upgraded=$(in_root -q setwalk)
if [ "$upgraded" = "$installed" ] || [ "$(in_root -qa setwalk | wc -l)" -ne 1 ]; then
    echo "rpm -U did not replace $installed"; exit 1
fi
"$root/usr/bin/setwalk" > "$work/out"
cmp "$report" "$work/out"
echo "upgraded with rpm -U to $upgraded, which ran and wrote the exact report"
in_root -e setwalk
! in_root -q setwalk > /dev/null || { echo "setwalk is still installed"; exit 1; }
left=$(find "$root" -path "$root/var/lib/rpm" -prune -o -type f -print -o -type l -print)
[ -z "$left" ] || { echo "erasing left this behind:"; echo "$left"; exit 1; }
echo "erased: no file left but rpm's database"
