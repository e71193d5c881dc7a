#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# setwalk's root for 32-bit wine (cmake/wine32-root.sh), as the suite has it:
#
#   wine32_root.sh SOURCE-DIR
#
# A command in the root finds the folders it works in at their paths here,
# a WINEPREFIX not made yet among them and those made after it started,
# and cannot change the root; no mount outlives it, even when it is killed;
# a root whose making was cut short is made anew, and a folder that setwalk
# did not make is never removed.
set -u
script=$1/cmake/wine32-root.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
mounts() { sort /proc/mounts; }

mounts > "$work/mounts-before"
# The case's own working folder, the build's, wherever it is.
[ "$("$script" run /bin/pwd 2>&1)" = "$PWD" ] || fail "the working folder $PWD is not there in the root"
cd "$work" || exit 1
# shellcheck disable=SC2016 # expanded in the root
WINEPREFIX=$work/not/yet/prefix "$script" run /bin/sh -c \
    'mkdir -p "$WINEPREFIX" && echo in > "$WINEPREFIX/file" && echo here > file && ! touch /usr/file' 2> "$work/err" ||
    fail "a command in the root could not reach the folders it works in: $(cat "$work/err")"
[ "$(cat "$work/not/yet/prefix/file" 2> /dev/null)" = in ] || fail "WINEPREFIX is not the same folder in the root"
[ "$(cat "$work/file" 2> /dev/null)" = here ] || fail "the working folder is not the same in the root"
[ ! -e "$("$script" where)/usr/file" ] || fail "a command changed the root"

# A command that runs on, as the wine server does for the cases after the
# one that started it, finds the folders that they work in, made later
# and elsewhere: here, in the case's own working folder.
later=$OLDPWD/wine32-root-later.$$
mkdir a
# shellcheck disable=SC2016 # expanded in the root
(cd a && "$script" run /bin/sh -c 'touch up; for _ in $(seq 100); do [ -e "$1" ] && exec cat "$1"; sleep 0.1; done' \
    later "$later/file" > "$work/found" 2>&1) &
for _ in $(seq 100); do [ -e a/up ] && break; sleep 0.1; done
mkdir "$later" && echo found > "$later/file"
wait $!
rm -r "$later"
[ "$(cat "$work/found")" = found ] || fail "a command in the root did not find a folder made after it started"

# Killed while it runs, as ctest kills a case that runs out of time.
"$script" run /bin/sh -c 'touch started; exec sleep 4321' &
run=$!
disown "$run"
for _ in $(seq 100); do [ -e started ] && break; sleep 0.1; done
[ -e started ] || fail "a command in the root did not start"
kill -KILL "$run"
for _ in $(seq 50); do kill -0 "$run" 2> /dev/null || break; sleep 0.1; done
for _ in $(seq 50); do pgrep -f 'sleep 4321' > /dev/null || break; sleep 0.1; done
! pgrep -f 'sleep 4321' > /dev/null || fail "a command outlived the killed run that started it"
mounts | diff "$work/mounts-before" - || fail "a mount outlived the runs in the root"

# Roots that are not complete, in a place of their own.
export SETWALK_WINE32_ROOT=$work/root
state() { [ "$("$script" state)" = "$1" ] || fail "$2 is $("$script" state), not $1"; }
state missing "no root"
mkdir "$work/root.new" && touch "$work/root.new/.setwalk-making"
state incomplete "a root whose making was cut short"
"$script" can || fail "a root whose making was cut short could not be made anew"
rm -r "$work/root.new"
mkdir "$work/root" && touch "$work/root/mine"
state foreign "a folder that setwalk did not make"
! "$script" remove 2> /dev/null || fail "a folder that setwalk did not make was removed"
[ -e "$work/root/mine" ] || fail "a folder that setwalk did not make lost its files"
exit "$failed"
