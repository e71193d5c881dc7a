# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's bill of materials, setwalk-VERSION.cdx.json: sbom.py writes
# it from the programs that the formats ship ($work/shipped) and their link
# records; check.js validates it.

# write_sbom: $dist/setwalk-VERSION.cdx.json.
write_sbom() {
    python3 "$packaging/sbom/sbom.py" "$version" "$packaging/credits" "$work/shipped" \
        > "$dist/setwalk-$version.cdx.json"
}

# check_sbom: the SBOM passes the CycloneDX 1.5 schema with a validator
# from the npm registry, at the versions package.json pins, which must also
# turn down a planted fault; it lists every shipped program's sha256; and it
# names one glibc, the one linked.
check_sbom() {
    local sbom=$dist/setwalk-$version.cdx.json validator=$work/sbom file glibcs
    mkdir "$validator"
    cp "$packaging/sbom/package.json" "$packaging/sbom/check.js" "$validator/"
    (cd "$validator" && npm install --no-audit --no-fund --no-package-lock --omit=optional --silent > /dev/null) ||
        die "cannot install the SBOM validator"
    node "$validator/check.js" "$sbom" || die "the SBOM is not valid"
    sed 's/"LGPL-2.1-or-later AND /"LGPL-2.1-or-latr AND /' "$sbom" > "$work/check/planted.json"
    ! cmp -s "$sbom" "$work/check/planted.json" || die "no licence to plant a fault in"
    ! node "$validator/check.js" "$work/check/planted.json" 2> /dev/null ||
        die "the SBOM validator passes an invalid licence identifier"
    while IFS=$'\t' read -r _ _ file _; do
        holds "$sbom" "$(sha256sum < "$file" | cut -d' ' -f1)"
    done < "$work/shipped"
    glibcs=$(python3 -c 'import json, sys
for b in json.load(open(sys.argv[1]))["components"]:
    for c in b["components"]:
        if {"name": "debian:source", "value": "glibc"} in c["properties"]:
            print(c["version"])' "$sbom" | sort -u)
    [ "$glibcs" = "$glibc" ] || die "the SBOM does not name exactly one glibc, $glibc"
    echo "ok: ${sbom##*/}, valid, with every shipped program's sha256 and glibc $glibc alone"
}
