#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes a release of the commit checked out here:
#
#   packaging/release.sh OUT
#
# Builds every target in Release, runs each one's test suite under its
# emulator, packs the downloads, checks every one of them, and only then
# writes them and their SHA256SUMS into OUT, which must be empty or not yet
# there:
#
#   setwalk-V-windows-x86.zip         setwalk.exe and its papers
#   setwalk-V-linux-NAME.tar.gz       bin/, share/man/, share/doc/, static,
#                                     for each Linux target of cmake/targets
#   setwalk_V_ARCH.deb                the same targets' Debian packages:
#                                     glibc shared
#   setwalk-V-1.ARCH.rpm              the static program, where the table
#                                     names an RPM architecture
#   setwalk-V.tar.gz                  the source, as git archive gives it
#   setwalk-V-glibc-source.tar.xz     the source of the glibc linked in
#   setwalk-V.cdx.json                the SBOM (CycloneDX 1.5)
#
# What each download holds is written once, in packaging/contents; each
# format is made from it in packaging/format/. The third-party notices and
# the SBOM come from the links' own maps (packaging/link-records.sh), the
# notice texts from the machine's Debian packages (packaging/credits).
#
# Two runs on the same commit give the same bytes: every time stamp is the
# commit's (SOURCE_DATE_EPOCH, unless already set), archive entries are
# sorted and owned by 0/0, and no build path reaches a binary.
#
# The archives are made with tar, zip and dpkg-deb rather than CPack: the
# CPack of CMake 3.25 writes its tar and zip entries in directory order with
# the builder's user and group names, so they differ from machine to machine,
# and a lintian-clean package needs files CPack does not make (a compressed
# changelog and man page, the copyright file).
#
# Needs, beyond a C++ compiler and CMake 3.25: git, the cross compilers,
# wine and qemu-user (see the README), tmux, zip, unzip, file, dpkg-dev,
# lintian, glibc-source, python3, node with npm, and, to try the amd64
# package in a pristine Debian system, mmdebstrap and root (without root
# that check is skipped and says so).
set -euo pipefail
export LC_ALL=C TZ=UTC
umask 022

[ $# -eq 1 ] || { echo "usage: packaging/release.sh OUT" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
packaging=$root/packaging
out=$(realpath -m "$1")

die() { echo "release: $*" >&2; exit 1; }
step() { printf '\n=== %s\n' "$*"; }

[ -z "$(git -C "$root" status --porcelain)" ] ||
    die "the work tree has changes; a release is made from a clean clone"
[ ! -e "$out" ] || [ -z "$(ls -A "$out")" ] || die "$out is not empty"
# The native build is the linux-x86_64 download.
[ "$(uname -sm)" = "Linux x86_64" ] || die "a release is made on Linux on x86_64"

# The version is written once, in project() in CMakeLists.txt.
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || die "no VERSION in CMakeLists.txt's project()"
[ "$(sed -n 's/^## \([^ ]*\) .*/\1/p' "$root/NEWS.md" | head -n 1)" = "$version" ] ||
    die "NEWS.md has no entry for $version at its top"
: "${SOURCE_DATE_EPOCH:=$(git -C "$root" log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH
maintainer='The setwalk authors <setwalk@example.org>'
report=$root/tests/report.txt
report_crlf=$root/tests/report-crlf.txt
glibc=$(dpkg-query -W -f='${Version}' "libc6-dev:$(dpkg --print-architecture)")

# What could not be checked on this machine, said again at the end.
skipped=()

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/build" "$work/stage" "$work/pack" "$work/dist" "$work/check"
dist=$work/dist

# The targets, one line each: NAME DEBIAN-ARCH RPM-ARCH TOOLCHAIN (see the
# table's own comment); - stands for none.
mapfile -t targets < <(grep -v '^#' "$root/cmake/targets")

# tar_folder FOLDER: the folder FOLDER of $work/pack, settled, as a tar
# stream whose entries are sorted and owned by 0/0.
tar_folder() {
    settle "$work/pack/$1"
    tar -C "$work/pack" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 \
        --group=0 --numeric-owner --format=gnu -cf - "$1"
}

# settle TREE: the modes and time stamps every archive entry gets.
settle() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -exec chmod 644 {} +
    find "$1" -type f -path '*/bin/*' -exec chmod 755 {} +
    find "$1" -name '*.exe' -exec chmod 755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# package_files STAGE: for each row of packaging/contents, the file in
# STAGE, its place in the tree and its name in one folder.
package_files() {
    local path flat condition file
    while read -r path flat condition; do
        file=$1/$path
        [ -e "$file" ] || file=$file.exe
        if [ -e "$file" ]; then
            printf '%s %s %s\n' "$file" "${file#"$1"/}" "$flat"
        elif [ "$condition" != "if linked" ]; then
            die "${1##*/} lacks $path"
        fi
    done < <(grep -v '^#' "$packaging/contents")
}

# shellcheck source=packaging/format/tarball.sh
. "$packaging/format/tarball.sh"
# shellcheck source=packaging/format/zip.sh
. "$packaging/format/zip.sh"
# shellcheck source=packaging/format/deb.sh
. "$packaging/format/deb.sh"
# shellcheck source=packaging/format/rpm.sh
. "$packaging/format/rpm.sh"

# toolchain TOOLCHAIN ARCH: the options that select a target's toolchain,
# one a line (none for the native build).
toolchain() {
    [ "$1" = - ] || echo "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/$1.cmake"
    [ "$1" != linux-cross ] || echo "-DSETWALK_ARCH=$2"
}

# build NAME TOOLCHAIN ARCH [CMAKE-OPTION...]: configure, build and test one
# program for the Debian architecture ARCH (- for Windows), install it
# stripped into $work/stage/NAME, and leave its link records in
# $work/stage/NAME.records. The configure step runs with the variables in
# build_env (compiler flags, which CMake takes from CXXFLAGS and LDFLAGS).
build_env=()
build() {
    local name=$1 toolchain=$2 arch=$3 dir=$work/build/$1 stage=$work/stage/$1 sysroot=
    local program options
    mapfile -t options < <(toolchain "$toolchain" "$arch")
    shift 3
    step "build and test $name"
    env "${build_env[@]}" cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
        -DSETWALK_STATIC=ON -DSETWALK_WARNINGS_AS_ERRORS=ON "${options[@]}" "$@" > "$dir.log"
    cmake --build "$dir" >> "$dir.log"
    ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" > "$dir.tests" ||
        { cat "$dir.tests"; die "the tests of $name failed"; }
    grep -E 'tests passed|did not run|Skipped' "$dir.tests"
    if grep -q 'every case is skipped' "$dir.log"; then
        skipped+=("the tests of $name: $(sed -n 's/.*every case is skipped, since //p' "$dir.log")")
    fi
    cmake --install "$dir" --strip --prefix "$stage" > /dev/null
    program=$(echo "$stage"/bin/setwalk*)
    if [[ $program != *.exe ]]; then
        # What Debian's own packages leave out of a binary as well: the
        # compilers' version strings and the loose notes.
        "$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$dir/CMakeCache.txt")" \
            --remove-section=.comment --remove-section=.note "$program"
    fi
    # A Linux cross build links against the sysroot that its toolchain made.
    if [ "$toolchain" = linux-cross ]; then
        sysroot=$("$root/cmake/sysroot.sh" "$arch")
    fi
    echo "$sysroot" > "$stage.sysroot"
    "$packaging/link-records.sh" "$dir/setwalk.map" ${sysroot:+"$sysroot"} > "$stage.records"
    # The emulator that runs this target's programs here, if it needs one.
    cmake "${options[@]}" -P "$packaging/emulator.cmake" > "$stage.runner"
}

# notices STAGE PROGRAM: the notices of the program built into STAGE, named
# PROGRAM in its download, from its link records.
notices() {
    "$packaging/notices.sh" "$1.records" "$2" "$version" "$1/share/doc/setwalk"
    mv "$1/share/doc/setwalk/notices" "$1/share/doc/setwalk/THIRD-PARTY-NOTICES"
}

for target in "${targets[@]}"; do
    read -r name arch _ toolchain <<< "$target"
    build "$name" "$toolchain" "$arch"
    grep -q '^-- setwalk link: static$' "$work/build/$name.log" || die "$name is not linked statically"
    notices "$work/stage/$name" "setwalk-$version-$name/$(cd "$work/stage/$name" && echo bin/setwalk*)"
    if [ "$toolchain" != windows-x86 ]; then
        # A Debian package's program is built with the flags Debian builds
        # every package with, hardening included, but -g: the program is
        # stripped, and debug information would bring the build folder into
        # the build ID, which would then differ from clone to clone.
        flags() {
            DEB_HOST_ARCH=$arch DEB_BUILD_MAINT_OPTIONS=hardening=+all \
                DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get "$1"
        }
        build_env=("CXXFLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" "LDFLAGS=$(flags LDFLAGS)")
        build "$name.deb" "$toolchain" "$arch" -DSETWALK_SHARED_LIBC=ON
        build_env=()
        grep -q '^-- setwalk link: static C++ runtime, dynamic libc$' "$work/build/$name.deb.log" ||
            die "the package build of $name does not link glibc shared"
        # glibc's start files, which every dynamic program carries (under
        # its licence's linking exception), come with the libc6 the package
        # depends on; what else the link took is in the package itself.
        sed -i '/\tglibc\t/d' "$work/stage/$name.deb.records"
        notices "$work/stage/$name.deb" "/usr/bin/setwalk"
    fi
done

step "pack the downloads"
binaries=$work/binaries
for target in "${targets[@]}"; do
    read -r name arch rpmarch toolchain <<< "$target"
    top=setwalk-$version-$name stage=$work/stage/$name
    if [ "$toolchain" = windows-x86 ]; then
        pack_zip "$stage" "$top"
        printf '%s\t%s\t%s\t%s\n' "$top.zip" "$top/setwalk.exe" "$stage/bin/setwalk.exe" \
            "$stage.records" >> "$binaries"
        continue
    fi
    pack_tarball "$stage" "$top"
    pack_deb "$stage.deb" "$arch" "$stage.deb.records" "$(cat "$stage.deb.sysroot")"
    printf '%s\t%s\t%s\t%s\n' "$top.tar.gz" "$top/bin/setwalk" "$stage/bin/setwalk" \
        "$stage.records" "setwalk_${version}_$arch.deb" "usr/bin/setwalk" \
        "$stage.deb/bin/setwalk" "$stage.deb.records" >> "$binaries"
    if [ "$rpmarch" != - ]; then
        pack_rpm "$stage" "$rpmarch"
        printf '%s\t%s\t%s\t%s\n' "setwalk-$version-1.$rpmarch.rpm" "usr/bin/setwalk" \
            "$stage/bin/setwalk" "$stage.records" >> "$binaries"
    fi
done

step "pack the source, and glibc's"
git -C "$root" -c tar.umask=0022 archive --format=tar --prefix="setwalk-$version/" HEAD |
    gzip -9n > "$dist/setwalk-$version.tar.gz"
# Debian's glibc-source ships the upstream tarball and Debian's changes; it
# must be the very version that was linked.
[ "$(dpkg-query -W -f='${Version}' glibc-source)" = "$glibc" ] ||
    die "glibc-source is not at $glibc, the version of libc6-dev (apt-get install glibc-source=$glibc)"
mkdir "$work/pack/glibc-$glibc"
cp -R /usr/src/glibc/. "$work/pack/glibc-$glibc/"
tar_folder "glibc-$glibc" | xz -T1 -6 > "$dist/setwalk-$version-glibc-source.tar.xz"

step "write the SBOM"
sbom=$dist/setwalk-$version.cdx.json
python3 "$packaging/sbom/sbom.py" "$version" "$packaging/credits" "$binaries" > "$sbom"

step "check each download"
# expect_report WANTED COMMAND...: COMMAND writes exactly WANTED, status 0.
expect_report() {
    local wanted=$1
    shift
    "$@" > "$work/check/out" || die "$* exited with status $?"
    cmp -s "$wanted" "$work/check/out" || die "$* wrote a wrong report"
}

# expect_binary FILE KIND: `file` calls FILE KIND and stripped, and no build
# path is inside it.
expect_binary() {
    local kind
    kind=$(file -b "$1")
    grep -q "$2" <<< "$kind" || die "$1 is not $2: $kind"
    if ! grep -q 'stripped' <<< "$kind" || grep -q 'not stripped' <<< "$kind"; then
        die "$1 is not stripped: $kind"
    fi
    ! grep -qaF -e "$root" -e "$work" "$1" || die "$1 holds a build path"
}

# unpack ARCHIVE: ARCHIVE unpacked into a new empty folder, whose path it
# prints; the archive must hold one top folder named as the archive.
unpack() {
    local name=${1##*/} to
    to=$(mktemp -d "$work/check/unpack.XXXX")
    case $name in
    *.zip) unzip -q "$1" -d "$to" && name=${name%.zip} ;;
    *.tar.gz) tar -xzf "$1" -C "$to" && name=${name%.tar.gz} ;;
    esac
    [ "$(ls -A "$to")" = "$name" ] || die "$1 does not hold one folder $name"
    echo "$to/$name"
}

# holds FILE TEXT...: FILE holds each TEXT.
holds() {
    local file=$1 text
    shift
    for text; do grep -qF -- "$text" "$file" || die "${file#"$work"/} does not say \"$text\""; done
}

glibc_source=setwalk-$version-glibc-source.tar.xz
# rpm_query RPM ...: rpm's query of a package file, with rpm's database and
# HOME in the scratch folder.
rpm_query() { HOME=$work/check rpm --dbpath "$work/check/rpmdb" -qp "$@"; }
for target in "${targets[@]}"; do
    read -r name arch rpmarch toolchain <<< "$target"
    top=setwalk-$version-$name
    read -r -a runner < "$work/stage/$name.runner"
    if [ "$toolchain" = windows-x86 ]; then
        tree=$(unpack "$dist/$top.zip")
        expect_binary "$tree/setwalk.exe" 'PE32 executable (console) Intel 80386'
        holds "$tree/THIRD-PARTY-NOTICES.txt" "ZPL-2.1" "the mingw-w64 project" \
            "Lucent Technologies" "David M. Gay"
        # A console program that needs nothing but what every Windows has.
        [ "$(objdump -p "$tree/setwalk.exe" | sed -n 's/^\tDLL Name: //p' | sort | paste -sd' ')" = \
            "KERNEL32.dll msvcrt.dll" ] || die "setwalk.exe imports more than KERNEL32 and msvcrt"
        echo "ok: $top.zip, its notices, setwalk.exe's imports"
        if ! "${runner[@]}" --version > /dev/null 2>&1; then
            skipped+=("running $top.zip's setwalk.exe: ${runner[0]##*/} cannot start on this machine")
            continue
        fi
        alone=$(mktemp -d "$work/check/alone.XXXX")
        cp "$tree/setwalk.exe" "$alone/"
        (cd "$alone" && expect_report "$report_crlf" "${runner[@]}" setwalk.exe)
        echo "ok: its setwalk.exe alone in a folder under wine"
        continue
    fi
    tree=$(unpack "$dist/$top.tar.gz")
    expect_binary "$tree/bin/setwalk" 'statically linked'
    expect_report "$report" "${runner[@]}" "$tree/bin/setwalk"
    while read -r _ path _; do
        [ -f "$tree/$path" ] || die "$top.tar.gz has no $path"
    done < <(package_files "$work/stage/$name")
    cmp -s /usr/share/common-licenses/LGPL-2.1 "$tree/share/doc/setwalk/LGPL-2.1" ||
        die "$top.tar.gz lacks the LGPL-2.1 text"
    holds "$tree/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California" \
        "glibc $glibc" "$glibc_source"
    echo "ok: $top.tar.gz, with the notices, the LGPL and the name of the glibc source"

    deb=$dist/setwalk_${version}_$arch.deb
    lintian --no-tag-display-limit "$deb" > "$work/check/lintian" 2>&1 || true
    ! grep -E '^[EW]: ' "$work/check/lintian" || die "lintian finds fault with ${deb##*/}"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || die "${deb##*/}: wrong Architecture"
    [[ $(dpkg-deb -f "$deb" Depends) == libc6\ * ]] || die "${deb##*/} does not depend on libc6"
    [ -n "$(dpkg-deb -f "$deb" Built-Using)" ] || die "${deb##*/} has no Built-Using"
    tree=$(mktemp -d "$work/check/deb.XXXX")
    dpkg-deb -x "$deb" "$tree"
    expect_binary "$tree/usr/bin/setwalk" 'dynamically linked'
    expect_report "$report" "${runner[@]}" "$tree/usr/bin/setwalk"
    echo "ok: ${deb##*/}, lintian clean, $(dpkg-deb -f "$deb" Depends), built using $(dpkg-deb -f "$deb" Built-Using)"

    [ "$rpmarch" != - ] || continue
    rpm=$dist/setwalk-$version-1.$rpmarch.rpm
    # rpmlint's findings that are not faults are filtered in its
    # configuration, each with its reason.
    HOME=$work/check rpmlint -c "$packaging/rpm/rpmlint.toml" "$rpm" > "$work/check/rpmlint" 2>&1 ||
        { cat "$work/check/rpmlint"; die "rpmlint finds fault with ${rpm##*/}"; }
    [ "$(rpm_query --qf '%{ARCH}' "$rpm")" = "$rpmarch" ] || die "${rpm##*/}: wrong architecture"
    tree=$(mktemp -d "$work/check/rpm.XXXX")
    (cd "$tree" && rpm2cpio "$rpm" | cpio -idm --quiet)
    expect_binary "$tree/usr/bin/setwalk" 'statically linked'
    expect_report "$report" "${runner[@]}" "$tree/usr/bin/setwalk"
    holds "$tree/usr/share/doc/setwalk/THIRD-PARTY-NOTICES" "Regents of the University of California"
    [ -f "$tree/usr/share/licenses/setwalk/LGPL-2.1" ] || die "${rpm##*/} lacks the LGPL-2.1 text"
    echo "ok: ${rpm##*/}, rpmlint clean, with the notices"
done

step "check the SBOM"
# The schema validator comes from the npm registry, at the versions that
# packaging/sbom/package.json pins; it must also turn down a planted fault.
mkdir "$work/sbom"
cp "$packaging/sbom/package.json" "$packaging/sbom/check.js" "$work/sbom/"
(cd "$work/sbom" && npm install --no-audit --no-fund --no-package-lock --omit=optional --silent > /dev/null) ||
    die "cannot install the SBOM validator"
node "$work/sbom/check.js" "$sbom" || die "the SBOM is not valid"
sed 's/"LGPL-2.1-or-later AND /"LGPL-2.1-or-latr AND /' "$sbom" > "$work/check/planted.json"
! cmp -s "$sbom" "$work/check/planted.json" || die "no licence to plant a fault in"
! node "$work/sbom/check.js" "$work/check/planted.json" 2> /dev/null ||
    die "the SBOM validator passes an invalid licence identifier"
while IFS=$'\t' read -r _ _ file _; do
    holds "$sbom" "$(sha256sum < "$file" | cut -d' ' -f1)"
done < "$binaries"
glibcs=$(python3 -c 'import json, sys
for b in json.load(open(sys.argv[1]))["components"]:
    for c in b["components"]:
        if {"name": "debian:source", "value": "glibc"} in c["properties"]:
            print(c["version"])' "$sbom" | sort -u)
[ "$glibcs" = "$glibc" ] ||
    die "the SBOM does not name exactly one glibc, $glibc"
echo "ok: ${sbom##*/}, valid, with every shipped binary's sha256 and glibc $glibc alone"

step "install, run, remove and purge setwalk_${version}_amd64.deb in a pristine Debian"
if [ "$(id -u)" -ne 0 ]; then
    skipped+=("trying the amd64 package in a pristine Debian: that needs root")
else
    "$packaging/pristine-install.sh" "$dist/setwalk_${version}_amd64.deb" "$report"
fi

rpm=setwalk-$version-1.x86_64.rpm
step "install, run and erase $rpm in a scratch rpm root"
if [ "$(id -u)" -ne 0 ]; then
    skipped+=("installing $rpm into a scratch rpm root: that needs root")
else
    "$packaging/rpm/scratch-install.sh" "$dist/$rpm" "$report"
fi

step "build and test the source with the README's commands"
tree=$(unpack "$dist/setwalk-$version.tar.gz")
(
    cd "$tree"
    # The README's "Build and run" and "Test" commands, as written there.
    cmake -S . -B build >&2 && cmake --build build >&2 && build/setwalk > "$work/check/out" ||
        exit 1
    cmp "$report" "$work/check/out" || exit 1
    cmake -S . -B build && cmake --build build && ctest --test-dir build --output-on-failure
) > "$work/check/source.log" 2>&1 ||
    { cat "$work/check/source.log"; die "setwalk-$version.tar.gz does not build and pass"; }
grep 'tests passed' "$work/check/source.log"
echo "ok: setwalk-$version.tar.gz"

step "write $out"
mkdir -p "$out"
cp "$dist"/* "$out/"
(cd "$out" && sha256sum -- setwalk* > SHA256SUMS && sha256sum -c --quiet SHA256SUMS)
ls -l "$out"
for check in "${skipped[@]}"; do echo "skipped: $check"; done
