#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Starts a Windows program under wine for the test suite, with wine's own
# messages off. A WINEPREFIX of the user's is used as it is: nothing is
# written into it but what wine itself writes. Otherwise the program runs in
# a prefix of the suite's own, outside the home folder: SETWALK_WINEPREFIX,
# or setwalk-wine-UID in the temporary folder (about 590 MB). It is made on
# first use, under a lock since tests run side by side, and kept for later
# runs; remove it and its .lock file beside it to get the space back.
#
#   wine-run.sh PROGRAM ARGUMENT...   runs PROGRAM
#   wine-run.sh --version             says which wine, touching no prefix
#   wine-run.sh --prepare             makes or updates the prefix, quietly
#
# wine tells on standard error when it makes a prefix or brings one up to
# date for a new wine version; the suite runs --prepare once before its
# cases, so that none of them sees those messages.
set -eu
# wine's loader is a 32-bit x86 program, which a kernel built without
# 32-bit support cannot start; say so plainly rather than fail each case.
if ! wine --version > /dev/null 2>&1; then
    echo "wine-run.sh: wine cannot start here; does this kernel run 32-bit x86 programs?" >&2
    exit 126
fi
[ "${1:-}" != --version ] || exec wine --version
export WINEDEBUG=${WINEDEBUG:--all}
# Without its menu builder, wine leaves the home folder alone.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX=${SETWALK_WINEPREFIX:-${TMPDIR:-/tmp}/setwalk-wine-$(id -u)}
    if [ ! -e "$WINEPREFIX/.setwalk-ready" ]; then
        mkdir -p "$WINEPREFIX"
        (
            flock 9
            if [ ! -e "$WINEPREFIX/.setwalk-ready" ]; then
                wineboot -i < /dev/null > /dev/null 2>&1
                touch "$WINEPREFIX/.setwalk-ready"
            fi
        ) 9> "$WINEPREFIX.lock"
    fi
fi
if [ "${1:-}" = --prepare ]; then
    wineboot -u < /dev/null > /dev/null 2>&1
    exec wineserver -w
fi
exec wine "$@"
