#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Fetches what a release reads from outside, into the caches that
# release.sh names (it runs this as `release.sh --fetch`), so that the
# release itself reaches no server: each Linux cross target's sysroot,
# the packages of a pristine Debian for the package trials, the SBOM
# validator's npm packages at the versions package-lock.json pins, and the
# root for 32-bit wine where a Windows x86 target needs it. Run it as the
# user who will release, after `release.sh --needs` is installed; run it
# again after the archive changes (a new glibc, say).
set -eEuo pipefail
trap 'echo "fetch.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
: "${SETWALK_SYSROOTS:?release.sh --fetch sets it}" "${SETWALK_DEBIAN_PACKAGES:?}" "${SETWALK_NPM_CACHE:?}"
targets=$("$root/cmake/targets.sh")
while IFS=$'\t' read -r _ arch _ toolchain _ wine _; do
    [ "$toolchain" != linux-cross ] || echo "the sysroot of $arch: $("$root/cmake/sysroot.sh" "$arch")"
    [ "$wine" = win32 ] || continue
    if why=$("$root/cmake/wine32-root.sh" can); then
        "$root/cmake/wine32-root.sh" make
        echo "the root for 32-bit wine: $("$root/cmake/wine32-root.sh" where)"
    else
        echo "no root for 32-bit wine: $why"
    fi
done <<< "$targets"
"$root/packaging/debian/pristine.sh" --fetch minbase "$SETWALK_DEBIAN_PACKAGES"
validator=$(mktemp -d)
trap 'rm -rf "$validator"' EXIT
cp "$root/packaging/sbom/package.json" "$root/packaging/sbom/package-lock.json" "$validator/"
(cd "$validator" && npm ci --cache "$SETWALK_NPM_CACHE" --no-audit --no-fund --omit=optional --silent)
echo "the SBOM validator's npm packages: $SETWALK_NPM_CACHE"
