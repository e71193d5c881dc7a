#!/bin/bash
# SPDX-License-Identifier: MIT
# Makes a release of the commit checked out here:
#
#   packaging/release.sh OUT
#
# Builds every target in Release (static, stripped), runs each one's test
# suite under its emulator, packs the downloads, checks every one of them,
# and only then writes them and their SHA256SUMS into OUT, which must be
# empty or not yet there:
#
#   setwalk-V-windows-x86.zip            setwalk.exe, README, licence
#   setwalk-V-linux-CPU.tar.gz           bin/, share/man/, share/doc/ for
#                                        x86_64, arm64 and s390x
#   setwalk_V_ARCH.deb                   amd64, arm64 and s390x
#   setwalk-V.tar.gz                     the source, as git archive gives it
#
# Two runs on the same commit give the same bytes: every time stamp is the
# commit's (SOURCE_DATE_EPOCH, unless already set), archive entries are
# sorted and owned by 0/0, and no build path reaches a binary.
#
# The archives are made with tar, zip and dpkg-deb rather than CPack: the
# CPack of CMake 3.25 writes its tar and zip entries in directory order with
# the builder's user and group names, so they differ from machine to machine,
# and a lintian-clean package needs files CPack does not make (a compressed
# changelog and man page, the copyright file, the lintian overrides).
#
# Needs, beyond a C++ compiler and CMake 3.25: git, the cross compilers,
# wine and qemu-user (see the README), tmux, zip, unzip, file, dpkg-deb and
# lintian. Installing the amd64 package to try it needs root; without root
# that check is skipped and says so.
set -euo pipefail
export LC_ALL=C TZ=UTC
umask 022

[ $# -eq 1 ] || { echo "usage: packaging/release.sh OUT" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
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

work=$(mktemp -d)
installed=
# Whatever happens, leave the machine as it was found.
cleanup() {
    [ -z "$installed" ] || dpkg -r setwalk > /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/build" "$work/pack" "$work/dist" "$work/check"
dist=$work/dist

# Each target: its name in the artifacts, its toolchain file (none for the
# native build), the Debian architecture (none for Windows) and the command
# that runs one of its programs here.
targets=(
    "linux-x86_64||amd64|"
    "linux-arm64|cmake/linux-arm64.cmake|arm64|qemu-aarch64"
    "linux-s390x|cmake/linux-s390x.cmake|s390x|qemu-s390x"
    "windows-x86|cmake/windows-x86.cmake||$root/cmake/wine-run.sh"
)

# build NAME TOOLCHAIN ARCH: configure, build and test one target, then
# install it stripped into $work/install/NAME and, for a Linux target (one
# with a Debian architecture ARCH), copy that under usr/ in $work/deb/NAME.
build() {
    local name=$1 toolchain=$2 arch=$3 dir=$work/build/$1
    step "build and test $name"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSETWALK_STATIC=ON \
        -DSETWALK_WARNINGS_AS_ERRORS=ON ${toolchain:+--toolchain "$root/$toolchain"} \
        > "$dir.log"
    grep -q '^-- setwalk link: static$' "$dir.log" || die "$name is not linked statically"
    cmake --build "$dir" >> "$dir.log"
    ctest --test-dir "$dir" --output-on-failure > "$dir.tests" ||
        { cat "$dir.tests"; die "the tests of $name failed"; }
    grep -E 'tests passed|did not run|Skipped' "$dir.tests"
    cmake --install "$dir" --strip --prefix "$work/install/$name" > /dev/null
    if [ -n "$arch" ]; then
        # What Debian's own packages leave out of a binary as well: the
        # compilers' version strings and the loose notes.
        "$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$dir/CMakeCache.txt")" \
            --remove-section=.comment --remove-section=.note "$work/install/$name/bin/setwalk"
        mkdir -p "$work/deb/$name/usr/bin"
        cp -R "$work/install/$name/share" "$work/deb/$name/usr/"
        cp "$work/install/$name/bin/setwalk" "$work/deb/$name/usr/bin/"
    fi
}

# settle TREE: the modes and time stamps every archive entry gets.
settle() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -exec chmod 644 {} +
    find "$1" -type f -path '*/bin/*' -exec chmod 755 {} +
    find "$1" -name '*.exe' -exec chmod 755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# tarball TOP: TOP (a folder in $work/pack) as $dist/TOP.tar.gz.
tarball() {
    settle "$work/pack/$1"
    tar -C "$work/pack" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 \
        --group=0 --numeric-owner --format=gnu -cf - "$1" | gzip -9n > "$dist/$1.tar.gz"
}

# debian_changelog: NEWS.md in the form of a Debian changelog.
debian_changelog() {
    local line version='' day=''
    while IFS= read -r line; do
        case $line in
        '## '*)
            [ -z "$version" ] || printf '\n -- %s  %s\n\n' "$maintainer" "$(date -R -d "$day")"
            version=${line#'## '} version=${version%% *}
            day=${line##*'('} day=${day%')'}
            printf 'setwalk (%s) unstable; urgency=medium\n\n' "$version" ;;
        '- '*) printf '  * %s\n' "${line#- }" ;;
        '  '*) printf '    %s\n' "${line#  }" ;;
        esac
    done < "$root/NEWS.md"
    printf '\n -- %s  %s\n' "$maintainer" "$(date -R -d "$day")"
}

# package NAME ARCH: the Debian package of the target NAME.
package() {
    local tree=$work/deb/$1 arch=$2 doc
    doc=$tree/usr/share/doc/setwalk
    step "package setwalk_${version}_$arch.deb"
    gzip -9n "$tree/usr/share/man/man1/setwalk.1"
    rm "$doc/LICENSE" # the copyright file holds it
    debian_changelog | gzip -9n > "$doc/changelog.gz"
    {
        sed "s/@MAINTAINER@/$maintainer/" "$root/packaging/debian/copyright.in"
        printf '\nLicense: MIT\n'
        sed -n '/^Permission/,$p' "$root/LICENSE" | sed 's/^$/./; s/^/ /'
    } > "$doc/copyright"
    mkdir -p "$tree/usr/share/lintian/overrides" "$tree/DEBIAN"
    cp "$root/packaging/debian/setwalk.lintian-overrides" \
        "$tree/usr/share/lintian/overrides/setwalk"
    (cd "$tree" && find usr -type f | sort | xargs md5sum) > "$tree/DEBIAN/md5sums"
    sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" \
        -e "s/@MAINTAINER@/$maintainer/" \
        -e "s/@SIZE@/$(du -sk --apparent-size "$tree/usr" | cut -f1)/" \
        "$root/packaging/debian/control.in" > "$tree/DEBIAN/control"
    settle "$tree"
    dpkg-deb --root-owner-group -Zxz --build "$tree" \
        "$dist/setwalk_${version}_$arch.deb" > /dev/null
}

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

for target in "${targets[@]}"; do
    IFS='|' read -r name toolchain arch _ <<< "$target"
    build "$name" "$toolchain" "$arch"
done

step "pack the archives"
for target in "${targets[@]}"; do
    IFS='|' read -r name _ arch _ <<< "$target"
    top=setwalk-$version-$name
    if [ "$name" = windows-x86 ]; then
        # The program and its papers side by side, as Windows users expect.
        mkdir "$work/pack/$top"
        cp "$work/install/$name/bin/setwalk.exe" \
            "$work/install/$name/share/doc/setwalk/"{README.md,LICENSE} "$work/pack/$top/"
        settle "$work/pack/$top"
        (cd "$work/pack" && find "$top" | sort | zip -X -9 -q "$dist/$top.zip" -@)
    else
        cp -R "$work/install/$name" "$work/pack/$top"
        tarball "$top"
        package "$name" "$arch"
    fi
done
step "pack the source"
git -C "$root" -c tar.umask=0022 archive --format=tar --prefix="setwalk-$version/" HEAD |
    gzip -9n > "$dist/setwalk-$version.tar.gz"

step "check each download"
for target in "${targets[@]}"; do
    IFS='|' read -r name _ arch runner <<< "$target"
    top=setwalk-$version-$name
    if [ "$name" = windows-x86 ]; then
        tree=$(unpack "$dist/$top.zip")
        expect_binary "$tree/setwalk.exe" 'PE32 executable (console) Intel 80386'
        alone=$(mktemp -d "$work/check/alone.XXXX")
        cp "$tree/setwalk.exe" "$alone/"
        (cd "$alone" && expect_report "$report_crlf" "$runner" setwalk.exe)
        echo "ok: $top.zip, its setwalk.exe alone in a folder under wine"
        continue
    fi
    tree=$(unpack "$dist/$top.tar.gz")
    expect_binary "$tree/bin/setwalk" 'statically linked'
    expect_report "$report" ${runner:+"$runner"} "$tree/bin/setwalk"
    [ -f "$tree/share/man/man1/setwalk.1" ] || die "$top.tar.gz has no man page"
    for doc in README.md LICENSE NEWS.md; do
        [ -f "$tree/share/doc/setwalk/$doc" ] || die "$top.tar.gz has no $doc"
    done
    echo "ok: $top.tar.gz"

    deb=$dist/setwalk_${version}_$arch.deb
    lintian --no-tag-display-limit "$deb" > "$work/check/lintian" 2>&1 || true
    ! grep -E '^[EW]: ' "$work/check/lintian" || die "lintian finds fault with ${deb##*/}"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || die "${deb##*/}: wrong Architecture"
    tree=$(mktemp -d "$work/check/deb.XXXX")
    dpkg-deb -x "$deb" "$tree"
    expect_report "$report" ${runner:+"$runner"} "$tree/usr/bin/setwalk"
    echo "ok: ${deb##*/}, lintian clean"
done

step "install, run and remove setwalk_${version}_amd64.deb"
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing a package needs root (CI does it)"
elif dpkg -s setwalk > /dev/null 2>&1; then
    die "setwalk is installed here already; remove it first (dpkg -r setwalk)"
else
    deb=$dist/setwalk_${version}_amd64.deb
    installed=1
    dpkg -i "$deb" > /dev/null
    expect_report "$report" env PATH=/usr/bin:/bin setwalk
    [ "$(man -w setwalk)" = /usr/share/man/man1/setwalk.1.gz ] ||
        die "man does not find the installed page"
    dpkg -r setwalk > /dev/null
    installed=
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./|/|; /[^/]$/p' |
        while read -r file; do
            [ ! -e "$file" ] || die "dpkg -r setwalk left $file behind"
        done
    echo "ok: installed, ran from PATH, man found its page, removed cleanly"
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
