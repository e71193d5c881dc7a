#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Runs a trial in a pristine Debian, without touching this machine:
#
#   packaging/debian/pristine.sh VARIANT FOLDER
#
# Makes a Debian system of this machine's release with mmdebstrap's
# VARIANT, from the Debian archive this machine uses (see sources.sh), and
# copies FOLDER into it as /tmp/try. There, as root, it runs FOLDER/setup if
# there is one (whatever the trial fetches from the archive), then
# FOLDER/try. The system is thrown away. The archive has bad hours (a
# mirror mid-sync): when it fails the system or its setup, the system is
# made once more after a pause; a trial that fails is not tried again.
# Needs root.
set -eEuo pipefail
trap 'echo "pristine.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 2 ] || { echo "usage: pristine.sh VARIANT FOLDER" >&2; exit 2; }
variant=$1 folder=$(realpath "$2")
. /etc/os-release
marks=$(mktemp -d)
trap 'rm -rf "$marks"' EXIT
"$(dirname "$0")/sources.sh" > "$marks/sources.list"

for try in 1 2; do
    rm -f "$marks/set-up"
    # shellcheck disable=SC2016 # $1 is the new system's root, given by mmdebstrap
    mmdebstrap --variant="$variant" --quiet \
        --customize-hook='mkdir "$1/tmp/try"' \
        --customize-hook="sync-in $folder /tmp/try" \
        --customize-hook='[ ! -e "$1/tmp/try/setup" ] || chroot "$1" /tmp/try/setup' \
        --customize-hook="touch $marks/set-up" \
        --customize-hook='chroot "$1" /tmp/try/try' \
        "$VERSION_CODENAME" /dev/null "$marks/sources.list" < /dev/null && exit 0
    [ ! -e "$marks/set-up" ] || exit 1
    [ "$try" = 1 ] || { echo "pristine.sh: the archive failed the system twice" >&2; exit 1; }
    echo "pristine.sh: the archive failed the system or its setup; once more in 60 s" >&2
    sleep 60
done
