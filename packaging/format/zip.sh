# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Windows zip: the program and its papers side by side in one folder.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# pack_zip NAME: target NAME's zip, in $dist.
pack_zip() {
    local top stage=$work/stage/$1
    top=$(download_name zip "$1") top=${top%.zip}
    lay_out_folder "$stage" "$work/pack/$top"
    (cd "$work/pack" && find "$top" | sort | zip -X -9 -q "$dist/$top.zip" -@)
    ships "$top.zip" "$top/setwalk.exe" "$stage/bin/setwalk.exe" "$stage.records"
}

# check_zip NAME: it holds exactly the files of the download, setwalk.exe
# is the console program for the target's processor that cmake/targets
# names, imports nothing but what every Windows has, and is signed with the
# certificate where the release signs, the notices credit mingw-w64's code,
# and the program runs alone in an empty folder under wine.
check_zip() {
    local download tree alone
    download=$(download_name zip "$1")
    tree=$(unpack "$dist/$download")
    holds_exactly "$download" "$tree" < <(files_of "$work/stage/$1" folder_place)
    expect_binary "$tree/setwalk.exe" "$(target "$1" program)"
    [ -z "$certificate" ] || verify_authenticode "$tree/setwalk.exe"
    says "$tree/THIRD-PARTY-NOTICES.txt" "ZPL-2.1" "the mingw-w64 project" \
        "Lucent Technologies" "David M. Gay"
    [ "$(objdump -p "$tree/setwalk.exe" | sed -n 's/^\tDLL Name: //p' | sort | paste -sd' ')" = \
        "KERNEL32.dll msvcrt.dll" ] || die "setwalk.exe imports more than KERNEL32 and msvcrt"
    echo "ok: $download, its notices, setwalk.exe's imports${certificate:+ and signature}"
    wine_runs "$1" "running $download's setwalk.exe" || return 0
    alone=$(mktemp -d "$work/check/alone.XXXX")
    cp "$tree/setwalk.exe" "$alone/"
    (cd "$alone" && expect_report "$report_crlf" on_target "$1" setwalk.exe)
    echo "ok: its setwalk.exe alone in a folder under wine"
}
