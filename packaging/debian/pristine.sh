#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Runs a trial in a pristine Debian, without touching this machine:
#
#   packaging/debian/pristine.sh VARIANT FOLDER
#   packaging/debian/pristine.sh --fetch VARIANT PACKAGES
#
# Makes a Debian system of this machine's release with mmdebstrap's
# VARIANT, from the Debian archive this machine uses (see sources.sh), and
# copies FOLDER into it as /tmp/try. There, as root, it runs FOLDER/setup if
# there is one (whatever the trial fetches from the archive), then
# FOLDER/try. The system is thrown away. The archive has bad hours (a
# mirror mid-sync): when it fails the system or its setup, the system is
# made once more after a pause; a trial that fails is not tried again.
#
# --fetch keeps the packages of such a system in the folder PACKAGES, as a
# flat repository; where SETWALK_DEBIAN_PACKAGES names that folder, the
# system is made from it alone, without the network.
#
# As root, or as a user with subordinate ids (mmdebstrap's unshare mode).
# Any of the paths may hold a space; mmdebstrap's own hooks read theirs as
# a shell would, and it runs with a HOME that its root may read.
set -eEuo pipefail
trap 'echo "pristine.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
usage() { echo "usage: pristine.sh VARIANT FOLDER | --fetch VARIANT PACKAGES" >&2; exit 2; }
[ $# -eq 2 ] || [ $# -eq 3 ] || usage
. /etc/os-release
# As a user, mmdebstrap's own root is a subordinate id, which must reach
# the folder mmdebstrap makes in TMPDIR; the caller's TMPDIR may be under a
# private folder (the release's is, in packaging/vary.sh).
[ "$(id -u)" -eq 0 ] || export TMPDIR=/tmp
marks=$(mktemp -d)
trap 'rm -rf "$marks"' EXIT
"$(dirname "$0")/sources.sh" > "$marks/sources.list"

if [ "$1" = --fetch ]; then
    [ $# -eq 3 ] || usage
    packages=$(realpath -m "$3")
    rm -rf "$packages.new"
    mkdir -p "$packages.new"
    # shellcheck disable=SC2016 # $1 is the new system's root, given by mmdebstrap
    HOME=/ mmdebstrap --variant="$2" --quiet --skip=download/empty --skip=essential/unlink \
        --customize-hook="sync-out /var/cache/apt/archives $(printf %q "$packages.new")" \
        "$VERSION_CODENAME" /dev/null "$marks/sources.list" < /dev/null
    rm -rf "$packages.new/partial" "$packages.new/lock"
    # mmdebstrap picks a system's packages from the suite its Release names.
    (cd "$packages.new" && apt-ftparchive packages . > Packages &&
        apt-ftparchive release -o APT::FTPArchive::Release::Suite="$VERSION_CODENAME" \
            -o APT::FTPArchive::Release::Codename="$VERSION_CODENAME" . > Release)
    rm -rf "$packages"
    mv "$packages.new" "$packages"
    echo "pristine.sh: $(find "$packages" -name '*.deb' | wc -l) packages of a Debian $VERSION_ID $2 system in $packages"
    exit 0
fi
[ $# -eq 2 ] || usage
variant=$1 folder=$(realpath "$2")
if [ -n "${SETWALK_DEBIAN_PACKAGES:-}" ]; then
    [ -f "$SETWALK_DEBIAN_PACKAGES/Packages" ] ||
        { echo "pristine.sh: $SETWALK_DEBIAN_PACKAGES holds no packages (pristine.sh --fetch makes it)" >&2; exit 1; }
    echo "deb [trusted=yes] copy://${SETWALK_DEBIAN_PACKAGES// /%20} ./" > "$marks/sources.list"
fi

for try in 1 2; do
    rm -f "$marks/set-up"
    # shellcheck disable=SC2016 # $1 is the new system's root, given by mmdebstrap
    HOME=/ mmdebstrap --variant="$variant" --include=apt --quiet \
        --customize-hook='mkdir "$1/tmp/try"' \
        --customize-hook="sync-in $(printf %q "$folder") /tmp/try" \
        --customize-hook='[ ! -e "$1/tmp/try/setup" ] || chroot "$1" /tmp/try/setup' \
        --customize-hook='touch "$1/tmp/set-up"' \
        --customize-hook="copy-out /tmp/set-up $(printf %q "$marks")" \
        --customize-hook='chroot "$1" /tmp/try/try' \
        "$VERSION_CODENAME" /dev/null "$marks/sources.list" < /dev/null && exit 0
    [ ! -e "$marks/set-up" ] || exit 1
    # Made from the fetched packages, it was not the archive that failed.
    [ -z "${SETWALK_DEBIAN_PACKAGES:-}" ] || exit 1
    [ "$try" = 1 ] || { echo "pristine.sh: the archive failed the system twice" >&2; exit 1; }
    echo "pristine.sh: the archive failed the system or its setup; once more in 60 s" >&2
    sleep 60
done
