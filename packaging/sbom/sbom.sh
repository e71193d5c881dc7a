# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's bill of materials, setwalk-VERSION.cdx.json: sbom.py writes
# it from the programs that the formats ship ($work/shipped) and their link
# records; check.js validates it.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# write_sbom: $dist/setwalk-VERSION.cdx.json.
write_sbom() {
    credits > "$work/credits"
    python3 "$packaging/sbom/sbom.py" "$version" "$work/credits" "$work/shipped" \
        > "$dist/setwalk-$version.cdx.json"
}

# sbom_describes_downloads SBOM: each program the SBOM lists is in its
# download, at its path, with its sha256, and the SBOM lists glibc inside
# it exactly when the program is linked statically (its versions go in
# $work/check/glibcs); every download of the table of targets is listed.
sbom_describes_downloads() {
    local download path sha256 carried tree kind listed=$work/check/listed unlisted
    : > "$listed"
    : > "$work/check/glibcs"
    while IFS=$'\t' read -r download path sha256 carried; do
        echo "$download" >> "$listed"
        tree=$(unpack "$dist/$download")
        # A zip's, tarball's or installer's paths begin with its one folder,
        # where unpack leaves them.
        case $download in *.zip | *.tar.gz | *.msi) tree=${tree%/*} ;; esac
        [ -f "$tree/$path" ] || die "$download has no $path, which the SBOM lists"
        [ "$(sha256sum < "$tree/$path" | cut -d' ' -f1)" = "$sha256" ] ||
            die "the SBOM's sha256 for $download is not that of its $path"
        kind=$(file -b "$tree/$path")
        if [[ $kind == *ELF*statically\ linked* ]]; then
            [ "$carried" != - ] || die "the SBOM lists no glibc in $download, whose $path is linked statically"
            echo "$carried" >> "$work/check/glibcs"
        else
            [ "$carried" = - ] || die "the SBOM lists glibc in $download, whose $path does not carry it"
        fi
    done < <(python3 -c 'import json, sys
for b in json.load(open(sys.argv[1]))["components"]:
    download = [p["value"] for p in b["properties"] if p["name"] == "setwalk:download"][0]
    glibc = [c["version"] for c in b["components"] if {"name": "debian:source", "value": "glibc"} in c["properties"]]
    print(download, b["name"], b["hashes"][0]["content"], " ".join(glibc) or "-", sep="\t")' "$1")
    unlisted=$(comm -23 <(downloads_of | cut -f1 | sort) <(sort "$listed") | paste -sd' ')
    [ -z "$unlisted" ] || die "the SBOM does not list $unlisted"
}

# check_sbom: the SBOM passes the CycloneDX 1.5 schema with a validator
# from the npm registry, at the versions package-lock.json pins, installed
# from the cache that release.sh --fetch filled, which must also
# turn down a planted fault; it describes the downloads as they are (see
# sbom_describes_downloads); and it names one glibc, the one linked.
check_sbom() {
    local sbom=$dist/setwalk-$version.cdx.json validator=$work/sbom glibcs
    mkdir "$validator"
    cp "$packaging/sbom/package.json" "$packaging/sbom/package-lock.json" "$packaging/sbom/check.js" "$validator/"
    (cd "$validator" && npm ci --offline --cache "$SETWALK_NPM_CACHE" --no-audit --no-fund --omit=optional --silent > /dev/null) ||
        die "cannot install the SBOM validator from $SETWALK_NPM_CACHE (release.sh --fetch fetches it)"
    node "$validator/check.js" "$sbom" || die "the SBOM is not valid"
    sed 's/"LGPL-2.1-or-later AND /"LGPL-2.1-or-latr AND /' "$sbom" > "$work/check/planted.json"
    ! cmp -s "$sbom" "$work/check/planted.json" || die "no licence to plant a fault in"
    ! node "$validator/check.js" "$work/check/planted.json" 2> /dev/null ||
        die "the SBOM validator passes an invalid licence identifier"
    sbom_describes_downloads "$sbom"
    glibcs=$(tr ' ' '\n' < "$work/check/glibcs" | sort -u)
    [ "$glibcs" = "$glibc" ] || die "the SBOM does not name exactly one glibc, $glibc"
    echo "ok: ${sbom##*/}, valid, with each download's program as it is inside it, and glibc $glibc alone"
}
