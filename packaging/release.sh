#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes a release of the commit checked out here, and writes it into OUT
# only once every download has been checked:
#
#   packaging/release.sh [--skip wine32|wine64|root|CASE]... [--sign KEY]
#                        [--authenticode FILE.p12] OUT
#   packaging/release.sh --needs
#   packaging/release.sh --fetch
#
# RELEASING.md says what it makes and checks, what each --skip allows, and
# what the bytes depend on. --fetch fetches, as the user who will release,
# what the release reads from outside; the release itself reaches no server.
set -eEuo pipefail
# Whatever stops the release says where: the command, its file and line.
trap 'echo "release: ${BASH_SOURCE[0]##*/packaging/} line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
# The release runs in an environment it sets: these variables, the same on
# every machine, which the buildinfo records; where the caller's are kept
# (the time the bytes are dated by, the GnuPG home that holds the signing
# key, the certificate's password, the folder for scratch work, and the
# caches that --fetch fills); and none else of the caller's, whose compiler
# flags, DEB_BUILD_OPTIONS or git configuration would reach the bytes. Its
# HOME is an empty folder of its own.
release_env=(LC_ALL=C TZ=UTC PATH=/usr/sbin:/usr/bin:/sbin:/bin GIT_CONFIG_NOSYSTEM=1)
if [ -z "${SETWALK_RELEASE_ENV:-}" ]; then
    GNUPGHOME=${GNUPGHOME:-${HOME:-/nonexistent}/.gnupg}
    # The caches, in the caller's cache folder unless the caller names them:
    # the cross targets' sysroots, the packages of a pristine Debian for the
    # trials, the SBOM validator's npm packages, and the root for 32-bit wine.
    cache=${XDG_CACHE_HOME:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache}/setwalk
    # shellcheck disable=SC2034 # kept below, by their names
    SETWALK_SYSROOTS=${SETWALK_SYSROOTS:-$cache/sysroots} \
        SETWALK_DEBIAN_PACKAGES=${SETWALK_DEBIAN_PACKAGES:-$cache/debian-minbase} \
        SETWALK_NPM_CACHE=${SETWALK_NPM_CACHE:-$cache/npm}
    export SETWALK_SYSROOTS SETWALK_DEBIAN_PACKAGES SETWALK_NPM_CACHE
    SETWALK_WINE32_ROOT=$("$(dirname "$0")/../cmake/wine32-root.sh" where)
    export SETWALK_WINE32_ROOT
    [ "$*" != --fetch ] || exec "$(dirname "$0")/fetch.sh"
    for kept in SOURCE_DATE_EPOCH GNUPGHOME SETWALK_AUTHENTICODE_PASSWORD TMPDIR SETWALK_SYSROOTS \
        SETWALK_DEBIAN_PACKAGES SETWALK_NPM_CACHE SETWALK_WINEPREFIX SETWALK_WINEPREFIX64 SETWALK_WINE32_ROOT; do
        [ -z "${!kept:-}" ] || release_env+=("$kept=${!kept}")
    done
    exec env -i SETWALK_RELEASE_ENV=1 "${release_env[@]}" bash "$0" "$@"
fi
umask 022

usage() {
    echo "usage: packaging/release.sh [--skip wine32|wine64|root|CASE]... [--sign KEY] [--authenticode FILE.p12] OUT | --needs | --fetch" >&2
    exit 2
}
root=$(cd "$(dirname "$0")/.." && pwd)
packaging=$root/packaging

# missing_needs: the packages of packaging/needs whose command, file or
# Python module is not on this machine, each with the cases that alone need
# it, if any.
missing_needs() {
    local package uses cases
    while read -r package uses cases; do
        case $uses in
        python3:*) /usr/bin/python3 -c "import ${uses#python3:}" 2> /dev/null ;;
        /*) [ -e "$uses" ] ;;
        *) command -v "$uses" > /dev/null ;;
        esac || echo "$package $cases"
    done < <(grep -v -e '^#' -e '^$' "$packaging/needs")
}
if [ "$*" = --needs ]; then
    missing_needs | cut -d' ' -f1
    exit 0
fi

# The checks that the caller allows to be skipped where they cannot run,
# and the key and certificate to sign with, if any.
skippable=() sign_key='' authenticode=''
while [ $# -gt 1 ]; do
    case $1:$2 in
    --skip:wine32 | --skip:wine64 | --skip:root) skippable+=("$2") ;;
    --skip:[a-z]*.[a-z]*) [[ $2 =~ ^[a-z]+\.[a-z0-9-]+$ ]] || usage; skippable+=("$2") ;;
    --sign:?*) sign_key=$2 ;;
    --authenticode:?*) authenticode=$(realpath "$2") ;;
    --*) usage ;;
    *) break ;;
    esac
    shift 2
done
[ $# -eq 1 ] || usage
out=$(realpath -m "$1")
# shellcheck source=packaging/common.sh
. "$packaging/common.sh"
# shellcheck source=packaging/build.sh
. "$packaging/build.sh"
# shellcheck source=packaging/format/tarball.sh
. "$packaging/format/tarball.sh"
# shellcheck source=packaging/format/deb.sh
. "$packaging/format/deb.sh"
# shellcheck source=packaging/format/rpm.sh
. "$packaging/format/rpm.sh"
# shellcheck source=packaging/format/zip.sh
. "$packaging/format/zip.sh"
# shellcheck source=packaging/format/msi.sh
. "$packaging/format/msi.sh"
# shellcheck source=packaging/format/source.sh
. "$packaging/format/source.sh"
# shellcheck source=packaging/sbom/sbom.sh
. "$packaging/sbom/sbom.sh"
# shellcheck source=packaging/buildinfo.sh
. "$packaging/buildinfo.sh"
# shellcheck source=packaging/sign.sh
. "$packaging/sign.sh"
# shellcheck source=packaging/repositories.sh
. "$packaging/repositories.sh"

# A missing package stops the release here, unless each case that needs it
# may be skipped, by leave: the suite then skips it, and the release lists it.
missing=()
while read -r package cases; do
    for case in $cases; do
        case $case in
        sign) [ -n "$sign_key" ] || continue ;;
        authenticode) [ -n "$authenticode" ] || continue ;;
        esac
        [[ " ${skippable[*]} " == *" $case "* ]] || { missing+=("$package (for $cases)"); continue 2; }
    done
    [ -n "$cases" ] || missing+=("$package")
done < <(missing_needs)
[ ${#missing[@]} -eq 0 ] || die "this machine lacks what the release needs: ${missing[*]}" \
    "(apt-get install $(missing_needs | cut -d' ' -f1 | paste -sd' '), or --skip each case named)"
[ -z "$(git -C "$root" status --porcelain)" ] ||
    die "the work tree has changes; a release is made from a clean clone"
[ ! -e "$out" ] || [ -z "$(ls -A "$out")" ] || die "$out is not empty"
# The native build is the linux-x86_64 download, and every package the
# release reads its facts from (the SBOM's, the buildinfo's) is Debian 12's.
[ "$(uname -sm)" = "Linux x86_64" ] || die "a release is made on Linux on x86_64"
os=$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")
[ "$os" = debian-12 ] || die "a release is made on Debian 12, and this is $os (/etc/os-release)"

# What --fetch fetches is here: the release fetches nothing itself.
unfetched=()
while read -r _ arch _ toolchain; do
    case $toolchain in
    linux-cross) [ -e "$("$root/cmake/sysroot.sh" --where "$arch")/.complete" ] || unfetched+=("the sysroot of $arch") ;;
    windows-x86)
        [[ " ${skippable[*]} " == *" wine32 "* ]] || [ "$("$root/cmake/wine32-root.sh" state)" = made ] ||
            unfetched+=("the root for 32-bit wine") ;;
    esac
done < <(grep -v '^#' "$root/cmake/targets")
[ -f "$SETWALK_DEBIAN_PACKAGES/Release" ] || unfetched+=("the packages of a pristine Debian")
[ -d "$SETWALK_NPM_CACHE" ] || unfetched+=("the SBOM validator")
[ ${#unfetched[@]} -eq 0 ] ||
    die "this machine lacks what packaging/release.sh --fetch fetches: $(printf '%s, ' "${unfetched[@]}" | sed 's/, $//')"

read_facts
[ "$(sed -n 's/^## \([^ ]*\) .*/\1/p' "$root/NEWS.md" | head -n 1)" = "$version" ] ||
    die "NEWS.md has no entry for $version at its top"
: "${SOURCE_DATE_EPOCH:=$(git -C "$root" log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH

# The checks skipped on this machine, by leave, said again at the end.
skipped=()

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/build" "$work/stage" "$work/pack" "$work/dist" "$work/check" "$work/home"
export HOME=$work/home
dist=$work/dist
[ -z "$sign_key" ] || set_up_signing
[ -z "$authenticode" ] || [ -f "$authenticode" ] || die "no certificate $authenticode"

# The targets, one line each: NAME DEBIAN-ARCH RPM-ARCH TOOLCHAIN (see the
# table's own comment); - stands for none.
mapfile -t targets < <(grep -v '^#' "$root/cmake/targets")

# for_each_download ACTION: ACTION_FORMAT NAME DEBIAN-ARCH RPM-ARCH TOOLCHAIN
# for each download of each target, in the table's order. A Linux target
# has a tarball and a Debian package, and an RPM where the table names an
# RPM architecture; a Windows target has a zip and an installer.
for_each_download() {
    local target name arch rpmarch toolchain formats format
    for target in "${targets[@]}"; do
        read -r name arch rpmarch toolchain <<< "$target"
        if [ "$arch" = - ]; then
            formats=(zip msi)
        else
            formats=(tarball deb)
            [ "$rpmarch" = - ] || formats+=(rpm)
        fi
        for format in "${formats[@]}"; do
            # A format that installs nothing has no trial beyond its check.
            [ "$1" != try ] || declare -F "try_$format" > /dev/null || continue
            "${1}_$format" "$name" "$arch" "$rpmarch" "$toolchain"
        done
    done
}

for target in "${targets[@]}"; do
    read -r name arch _ toolchain <<< "$target"
    build "$name" "$toolchain" "$arch"
    grep -q '^-- setwalk link: static$' "$work/build/$name.log" || die "$name is not linked statically"
    notices "$work/stage/$name" "$(cd "$work/stage/$name/bin" && echo setwalk*)"
    [ "$arch" = - ] || build_deb "$name" "$arch" "$toolchain"
done

step "pack the downloads"
for_each_download pack
pack_source
[ -z "$sign_key" ] || pack_repositories

step "write the SBOM"
write_sbom

step "check each download"
for_each_download check
check_sbom
[ -z "$sign_key" ] || check_repositories

step "try each package as a user would: install, upgrade, run, remove"
for_each_download try

step "build and test the source with the README's commands"
check_source

step "write the buildinfo"
write_buildinfo
check_buildinfo

step "write $out"
# SHA256SUMS covers every file, the repositories' included; it is signed.
(cd "$dist" && find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum --) > "$work/SHA256SUMS"
mv "$work/SHA256SUMS" "$dist/"
if [ -n "$sign_key" ]; then
    gpg_sign --armor --detach-sign -o "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
    verify_openpgp "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
fi
mkdir -p "$out"
cp -R "$dist"/. "$out/"
(cd "$out" && sha256sum -c --quiet SHA256SUMS)
ls -l "$out"
for check in "${skipped[@]}"; do echo "skipped: $check"; done
[ -n "$sign_key" ] || echo "unsigned: no --sign KEY, so neither SHA256SUMS nor the RPMs are signed, and there are no repositories"
[ -n "$authenticode" ] || echo "unsigned: no --authenticode FILE.p12, so the Windows programs and installers carry no signature"
