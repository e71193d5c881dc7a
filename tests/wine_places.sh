#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Where the suite's wine works, as users keep their files:
#
#   wine_places.sh SOURCE-DIR CMAKE EXPECTED PROGRAM LAUNCHER...
#
# LAUNCHER is the command that this build's toolchain made to run PROGRAM.
# For each way a user may set the places (a HOME that is not the passwd
# home, XDG_CACHE_HOME, SETWALK_WINE32_ROOT, TMPDIR, each with a space in
# its path), the launcher that configure makes in that environment must
# name the places it gives, and, for 32-bit wine, run PROGRAM with an
# empty environment: the exact report, status 0, nothing on standard
# error. The ways share this build's root and prefix rather than make
# their own: the root is reached by a link in each way's place. And a
# program run so that starts its prefix's wine server (in a prefix of the
# case's own, its server stopped) runs as well: wine's own programs then
# start with what the launcher carries.
set -u
source=$1 cmake=$2 expected=$3 program=$4
shift 4
launcher=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# This build's settings, as its launcher carries them: the root, and the
# prefix (a user's WINEPREFIX or the suite's own), which every way keeps.
arch=${launcher[-1]} made='' prefix=()
for word in "${launcher[@]}"; do
    case $word in
    SETWALK_WINE32_ROOT=*) made=${word#*=} ;;
    WINEPREFIX=* | SETWALK_WINEPREFIX=* | SETWALK_WINEPREFIX64=*) prefix=("$word") ;;
    esac
done
[ ${#prefix[@]} -eq 1 ] || { fail "the launcher names no prefix: ${launcher[*]}"; exit 1; }
[ "$arch" = win64 ] || [ -n "$made" ] || { fail "the launcher names no root for 32-bit wine: ${launcher[*]}"; exit 1; }

# launcher_in VARIABLE=VALUE...: the launcher that configure makes where
# the environment holds only these, and PATH; one word a line.
launcher_in() {
    env -i PATH="$PATH" "$@" "$cmake" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/windows-$([ "$arch" = win32 ] &&
        echo x86 || echo x64).cmake" -P "$source/cmake/emulator.cmake"
}

# way NAME WANTED VARIABLE=VALUE...: in the environment the assignments
# give, the launcher names WANTED (a VARIABLE=VALUE word of its own).
way() {
    local name=$1 wanted=$2 words
    shift 2
    if ! words=$(launcher_in "$@" 2> "$work/err"); then
        fail "$name: configure could not make the launcher: $(cat "$work/err")"
    elif ! grep -qxF -- "$wanted" <<< "$words"; then
        fail "$name: the launcher does not name $wanted:"; echo "$words"
    fi
}

# runs NAME VARIABLE=VALUE...: the launcher made where the environment
# holds these runs PROGRAM with an empty environment, as a good run ends.
runs() {
    local name=$1 words status
    shift
    mapfile -t words < <(launcher_in "$@")
    env -i "${words[@]}" "$program" > "$work/out" 2> "$work/err"
    status=$?
    [ "$status" -eq 0 ] || fail "$name: the program's status was $status"
    cmp -s "$work/out" "$expected" || { fail "$name: the report differs:"; od -c "$work/out" | head; }
    [ ! -s "$work/err" ] || { fail "$name: standard error is not empty:"; head -n 5 "$work/err"; }
}

home="$work/a home" tmp="$work/temporary files" uid=$(id -u)
mkdir -p "$home" "$tmp"
own=("SETWALK_WINEPREFIX$([ "$arch" = win32 ] || echo 64)=$work/own prefix" HOME="$home")
[ "$arch" = win64 ] || own+=(SETWALK_WINE32_ROOT="$made")
mapfile -t words < <(launcher_in "${own[@]}")
if env -i "${words[@]}" --prepare > "$work/err" 2>&1; then
    env -i "${words[@]}" --stop
    runs "a program that starts the wine server" "${own[@]}"
    env -i "${words[@]}" --stop
else
    fail "the case's own prefix could not be prepared: $(cat "$work/err")"
fi
if [ "$arch" = win64 ]; then
    way "TMPDIR set" "SETWALK_WINEPREFIX64=$tmp/setwalk-wine64-$uid" TMPDIR="$tmp"
    way "the suite's prefix" "${prefix[0]}" TMPDIR="$tmp" "${prefix[@]}"
    exit "$failed"
fi
way "TMPDIR set" "SETWALK_WINEPREFIX=$tmp/setwalk-wine-$uid" TMPDIR="$tmp"

# The root's ways: each environment, and where it keeps the root.
ways=("HOME not the passwd home" "$home/.cache/setwalk/wine32-root" HOME="$home"
    "XDG_CACHE_HOME set" "$work/the cache/setwalk/wine32-root" HOME="$home" XDG_CACHE_HOME="$work/the cache"
    "SETWALK_WINE32_ROOT set" "$work/a folder/wine32 root" HOME="$home" SETWALK_WINE32_ROOT="$work/a folder/wine32 root")
[ "$(getent passwd "$uid" | cut -d: -f6)" != "$home" ] || fail "$home is the passwd home"
i=0
while [ "$i" -lt ${#ways[@]} ]; do
    name=${ways[i]} place=${ways[i + 1]} assignments=()
    i=$((i + 2))
    while [ "$i" -lt ${#ways[@]} ] && [[ ${ways[i]} == [A-Z]*=* ]]; do
        assignments+=("${ways[i]}")
        i=$((i + 1))
    done
    mkdir -p "$(dirname "$place")"
    ln -s "$made" "$place"
    way "$name" "SETWALK_WINE32_ROOT=$place" "${assignments[@]}" "${prefix[@]}"
    runs "$name" "${assignments[@]}" "${prefix[@]}"
    rm "$place"
done
exit "$failed"
