#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Tries a Debian package as a user's machine would take it, without touching
# this one:
#
#   packaging/debian/pristine-install.sh REPORT DEB LATER
#   packaging/debian/pristine-install.sh REPORT APT LATER FORGED KEYRING
#
# In a minimal Debian system (see pristine.sh beside this): installs the
# package DEB with apt, which must find its dependencies, or, given the apt
# repository APT, adds it as README.md says (its public key KEYRING and its
# setwalk.sources, as a file: source), which apt must read without a word
# of warning, and installs setwalk from it; runs setwalk from PATH, which
# must write exactly REPORT; upgrades it with apt to a later version (the
# package LATER, or the repository LATER, republished with it), and runs
# that; purges it with apt, as README.md says; and wants no file left that
# was not there before. Given repositories, apt must also refuse FORGED, a
# copy of APT signed with another key. Needs root.
set -eEuo pipefail
trap 'echo "pristine-install.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 3 ] || [ $# -eq 5 ] || {
    echo "usage: pristine-install.sh REPORT DEB LATER | REPORT APT LATER FORGED KEYRING" >&2
    exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt's own user reads the repositories and the keyring.
chmod 755 "$work"
cp "$1" "$work/report"
if [ $# -eq 3 ]; then
    cp "$2" "$work/setwalk.deb"
    cp "$3" "$work/later.deb"
else
    cp -R "$2" "$work/apt"
    cp -R "$3" "$work/later"
    cp -R "$4" "$work/forged"
    cp "$5" "$work/keyring.gpg"
fi
cat > "$work/try" <<'SCRIPT'
#!/bin/sh
set -eu
cd /tmp/try
export DEBIAN_FRONTEND=noninteractive
# Every file of the system, to see what the package leaves behind; apt's
# and dpkg's own records, logs and caches change by design.
files() {
    find / -xdev \( -path /proc -o -path /tmp -o -path /var/cache -o -path /var/log \
        -o -path /var/lib/apt -o -path /var/lib/dpkg \) -prune -o -print | sort
}
# update [SOURCE]: apt reads setwalk's source (or SOURCE, in its folder)
# alone, without an error or a warning.
update() {
    apt-get update --error-on=any -o Dir::Etc::SourceList="sources.list.d/${1:-setwalk.sources}" \
        -o Dir::Etc::SourceParts=- > apt.log 2>&1
}
# apt_get ARGUMENT...: apt-get, its messages shown only if it fails.
apt_get() { apt-get -y -q "$@" > apt.log 2>&1 || { cat apt.log; exit 1; }; }
if [ -d apt ]; then
    # As README.md says: the public key where setwalk.sources looks for it.
    keyring=$(sed -n 's/^Signed-By: //p' apt/setwalk.sources)
    install -m 644 keyring.gpg "$keyring"
    sed 's|^URIs: .*|URIs: file:/tmp/try/apt|' apt/setwalk.sources > /etc/apt/sources.list.d/setwalk.sources
    update && ! grep -q '^[WE]:' apt.log || { cat apt.log; exit 1; }
    echo "apt read the repository, signed with the release's key, without a warning"
    # The same repository signed with another key is refused.
    sed 's|^URIs: .*|URIs: file:/tmp/try/forged|' apt/setwalk.sources > /etc/apt/sources.list.d/forged.sources
    if update forged.sources || ! grep -q 'NO_PUBKEY' apt.log; then
        cat apt.log; echo "apt did not refuse a repository signed with another key"; exit 1
    fi
    echo "apt refused the repository signed with another key: $(grep -m 1 -o 'NO_PUBKEY [0-9A-F]*' apt.log)"
    rm /etc/apt/sources.list.d/forged.sources
fi
files > before
if [ -d apt ]; then apt_get install setwalk; else apt_get install ./setwalk.deb; fi
echo "installed: $(dpkg-query -W -f='${Package} ${Version} ${Architecture}' setwalk)"
echo "its dependencies: $(dpkg-query -W -f='${Depends}' setwalk)"
command -v setwalk
setwalk > out
cmp report out
echo "ran from PATH and wrote the exact report"
installed=$(dpkg-query -W -f='${Version}' setwalk)
if [ -d apt ]; then
    # The repository, republished with the later version.
    rm -r apt
    mv later apt
    update && ! grep -q '^[WE]:' apt.log || { cat apt.log; exit 1; }
    apt_get upgrade
else
    apt_get install ./later.deb
fi
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
