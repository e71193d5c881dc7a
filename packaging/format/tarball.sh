# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Linux tarball: one folder laid out like /usr/local, with the program
# linked statically.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# pack_tarball NAME: target NAME's tarball, in $dist.
pack_tarball() {
    local top stage=$work/stage/$1
    top=$(download_name tarball "$1") top=${top%.tar.gz}
    lay_out "$work/pack/$top" < <(files_of "$stage" tree_place)
    tar_folder "$top" | gzip -9n > "$dist/$top.tar.gz"
    ships "$top.tar.gz" "$top/bin/setwalk" "$stage/bin/setwalk" "$stage.records"
}

# check_tarball NAME: it holds exactly the files of the download, its
# program is for the target's processor and runs here (under the target's
# emulator) and writes the report, and its notices give glibc's version,
# licence text and source.
check_tarball() {
    local download tree
    download=$(download_name tarball "$1")
    tree=$(unpack "$dist/$download")
    holds_exactly "$download" "$tree" < <(files_of "$work/stage/$1" tree_place)
    expect_processor "$tree/bin/setwalk" "$(target "$1" debian)"
    expect_binary "$tree/bin/setwalk" 'statically linked'
    expect_report "$report" on_target "$1" "$tree/bin/setwalk"
    same_file /usr/share/common-licenses/LGPL-2.1 "$tree/share/doc/setwalk/LGPL-2.1"
    says "$tree/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California" \
        "glibc $glibc" "setwalk-$version-glibc-source.tar.xz"
    echo "ok: $download, with the notices, the LGPL and the name of the glibc source"
}
