# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Windows zip: the program and its papers side by side in one folder.

# pack_zip NAME: target NAME's download, $dist/setwalk-VERSION-NAME.zip.
pack_zip() {
    local top=setwalk-$version-$1 stage=$work/stage/$1
    lay_out_folder "$stage" "$work/pack/$top"
    (cd "$work/pack" && find "$top" | sort | zip -X -9 -q "$dist/$top.zip" -@)
    ships "$top.zip" "$top/setwalk.exe" "$stage/bin/setwalk.exe" "$stage.records"
}

# check_zip NAME ARCH RPMARCH TOOLCHAIN: it holds exactly the files of the
# download, setwalk.exe is a console program for the target's processor
# that imports nothing but what every Windows has, the notices credit
# mingw-w64's code, and the program runs alone in an empty folder under
# wine.
check_zip() {
    local top=setwalk-$version-$1 tree alone kind
    case $4 in
    windows-x86) kind='PE32 executable (console) Intel 80386' ;;
    windows-x64) kind='PE32+ executable (console) x86-64' ;;
    *) die "$4 is a toolchain whose Windows programs check_zip does not know" ;;
    esac
    tree=$(unpack "$dist/$top.zip")
    holds_exactly "$top.zip" "$tree" < <(files_of "$work/stage/$1" folder_place)
    expect_binary "$tree/setwalk.exe" "$kind"
    [ -z "$authenticode" ] || verify_authenticode "$tree/setwalk.exe"
    holds "$tree/THIRD-PARTY-NOTICES.txt" "ZPL-2.1" "the mingw-w64 project" \
        "Lucent Technologies" "David M. Gay"
    [ "$(objdump -p "$tree/setwalk.exe" | sed -n 's/^\tDLL Name: //p' | sort | paste -sd' ')" = \
        "KERNEL32.dll msvcrt.dll" ] || die "setwalk.exe imports more than KERNEL32 and msvcrt"
    echo "ok: $top.zip, its notices, setwalk.exe's imports${authenticode:+ and signature}"
    wine_runs "$1" "$4" "running $top.zip's setwalk.exe" || return 0
    alone=$(mktemp -d "$work/check/alone.XXXX")
    cp "$tree/setwalk.exe" "$alone/"
    (cd "$alone" && expect_report "$report_crlf" on_target "$1" setwalk.exe)
    echo "ok: its setwalk.exe alone in a folder under wine"
}
