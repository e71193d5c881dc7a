#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Tries a Windows Installer package of setwalk as Windows takes it, under
# wine, in a new wine prefix of its own:
#
#   packaging/windows/wine-install.sh WINE MSI LATER-MSI REPORT
#
# WINE is the width of the wine that runs the package's program, win32 or
# win64 (its target's in cmake/targets). LATER-MSI is the same package of a later version. Installs MSI quietly,
# then wants a new cmd, started in an empty folder, to find setwalk on PATH
# and write exactly REPORT; the system PATH to hold the install folder once;
# and installed apps to list setwalk once, with its version and publisher.
# LATER-MSI must then upgrade it in place (one entry, the later version,
# the folder once on PATH), MSI must be refused as a downgrade, and the
# uninstall must leave no file, no entry, and PATH as it was before.
#
# The prefix is a 64-bit one, as most Windows machines are: a 64-bit
# package is tried with this machine's wine64 alone; a 32-bit one goes to
# Program Files (x86) and the registry's 32-bit view, and its setwalk.exe
# needs 32-bit wine, so it is tried with the wine64 and wine32 of setwalk's
# root (cmake/wine32-root.sh, made here if it is not yet).
set -eEuo pipefail
trap 'echo "wine-install.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 4 ] || { echo "usage: wine-install.sh WINE MSI LATER-MSI REPORT" >&2; exit 2; }
msi=$(realpath "$2") later=$(realpath "$3") report=$(realpath "$4")
wine32_root=$(cd "$(dirname "$0")/../../cmake" && pwd)/wine32-root.sh
# in_root: what runs wine's own programs, where the package needs the root.
case $1 in
win64) folder='Program Files' view=64 in_root=() ;;
win32) folder='Program Files (x86)' view=32 in_root=("$wine32_root" run) ;;
*) echo "wine-install.sh: no wine $1, but win32 or win64" >&2; exit 2 ;;
esac

work=$(mktemp -d)
mkdir "$work/empty"
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
trap '"${in_root[@]}" "$WINESERVER" -k 2> /dev/null || true; rm -rf "$work"' EXIT
[ ${#in_root[@]} -eq 0 ] || "$wine32_root" make
fail() { echo "wine-install.sh: ${msi##*/}: $*" >&2; exit 1; }
# on_windows PROGRAM ARGUMENT...: PROGRAM run by wine, its output without CR.
on_windows() { "${in_root[@]}" "$WINELOADER" "$@" < /dev/null 2> /dev/null | tr -d '\r'; }
# msiexec OPTION MSI: msiexec's status for MSI, quiet.
msiexec() { "${in_root[@]}" "$WINELOADER" msiexec "$1" "$(on_windows winepath -w "$2")" /qn < /dev/null > /dev/null 2>&1; }
version() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p'; }

system_path() {
    on_windows reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
        sed -n 's/^ *PATH *REG_[A-Z_]* *//p'
}
# times_on_path: how often the install folder stands on the system PATH.
times_on_path() {
    system_path | tr ';' '\n' | grep -cixF -e "C:\\$folder\\setwalk\\" -e "C:\\$folder\\setwalk" || true
}
# entries: name, version and publisher of each installed-apps entry named
# setwalk, a line each, from the registry view of the package's processor.
entries() {
    on_windows reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" | awk '
        function flush() { if (name == "setwalk") print name "\t" version "\t" publisher
                           name = version = publisher = "" }
        /^HKEY/ { flush(); next }
        { value = $0; sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, "", value) }
        $1 == "DisplayName" { name = value }
        $1 == "DisplayVersion" { version = value }
        $1 == "Publisher" { publisher = value }
        END { flush() }'
}
# installed VERSION: setwalk VERSION is installed once, on PATH once, and a
# new cmd in an empty folder finds it there and runs it.
installed() {
    [ "$(entries)" = "setwalk"$'\t'"$1"$'\t'"The setwalk authors" ] ||
        fail "installed apps do not list setwalk $1 once: $(entries)"
    [ "$(times_on_path)" -eq 1 ] || fail "the system PATH holds the folder $(times_on_path) times: $(system_path)"
    (cd "$work/empty" && "${in_root[@]}" "$WINELOADER" cmd /c setwalk < /dev/null > "$work/out" 2> /dev/null) ||
        fail "cmd /c setwalk failed"
    cmp -s "$report" "$work/out" || fail "cmd /c setwalk wrote a wrong report"
    echo "installed setwalk $1: once in installed apps and on PATH, run by a new cmd from an empty folder"
}

"${in_root[@]}" "$WINELOADER" wineboot -i < /dev/null > /dev/null 2>&1
before=$(system_path)
msiexec /i "$msi" || fail "msiexec /i failed"
[ -f "$WINEPREFIX/drive_c/$folder/setwalk/setwalk.exe" ] || fail "setwalk.exe is not in C:\\$folder\\setwalk"
installed "$(version "$msi")"
msiexec /i "$later" || fail "the upgrade to $(version "$later") failed"
installed "$(version "$later")"
! msiexec /i "$msi" || fail "a downgrade to $(version "$msi") was not refused"
[ "$(entries | cut -f2)" = "$(version "$later")" ] || fail "the refused downgrade changed the installed version"
echo "refused the downgrade to $(version "$msi")"
msiexec /x "$later" || fail "msiexec /x failed"
[ ! -e "$WINEPREFIX/drive_c/$folder/setwalk" ] || fail "the uninstall left C:\\$folder\\setwalk"
[ -z "$(entries)" ] || fail "the uninstall left an entry in installed apps"
[ "$(system_path)" = "$before" ] || fail "the uninstall left PATH as $(system_path), not $before"
echo "uninstalled: no file, no entry, PATH as before"
