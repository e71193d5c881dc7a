#!/bin/bash
# Starts a Windows program under wine for the test suite: with wine's own
# messages off, and in a prefix of its own outside the home folder, made once
# on first use (under a lock, since tests may run side by side).
set -eu
export WINEDEBUG=${WINEDEBUG:--all}
# Without its menu builder, wine leaves the home folder alone.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/setwalk-wine-$(id -u)}
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
exec wine "$@"
