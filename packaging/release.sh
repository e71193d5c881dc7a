#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes a release of the commit checked out here, and writes it into OUT
# only once every download has been checked:
#
#   packaging/release.sh [--skip wine32|wine64|root|CASE]... [--sign KEY]
#                        [--authenticode FILE.p12] [-j JOBS | --target NAME] OUT
#   packaging/release.sh --needs | --fetch | --downloads
#
# RELEASING.md says what it makes and checks, what each --skip allows, and
# what the bytes depend on. Each target is a job of its own, JOBS of them
# side by side (the number of processors by default); --target NAME runs
# NAME's job alone and writes its downloads into OUT. --needs names the
# Debian packages it lacks here; --fetch fetches, as the user who will
# release, what the release reads from outside (the release itself reaches
# no server); --downloads prints the record of each target's downloads, as
# the table of targets gives them: a line each, its name, target, format
# and architecture, separated by tabs.
set -eEuo pipefail
# Whatever stops the release says where: the command, its file and line.
trap 'echo "release: ${BASH_SOURCE[0]##*/packaging/} line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
# shellcheck source=packaging/state.sh
. "$(dirname "$0")/state.sh"
# The release runs in an environment it sets: the variables of
# $release_env, the same on every machine; where the caller's are kept (the
# time the bytes are dated by, the GnuPG home that holds the signing key,
# the certificate's password, the folder for scratch work, and the caches
# that --fetch fills); and none else of the caller's, whose compiler flags,
# DEB_BUILD_OPTIONS or git configuration would reach the bytes. Its HOME is
# an empty folder of its own.
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
    SETWALK_WINE32_ROOT=$("$root/cmake/wine32-root.sh" where)
    export SETWALK_WINE32_ROOT
    [ "$*" != --fetch ] || exec "$packaging/fetch.sh"
    for kept in SOURCE_DATE_EPOCH GNUPGHOME SETWALK_AUTHENTICODE_PASSWORD TMPDIR SETWALK_SYSROOTS \
        SETWALK_DEBIAN_PACKAGES SETWALK_NPM_CACHE SETWALK_WINEPREFIX SETWALK_WINEPREFIX64 SETWALK_WINE32_ROOT; do
        [ -z "${!kept:-}" ] || release_env+=("$kept=${!kept}")
    done
    exec env -i SETWALK_RELEASE_ENV=1 "${release_env[@]}" bash "$0" "$@"
fi
umask 022

usage() {
    echo "usage: packaging/release.sh [--skip wine32|wine64|root|CASE]... [--sign KEY] [--authenticode FILE.p12] [-j JOBS | --target NAME] OUT | --needs | --fetch | --downloads" >&2
    exit 2
}

# missing_packages: the packages of packaging/needs whose command, file or
# Python module is not on this machine, each with the cases that alone need
# it, if any.
missing_packages() {
    local package uses cases
    while read -r package uses cases; do
        case $uses in
        python3:*) /usr/bin/python3 -c "import ${uses#python3:}" 2> /dev/null ;;
        /*) [ -e "$uses" ] ;;
        *) command -v "$uses" > /dev/null ;;
        esac || echo "$package $cases"
    done < <(grep -v -e '^#' -e '^$' "$packaging/needs")
}
case $* in
--needs) missing_packages | cut -d' ' -f1; exit 0 ;;
--downloads) read_facts; downloads_of; exit 0 ;;
esac

# The checks that the caller allows to be skipped where they cannot run,
# the key and certificate to sign with, if any, and the jobs: how many side
# by side, or the one to run alone. A job of this release's is told its
# folder in SETWALK_JOB.
options=("$@") jobs=$(nproc)
# shellcheck disable=SC2034 # run_jobs reads jobs
while [ $# -gt 1 ]; do
    case $1:$2 in
    --skip:wine32 | --skip:wine64 | --skip:root) skippable+=("$2") ;;
    --skip:[a-z]*.[a-z]*) [[ $2 =~ ^[a-z]+\.[a-z0-9-]+$ ]] || usage; skippable+=("$2") ;;
    --sign:?*) sign_key=$2 ;;
    --authenticode:?*) certificate=$(realpath "$2") ;;
    -j:[1-9] | -j:[1-9][0-9]) jobs=$2 ;;
    --target:?*) alone=$2 ;;
    -*) usage ;;
    *) break ;;
    esac
    shift 2
done
[ $# -eq 1 ] || usage
unset 'options[-1]'
out=$(realpath -m "$1")

# A missing package stops the release here, unless each case that needs it
# may be skipped, by leave: the suite then skips it, and the release lists it.
missing=()
while read -r package cases; do
    for case in $cases; do
        case $case in
        sign) [ -n "$sign_key" ] || continue ;;
        authenticode) [ -n "$certificate" ] || continue ;;
        esac
        [[ " ${skippable[*]} " == *" $case "* ]] || { missing+=("$package (for $cases)"); continue 2; }
    done
    [ -n "$cases" ] || missing+=("$package")
done < <(missing_packages)
[ ${#missing[@]} -eq 0 ] || die "this machine lacks what the release needs: ${missing[*]}" \
    "(apt-get install $(missing_packages | cut -d' ' -f1 | paste -sd' '), or --skip each case named)"
[ -z "$(git -C "$root" status --porcelain)" ] ||
    die "the work tree has changes; a release is made from a clean clone"
[ ! -e "$out" ] || [ -z "$(ls -A "$out")" ] || die "$out is not empty"
# The native build is the linux-x86_64 download, and every package the
# release reads its facts from (the SBOM's, the buildinfo's) is Debian 12's.
[ "$(uname -sm)" = "Linux x86_64" ] || die "a release is made on Linux on x86_64"
os=$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")
[ "$os" = debian-12 ] || die "a release is made on Debian 12, and this is $os (/etc/os-release)"

read_facts
[ -z "$alone" ] || target "$alone" name > /dev/null
[ "$(news "$root/NEWS.md" | sed -n '1s/^entry\t\([^ ]*\) .*/\1/p')" = "$version" ] ||
    die "NEWS.md has no entry for $version at its top"

# What --fetch fetches is here: the release fetches nothing itself.
unfetched=()
for name in "${targets[@]}"; do
    [ "$(target "$name" toolchain)" != linux-cross ] ||
        [ -e "$("$root/cmake/sysroot.sh" --where "$(target "$name" debian)")/.complete" ] ||
        unfetched+=("the sysroot of $(target "$name" debian)")
    [ "$(target "$name" wine)" != win32 ] || [[ " ${skippable[*]} " == *" wine32 "* ]] ||
        [ "$("$root/cmake/wine32-root.sh" state)" = made ] || unfetched+=("the root for 32-bit wine")
done
[ -f "$SETWALK_DEBIAN_PACKAGES/Release" ] || unfetched+=("the packages of a pristine Debian")
[ -d "$SETWALK_NPM_CACHE" ] || unfetched+=("the SBOM validator")
[ ${#unfetched[@]} -eq 0 ] ||
    die "this machine lacks what packaging/release.sh --fetch fetches: $(printf '%s, ' "${unfetched[@]}" | sed 's/, $//')"

: "${SOURCE_DATE_EPOCH:=$(git -C "$root" log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH
if [ -n "${SETWALK_JOB:-}" ]; then
    # A job of a release, in the folder that the release keeps.
    work=$SETWALK_JOB
    trap 'job_ends $?' EXIT
    mkdir "$work"
else
    work=$(mktemp -d)
    trap 'stop_jobs; rm -rf "$work"' EXIT
fi
mkdir "$work/build" "$work/stage" "$work/pack" "$work/dist" "$work/check" "$work/home"
export HOME=$work/home
dist=$work/dist
[ -z "$sign_key" ] || set_up_signing
[ -z "$certificate" ] || [ -f "$certificate" ] || die "no certificate $certificate"

if [ -n "$alone" ]; then
    # One target's job: its program built and tested (build.sh), staged
    # with its notices (notices.sh) and, for Windows, signed (sign.sh); a
    # Linux target's Debian package has a build of its own (format/deb.sh);
    # then its downloads, packed and checked.
    targets=("$alone")
    build "$alone"
    linked "$alone" static
    stage "$alone"
    [ -z "$certificate" ] || [ "$(target "$alone" wine)" = - ] || sign_authenticode "$work/stage/$alone/bin/setwalk.exe"
    notices "$work/stage/$alone" "$(cd "$work/stage/$alone/bin" && echo setwalk*)"
    [[ " $(target "$alone" downloads) " != *" deb "* ]] || build_deb "$alone"
    step "pack the downloads of $alone"
    for_each_download pack
    step "check the downloads of $alone"
    for_each_download check
    mkdir -p "$out"
    downloads_of "$alone" | while read -r download _; do cp "$dist/$download" "$out/"; done
    [ -n "${SETWALK_JOB:-}" ] || times_taken
    for check in "${skipped[@]}"; do echo "skipped: $check"; done
    exit 0
fi

# Each target's job, side by side (see run_jobs); then what spans them.
run_jobs "${options[@]}"
step "pack the sources${sign_key:+ and the repositories}"
pack_source
[ -z "$sign_key" ] || pack_repositories

step "write the SBOM"
write_sbom

step "check the SBOM${sign_key:+ and the repositories}"
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
times_taken
for check in "${skipped[@]}"; do echo "skipped: $check"; done
[ -n "$sign_key" ] || echo "unsigned: no --sign KEY, so neither SHA256SUMS nor the RPMs are signed, and there are no repositories"
[ -n "$certificate" ] || echo "unsigned: no --authenticode FILE.p12, so the Windows programs and installers carry no signature"
