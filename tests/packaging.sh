#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's own tools, on the program this build made:
#
#   packaging.sh CASE SOURCE-DIR PROGRAM MAP [SYSROOT]
#
# packaging.credits: the link records name a Debian package and version for
# what the link took, the notices hold each package's copyright file and
# the LGPL's text where glibc is linked in, and a source package that
# packaging/credits does not know stops them. packaging.sbom: the SBOM holds
# the program's sha256 and every package of its link records, and is the
# same when made twice. packaging.skip: a check that cannot run stops the
# release, unless the caller allowed that very check to be skipped, and
# then it is listed. Exits 77 (skipped) where there is no dpkg database or
# no link map.
set -u
name=$1 source=$2 program=$3 map=$4 sysroot=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if [ "$name" = packaging.skip ]; then
    # unable_with LEAVE...: what the release does when 32-bit wine cannot
    # run a check, given leave to skip LEAVE.
    # shellcheck disable=SC2016 # expanded by the inner shell
    unable_with() {
        bash -c '. "$1/packaging/common.sh"; skippable=("${@:2}") skipped=()
            unable wine32 "running setwalk.exe" "wine cannot start"; printf "%s\n" "${skipped[@]}"' \
            unable "$source" "$@" 2>&1
    }
    said=$(unable_with) && fail "the release went on without leave: $said"
    [[ $said == *"--skip wine32"* ]] || fail "the release did not name the check to allow: $said"
    said=$(unable_with wine64 root) && fail "leave for other checks let this one pass: $said"
    said=$(unable_with wine32) || fail "the release stopped although the check was allowed: $said"
    [ "$said" = "running setwalk.exe (wine32): wine cannot start" ] || fail "not listed as skipped: $said"
    # OUT is not empty, so that a release.sh that took this leave stops
    # there all the same.
    mkdir "$work/out" && touch "$work/out/file"
    said=$("$source/packaging/release.sh" --skip everything "$work/out" 2>&1)
    status=$?
    if [ "$status" -ne 2 ] || [[ $said != usage:* ]]; then
        fail "release.sh took leave to skip a check it does not have: $said"
    fi
    exit "$failed"
fi
command -v dpkg-query > /dev/null || { echo "skipped: no dpkg database here"; exit 77; }
[ -f "$map" ] || { echo "skipped: this toolchain writes no link map"; exit 77; }

"$source/packaging/link-records.sh" "$map" ${sysroot:+"$sysroot"} > "$work/records" ||
    { echo "FAIL: link-records.sh failed"; exit 1; }
case $name in
packaging.credits)
    [ -s "$work/records" ] || fail "the link records are empty"
    while IFS=$'\t' read -r package version _ _ file _ copyright; do
        [ -n "$version" ] || fail "no version for $package ($file)"
        [ -f "$copyright" ] || fail "$package has no copyright file at $copyright"
    done < "$work/records"
    mkdir "$work/doc"
    "$source/packaging/notices.sh" "$work/records" bin/setwalk 0 "$work/doc" || fail "notices.sh failed"
    cut -f3 "$work/records" | sort -u | while read -r package; do
        grep -q "===== $package " "$work/doc/THIRD-PARTY-NOTICES" || echo "FAIL: the notices lack $package"
    done | grep . && failed=1
    if grep -q $'\tglibc\t' "$work/records"; then
        cmp -s /usr/share/common-licenses/LGPL-2.1 "$work/doc/LGPL-2.1" || fail "no LGPL-2.1 beside the notices"
    fi
    # Code of a package nobody credited must stop the release.
    awk -F '\t' -v OFS='\t' 'NR == 1 { $3 = "unknown-source" } 1' "$work/records" > "$work/unknown"
    if "$source/packaging/notices.sh" "$work/unknown" bin/setwalk 0 "$work/doc" 2> /dev/null; then
        fail "notices.sh credits a source package packaging/credits does not know"
    fi ;;
packaging.sbom)
    printf 'download\tbin/setwalk\t%s\t%s\n' "$program" "$work/records" > "$work/shipped"
    for run in 1 2; do
        SOURCE_DATE_EPOCH=0 python3 "$source/packaging/sbom/sbom.py" 0 "$source/packaging/credits" \
            "$work/shipped" > "$work/sbom-$run.json" || fail "sbom.py failed"
    done
    cmp -s "$work/sbom-1.json" "$work/sbom-2.json" || fail "two SBOMs of the same inputs differ"
    grep -q "\"$(sha256sum < "$program" | cut -d' ' -f1)\"" "$work/sbom-1.json" ||
        fail "the SBOM lacks the program's sha256"
    cut -f1,2 "$work/records" | sort -u | while IFS=$'\t' read -r package version; do
        grep -q "\"purl\": \"pkg:deb/debian/${package%%:*}@" "$work/sbom-1.json" &&
            grep -q "\"version\": \"$version\"" "$work/sbom-1.json" ||
            echo "FAIL: the SBOM lacks $package $version"
    done | grep . && failed=1 ;;
*)
    fail "no case named $name" ;;
esac
exit "$failed"
