#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Tries a Debian package as a user's machine would take it, without touching
# this one:
#
#   packaging/debian/pristine-install.sh DEB LATER REPORT
#
# In a minimal Debian system (see pristine.sh beside this): installs DEB
# with apt, which must find its dependencies; runs setwalk from PATH, which
# must write exactly REPORT; upgrades it with apt to LATER, a later version
# of the package, and runs that; purges it with apt, as README.md says; and
# wants no file left that was not there before. Needs root.
set -eEuo pipefail
trap 'echo "pristine-install.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 3 ] || { echo "usage: pristine-install.sh DEB LATER REPORT" >&2; exit 2; }
deb=$(realpath "$1") later=$(realpath "$2") report=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$deb" "$work/setwalk.deb"
cp "$later" "$work/later.deb"
cp "$report" "$work/report"
cat > "$work/try" <<'SCRIPT'
#!/bin/sh
set -eu
cd /tmp/try
# Every file of the system, to see what the package leaves behind; apt's
# and dpkg's own records, logs and caches change by design.
files() {
    find / -xdev \( -path /proc -o -path /tmp -o -path /var/cache -o -path /var/log \
        -o -path /var/lib/apt -o -path /var/lib/dpkg \) -prune -o -print | sort
}
files > before
apt-get install -y -q ./setwalk.deb > apt.log 2>&1 || { cat apt.log; exit 1; }
echo "installed: $(dpkg-query -W -f='${Package} ${Version} ${Architecture}' setwalk)"
echo "its dependencies: $(dpkg-query -W -f='${Depends}' setwalk)"
command -v setwalk
setwalk > out
cmp report out
echo "ran from PATH and wrote the exact report"
installed=$(dpkg-query -W -f='${Version}' setwalk)
apt-get install -y -q ./later.deb > apt.log 2>&1 || { cat apt.log; exit 1; }
upgraded=$(dpkg-query -W -f='${Version}' setwalk)
dpkg --compare-versions "$upgraded" gt "$installed" || { echo "apt left setwalk at $upgraded"; exit 1; }
setwalk > out
cmp report out
echo "upgraded with apt to $upgraded, which ran and wrote the exact report"
# As README.md says to remove it.
apt purge -y setwalk > apt.log 2>&1 || { cat apt.log; exit 1; }
! dpkg-query -W setwalk 2> /dev/null || { echo "setwalk is still known to dpkg"; exit 1; }
files > after
if ! cmp -s before after; then
    echo "the package left this behind:"; diff before after; exit 1
fi
echo "purged with apt purge: nothing left behind"
SCRIPT
chmod 755 "$work/try"
"$(dirname "$0")/pristine.sh" minbase "$work"
