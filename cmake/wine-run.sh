#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Starts a Windows program under wine for the test suite and the release,
# with wine's own messages off:
#
#   wine-run.sh ARCH PROGRAM ARGUMENT...   runs PROGRAM
#   wine-run.sh ARCH --version             says which wine, touching no prefix
#   wine-run.sh ARCH --prepare             makes or updates the prefix, quietly,
#                                          and starts its server, once
#   wine-run.sh ARCH --launcher            prints the command that runs a
#                                          program in the places found here
#   wine-run.sh ARCH --stop                stops the prefix's wine server, and
#                                          so its programs
#
# ARCH is win32 for a 32-bit program or win64 for a 64-bit one. Each is
# started by the loader and server of its own width, never by Debian's
# `wine`, which takes whichever is installed. win64 takes this machine's
# wine64. win32 takes the wine32 of setwalk's own root (wine32-root.sh
# beside this, which --prepare makes where it is missing), since this
# machine's wine32:i386 cannot always be installed; its loader is a 32-bit
# x86 program, which some kernels cannot start.
#
# A WINEPREFIX of the user's is used as it is (it must be a 64-bit one for
# win64): nothing is written into it but what wine itself writes, and one
# that does not exist yet is made by wine, as at its first start. Otherwise
# the program runs in a prefix of the suite's own for its ARCH, outside the
# home folder: SETWALK_WINEPREFIX (win32) or SETWALK_WINEPREFIX64 (win64),
# else setwalk-wine-UID or setwalk-wine64-UID in the temporary folder. It
# is made on first use, under a lock since tests run side by side, and kept
# for later runs; remove it and its .lock file beside it to get the space
# back.
#
# The places wine works in, the prefix, (for win32) setwalk's root and the
# cache folder, where wine's fontconfig keeps the caches of the fonts it
# finds, are found from the environment: TMPDIR, WINEPREFIX,
# SETWALK_WINEPREFIX*, SETWALK_WINE32_ROOT, XDG_CACHE_HOME, HOME.
# --launcher prints, one word a line since a path may hold a space, a
# command that runs this script with them fixed as they are found now; the
# toolchains make the suite's launcher of it, so that a case which empties
# a program's environment empties it for the program alone. (A program
# that starts the prefix's wine server starts wine's own programs with its
# environment; without a cache folder, their fontconfig says so on standard
# error.)
#
# wine tells on standard error when it makes a prefix or brings one up to
# date for a new wine version; the suite runs --prepare once before its
# cases, so that none of them sees those messages.
set -eu
tmp=${TMPDIR:-/tmp}
here=$(cd "$(dirname "$0")" && pwd)
root=$here/wine32-root.sh
# in_root: what runs wine's own programs: the root for win32. own_is: the
# variable that names the suite's own prefix.
case ${1:-} in
win32)
    loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 in_root=("$root" run)
    own_is=SETWALK_WINEPREFIX own=${SETWALK_WINEPREFIX:-$tmp/setwalk-wine-$(id -u)} ;;
win64)
    loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 in_root=()
    own_is=SETWALK_WINEPREFIX64 own=${SETWALK_WINEPREFIX64:-$tmp/setwalk-wine64-$(id -u)} ;;
*)
    echo "usage: wine-run.sh win32|win64 PROGRAM ARGUMENT... | --version | --prepare | --launcher" >&2
    exit 2 ;;
esac
export WINELOADER=$loader WINESERVER=$server
# The wine server holds a few descriptors for each program it serves, and
# the suite starts 200 programs at once: with the soft limit most logins
# get (1024), starts fail with "could not load kernel32.dll, status
# c000011f" (too many open files) or hang. The hard limit is the user's to
# take.
ulimit -S -n "$(ulimit -H -n)" 2> /dev/null || true
arch=$1
shift
if [ "${1:-}" = --launcher ]; then
    command -v env
    [ "$arch" = win64 ] || echo "SETWALK_WINE32_ROOT=$("$root" where)"
    if [ -n "${WINEPREFIX:-}" ]; then echo "WINEPREFIX=$WINEPREFIX"; else echo "$own_is=$own"; fi
    echo "XDG_CACHE_HOME=$(realpath -ms -- "${XDG_CACHE_HOME:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache}")"
    printf '%s\n' "$here/wine-run.sh" "$arch"
    exit 0
elif [ "${1:-}" = --stop ]; then
    WINEPREFIX=${WINEPREFIX:-$own} "${in_root[@]}" "$server" -k > /dev/null 2>&1 || true
    exit 0
fi
# Say plainly when the loader is missing or cannot start, rather than fail
# each case.
if [ "$arch" = win32 ] && [[ ${1:-} == --* ]]; then
    why=$("$root" can) || { echo "wine-run.sh: setwalk's root for 32-bit wine cannot be had: $why" >&2; exit 126; }
    [ "$1" != --prepare ] || "$root" make
    state=$("$root" state)
    if [ "$state" = missing ] || [ "$state" = incomplete ]; then
        said="setwalk's root for 32-bit wine in $("$root" where) is $state (wine-run.sh win32 --prepare makes it)"
        # --version says so and succeeds, since the suite's first case makes it.
        [ "$1" = --version ] || { echo "wine-run.sh: $said" >&2; exit 126; }
        echo "no wine yet: $said"
        exit 0
    fi
elif [ "$arch" = win64 ] && [ ! -e "$loader" ]; then
    echo "wine-run.sh: wine64 is not installed, so there is no $loader (as root: apt-get install wine64)" >&2
    exit 126
fi
if ! "${in_root[@]}" "$loader" --version > /dev/null 2>&1; then
    # A root that is not made says so, and stops here.
    [ "$arch" = win64 ] || "$root" run true
    echo "wine-run.sh: $loader cannot start here; does this kernel run $([ "$arch" = win32 ] &&
        echo 32-bit x86 || echo x86_64) programs?" >&2
    exit 126
fi
if [ "${1:-}" = --version ]; then
    "${in_root[@]}" "$loader" --version
    [ "$arch" = win64 ] || echo "from setwalk's root for 32-bit wine in $("$root" where) ($state)"
    exit 0
fi
# Wine's own messages off, but for those of its memory set-up, which are
# how wine says that it could not start a program at all.
export WINEDEBUG=${WINEDEBUG:--all,err+virtual}
# Without its menu builder, wine leaves the home folder alone.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
# suite_server_running: a server that --prepare started serves this prefix.
suite_server_running() {
    local pid
    for pid in $(pgrep -f "/wineserver.* -p60\$"); do
        tr '\0' '\n' < "/proc/$pid/environ" 2> /dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return
    done
    return 1
}
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX=$own
    if [ ! -e "$WINEPREFIX/.setwalk-ready" ]; then
        mkdir -p "$WINEPREFIX"
        (
            flock 9
            if [ ! -e "$WINEPREFIX/.setwalk-ready" ]; then
                WINEARCH=$arch "${in_root[@]}" "$loader" wineboot -i < /dev/null > /dev/null 2>&1
                touch "$WINEPREFIX/.setwalk-ready"
            fi
        ) 9> "$WINEPREFIX.lock"
    fi
fi
if [ "${1:-}" = --prepare ]; then
    said=$(mktemp)
    trap 'rm -f "$said"' EXIT
    # cannot WHAT: --prepare stops, saying that it could not do WHAT and
    # what wine said.
    cannot() { echo "wine-run.sh: could not $1 in $WINEPREFIX:"; cat "$said"; exit 1; } >&2
    # A prefix of the user's that is not there yet is made by wine, as at
    # its first start, of ARCH's width (wine would make a 64-bit one where
    # wine64 is installed too, as it is in the root); the server below
    # needs its folder.
    [ -e "$WINEPREFIX/system.reg" ] ||
        WINEARCH=$arch "${in_root[@]}" "$loader" wineboot -i < /dev/null > "$said" 2>&1 || cannot "make the prefix"
    # One server for the whole suite, kept 60 s after its last client: a
    # server that quits between two cases, as wine's does when idle, resets
    # the connection of a program that starts just as it goes. One left by
    # an earlier suite serves this one too; any other is let go first.
    if ! suite_server_running; then
        "${in_root[@]}" "$server" -w
        "${in_root[@]}" "$server" -p60 < /dev/null > "$said" 2>&1 || suite_server_running ||
            cannot "start the wine server"
    fi
    # Wine brings the prefix up to date by itself, at the first start after
    # its version or the prefix changed; a start that finds nothing to do
    # is quick.
    "${in_root[@]}" "$loader" cmd /c exit < /dev/null > "$said" 2>&1 || cannot "start a program"
    exit 0
fi
# Debian's wine comes without wine's preloader, which reserves the low
# addresses that every Windows process needs before anything else is put
# there. Without it, the randomly placed heap of wine's loader now and then
# covers the page of the shared user data, and wine exits with status 1
# without starting the program: about one start in 3000. Without address
# randomisation the heap starts right after the loader, clear of it.
exec "${in_root[@]}" setarch "$(uname -m)" -R "$loader" "$@"
