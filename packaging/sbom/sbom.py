#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
"""Writes a release's CycloneDX 1.5 SBOM from the links' own records.

    sbom.py VERSION CREDITS SHIPPED > setwalk-VERSION.cdx.json

SHIPPED is a tab-separated list, a line for each shipped program: the
download it ships in, its path there, the file itself and its link records
(what packaging/link-records.sh printed). CREDITS is packaging/credits as
the release's credits function prints it: source, licence and texts,
tab-separated. The document is the same for the same inputs: its time is
SOURCE_DATE_EPOCH and its serial number is derived from its content.
"""
import hashlib
import json
import os
import sys
import urllib.parse
import uuid
from datetime import datetime, timezone


def licences(credits_path):
    table = {}
    with open(credits_path, encoding="utf-8") as credits:
        for line in credits:
            source, licence, _ = line.rstrip("\n").split("\t")
            table[source] = licence
    return table


def licence_entry(expression):
    # A single identifier goes in as an id, which the schema checks against
    # the SPDX list; a compound one as an expression.
    if " " in expression:
        return [{"expression": expression}]
    return [{"license": {"id": expression}}]


def purl(package, version):
    name, _, arch = package.partition(":")
    qualifiers = {"distro": "debian-12"}
    if arch:
        qualifiers["arch"] = arch
    return "pkg:deb/debian/{}@{}?{}".format(
        name, urllib.parse.quote(version, safe=""),
        urllib.parse.urlencode(sorted(qualifiers.items())))


def main(version, credits_path, shipped_path):
    credit = licences(credits_path)
    binaries = []
    with open(shipped_path, encoding="utf-8") as listing:
        for line in listing:
            download, path, local, records = line.rstrip("\n").split("\t")
            with open(local, "rb") as program:
                digest = hashlib.sha256(program.read()).hexdigest()
            ref = "{}/{}".format(download, path)
            inside = {}
            with open(records, encoding="utf-8") as record_lines:
                for record in record_lines:
                    package, pversion, source, sversion = record.split("\t")[:4]
                    if source not in credit:
                        sys.exit("sbom.py: no licence for " + source)
                    inside[package] = {
                        "type": "library",
                        "bom-ref": "{}#{}".format(ref, package),
                        "name": package.partition(":")[0],
                        "version": pversion,
                        "purl": purl(package, pversion),
                        "licenses": licence_entry(credit[source]),
                        "properties": [
                            {"name": "debian:source", "value": source},
                            {"name": "debian:source-version", "value": sversion},
                        ],
                    }
            binaries.append({
                "type": "application",
                "bom-ref": ref,
                "name": path,
                "version": version,
                "hashes": [{"alg": "SHA-256", "content": digest}],
                "licenses": licence_entry("MIT"),
                "properties": [{"name": "setwalk:download", "value": download}],
                "components": [inside[p] for p in sorted(inside)],
            })
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "version": 1,
        "metadata": {
            "timestamp": datetime.fromtimestamp(epoch, timezone.utc)
            .strftime("%Y-%m-%dT%H:%M:%SZ"),
            "component": {
                "type": "application",
                "bom-ref": "setwalk",
                "name": "setwalk",
                "version": version,
                "licenses": licence_entry("MIT"),
            },
        },
        "components": binaries,
        "dependencies": [{"ref": "setwalk", "dependsOn": [b["bom-ref"] for b in binaries]}]
        + [{"ref": b["bom-ref"], "dependsOn": [c["bom-ref"] for c in b["components"]]}
           for b in binaries],
    }
    content = json.dumps(bom, sort_keys=True).encode()
    serial = uuid.uuid5(uuid.NAMESPACE_URL, "setwalk-sbom:" + hashlib.sha256(content).hexdigest())
    bom = {"$schema": "http://cyclonedx.org/schema/bom-1.5.schema.json",
           "bomFormat": bom.pop("bomFormat"), "specVersion": bom.pop("specVersion"),
           "serialNumber": "urn:uuid:{}".format(serial), **bom}
    json.dump(bom, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: sbom.py VERSION CREDITS SHIPPED")
    main(*sys.argv[1:])
