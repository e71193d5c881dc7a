# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Linux tarball: one folder laid out like /usr/local.

# pack_tarball STAGE TOP: the download's files from STAGE as $dist/TOP.tar.gz.
pack_tarball() {
    local stage=$1 top=$2 from path _
    while read -r from path _; do
        install -D -m 644 "$from" "$work/pack/$top/$path"
    done < <(package_files "$stage")
    tar_folder "$top" | gzip -9n > "$dist/$top.tar.gz"
}
