# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Linux tarball: one folder laid out like /usr/local, with the program
# linked statically.

# pack_tarball NAME: target NAME's download, $dist/setwalk-VERSION-NAME.tar.gz.
pack_tarball() {
    local top=setwalk-$version-$1 stage=$work/stage/$1
    lay_out "$work/pack/$top" < <(files_of "$stage" tree_place)
    tar_folder "$top" | gzip -9n > "$dist/$top.tar.gz"
    ships "$top.tar.gz" "$top/bin/setwalk" "$stage/bin/setwalk" "$stage.records"
}

# check_tarball NAME ARCH: it holds exactly the files of the download, its
# program is for the target's processor and runs here (under the target's
# emulator) and writes the report, and its notices give glibc's version,
# licence text and source.
check_tarball() {
    local top=setwalk-$version-$1 tree
    tree=$(unpack "$dist/$top.tar.gz")
    holds_exactly "$top.tar.gz" "$tree" < <(files_of "$work/stage/$1" tree_place)
    expect_processor "$tree/bin/setwalk" "$2"
    expect_binary "$tree/bin/setwalk" 'statically linked'
    expect_report "$report" on_target "$1" "$tree/bin/setwalk"
    same_file /usr/share/common-licenses/LGPL-2.1 "$tree/share/doc/setwalk/LGPL-2.1"
    holds "$tree/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California" \
        "glibc $glibc" "setwalk-$version-glibc-source.tar.xz"
    echo "ok: $top.tar.gz, with the notices, the LGPL and the name of the glibc source"
}
