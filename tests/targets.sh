#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The table of targets is the one place a target is added or removed:
#
#   targets.sh SOURCE-DIR
#
# In a copy of the tree, the downloads that the release's loops make (and
# CI counts, and the SBOM check wants listed) are those worked out here
# from the table's own columns, for the table as it is and for one with a
# Linux target added (a second name for arm64, with a tarball alone) and
# one removed (linux-mipsel); doc/facts.sh then finds README.md stale and
# the presets follow. A row whose columns disagree stops its readers.
set -u
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
command -v dpkg-query > /dev/null || { echo "skipped: no dpkg database here"; exit 77; }

tree=$work/tree
mkdir -p "$tree/tests"
cp -R "$source/cmake" "$source/packaging" "$source/doc" "$source/src" "$tree/"
cp "$source/CMakeLists.txt" "$source/README.md" "$source/HACKING.md" "$source/NEWS.md" "$tree/"
cp "$source/tests/report.txt" "$source/tests/report-crlf.txt" "$tree/tests/"
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$tree/CMakeLists.txt")

# expected: the record of the downloads of each row of the copy's table, by
# its formats and the names README.md gives them, in the table's order:
# name, target, format, architecture.
expected() {
    awk -v v="$version" -v OFS='\t' '!/^#/ && NF {
        n = split($5, format, ",")
        for (i = 1; i <= n; i++) {
            if (format[i] == "tarball") print "setwalk-" v "-" $1 ".tar.gz", $1, "tarball", $2
            else if (format[i] == "deb") print "setwalk_" v "_" $2 ".deb", $1, "deb", $2
            else if (format[i] == "rpm") print "setwalk-" v "-1." $3 ".rpm", $1, "rpm", $3
            else print "setwalk-" v "-" $1 "." format[i], $1, format[i], $6 == "win32" ? "x86" : "x64"
        }
    }' "$tree/cmake/targets"
}
# the_release_follows WHAT: the record of the downloads, which the release's
# jobs and CI's count follow (release.sh --downloads), and the downloads the
# SBOM check wants listed are each the expected ones.
the_release_follows() {
    local record sbom
    record=$("$tree/packaging/release.sh" --downloads 2>&1) || fail "release.sh --downloads fails $1: $record"
    [ "$record" = "$(expected)" ] || fail "the release's downloads of $1 are not the table's: $record"
    # shellcheck disable=SC2016 # expanded by the inner shell
    sbom=$(bash -c '. "$1/packaging/state.sh" && read_facts && work=$2 dist=$2/dist &&
        mkdir -p "$dist" "$work/check" && echo "{\"components\": []}" > "$work/empty.json" &&
        sbom_describes_downloads "$work/empty.json"' sbom "$tree" "$work" 2>&1)
    [ "$sbom" = "release: the SBOM does not list $(expected | cut -f1 | sort | paste -sd' ')" ] ||
        fail "the SBOM check of $1 does not want each of the table's downloads listed: $sbom"
}

the_release_follows "the table as it is"
said=$(cd "$tree" && doc/facts.sh 2>&1) || fail "doc/facts.sh fails the tree as it is: $said"

# A Linux target added, as one row, and another removed.
printf 'linux-planted   arm64     -         linux-cross   tarball\n' >> "$tree/cmake/targets"
sed -i '/^linux-mipsel /d' "$tree/cmake/targets"
the_release_follows "a table with linux-planted added and linux-mipsel removed"
expected | cut -f1 | grep -qx "setwalk-$version-linux-planted.tar.gz" || fail "no tarball of linux-planted expected"
! expected | grep -q mipsel || fail "a download of linux-mipsel expected"
if said=$(cd "$tree" && doc/facts.sh 2>&1); then
    fail "doc/facts.sh passes a README.md that lists neither linux-planted nor the table without mipsel"
elif [[ $said != *"README.md says the tarballs' architectures are"*"but cmake/targets has"*planted* ]]; then
    fail "doc/facts.sh does not name README.md's stale tarballs: $said"
fi
presets=$(cd "$tree" && cmake/presets.sh) || fail "presets.sh fails the table with linux-planted"
grep -q '"name": "linux-planted"' <<< "$presets" || fail "no preset for linux-planted"
! grep -q linux-mipsel <<< "$presets" || fail "a preset for linux-mipsel, which the table no longer has"

# Rows that cannot be released, each after the words that refuse it: both
# readers of the table stop, naming the row, and so does the release.
upgrade=$(awk '$1 == "windows-x86" { print $8 }' "$source/cmake/targets")
# shellcheck disable=SC2016 # CMake's variable
echo 'include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
setwalk_target(name linux-x86_64 row)' > "$tree/cmake/probe.cmake"
# read_with READER: the table as cmake/READER reads it.
read_with() { if [ "$1" = targets.sh ]; then "$tree/cmake/targets.sh"; else cmake -P "$tree/cmake/probe.cmake"; fi; }
while IFS='|' read -r words row; do
    cp "$source/cmake/targets" "$tree/cmake/targets"
    echo "$row" >> "$tree/cmake/targets"
    where="targets line $(wc -l < "$tree/cmake/targets"): ${row%% *} "
    for reader in targets.sh targets.cmake; do
        if said=$(read_with "$reader" 2>&1); then
            fail "cmake/$reader reads a row it should refuse: $row"
        # (CMake folds its message's lines.)
        elif [[ $(tr -s ' \n' '  ' <<< "$said") != *"$where"*"$words"* ]]; then
            fail "cmake/$reader does not refuse the row ${row%% *} with \"$words\": $said"
        fi
    done
    ! "$tree/packaging/release.sh" --downloads > /dev/null 2>&1 || fail "the release follows a row it should refuse: $row"
done << ROWS
RPM architecture exactly when|linux-arm64x   arm64     aarch64   linux-cross   tarball,deb
no Debian architecture, and its wine|windows-x86b   -         -         windows-x86   zip,msi
no script makes, apk|linux-arm64y   arm64     -         linux-cross   tarball,apk
a deb of the name of linux-arm64's|linux-arm64b   arm64     aarch64   linux-cross   tarball,deb,rpm
an rpm of the name of linux-arm64's|linux-arm64c   armhf     aarch64   linux-cross   rpm
the UpgradeCode of windows-x86|windows-x86b   -         -         windows-x86   zip,msi          win32  Intel  $upgrade  PE32 executable (console) Intel 80386
of different processors: win64, Intel|windows-x64b   -         -         windows-x64   zip,msi          win64  Intel  B0000000-0000-4000-8000-000000000001  PE32+ executable (console) x86-64
which cmake/processors has no row for|linux-riscv64  riscv64   -         linux-cross   tarball
ROWS
[ "$failed" -eq 1 ] || echo "ok: the release's downloads, CI's count, the SBOM check, doc/facts.sh and the presets follow the table"
exit "$failed"
