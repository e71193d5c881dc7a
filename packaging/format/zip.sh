# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Windows zip: the program and its papers side by side in one folder, as
# Windows users expect; .txt files get CR LF line ends, for Notepad.

# pack_zip STAGE TOP: the download's files from STAGE as $dist/TOP.zip.
pack_zip() {
    local stage=$1 top=$2 from flat
    mkdir "$work/pack/$top"
    while read -r from _ flat; do
        case $flat in
        -) ;;
        *.txt) sed 's/$/\r/' "$from" > "$work/pack/$top/$flat" ;;
        *) cp "$from" "$work/pack/$top/$flat" ;;
        esac
    done < <(package_files "$stage")
    settle "$work/pack/$top"
    (cd "$work/pack" && find "$top" | sort | zip -X -9 -q "$dist/$top.zip" -@)
}
