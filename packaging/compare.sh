#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Compares a release with a rebuild of it made without the keys, as anyone
# can make one, and says of each file how it compares:
#
#   packaging/compare.sh RELEASE REBUILD
#
# The rebuild carries no signature, so it has no SHA256SUMS.asc, public key
# or repositories; everything else must be the release's:
#
# - a download that carries no signature (the tarballs, the Debian
#   packages, the sources): byte for byte;
# - an RPM: its lead, header and payload byte for byte, once rpmsign
#   --delsign has removed the release's signature (rpmbuild reserves space
#   for a signature, which --delsign leaves out);
# - a zip: the same entries, in the same order, with the same times, each
#   byte for byte, setwalk.exe once osslsigncode remove-signature has
#   removed its signature;
# - an installer (MSI): the same tables, the summary information but for
#   its signature, and the same files (setwalk.exe as in a zip); the File
#   table's size of setwalk.exe is the size of the one inside;
# - SHA256SUMS and the buildinfo: the same line for each file that carries
#   no signature; the buildinfo may name more packages in the release (the
#   signing tools);
# - the SBOM: the same, but for the sha256 of each Windows program, which
#   the release's signature changes.
#
# A release made without keys is compared byte for byte throughout. Exits 1
# naming each file that differs, where diffoscope shows how if installed.
set -eEuo pipefail
trap 'echo "compare.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
[ $# -eq 2 ] || { echo "usage: packaging/compare.sh RELEASE REBUILD" >&2; exit 2; }
release=$(realpath "$1") rebuild=$(realpath "$2")
for folder in "$release" "$rebuild"; do
    [ -f "$folder/SHA256SUMS" ] || { echo "compare.sh: $folder holds no release" >&2; exit 1; }
done
for tool in rpmsign osslsigncode msiinfo msiextract unzip zipinfo python3; do
    command -v "$tool" > /dev/null || { echo "compare.sh: $tool is not installed" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=()

# differs FILE WHY: FILE is not what it should be.
differs() {
    echo "DIFFERS: $1: $2"
    differ+=("$1")
}

# show A B: how the files A and B differ, as diffoscope sees it.
show() {
    command -v diffoscope > /dev/null || return 0
    diffoscope --no-progress --text - "$1" "$2" | head -n 60 || true
}

# signed FILE: FILE, a download of the release, carries a signature.
signed() {
    case $1 in
    # An RPM signature in any of its tags (EdDSA's is DSAHEADER's).
    *.rpm) [ "$(rpm -qp --qf '%|DSAHEADER?{1}:{%|RSAHEADER?{1}:{%|SIGGPG?{1}:{%|SIGPGP?{1}:{0}|}|}|}|' \
        "$release/$1" 2> /dev/null)" = 1 ] ;;
    *.zip) rm -f "$work/signature" && unzip -p "$release/$1" '*/setwalk.exe' > "$work/program.exe" &&
        osslsigncode extract-signature -in "$work/program.exe" -out "$work/signature" > /dev/null 2>&1 ;;
    *.msi) rm -f "$work/signature" && osslsigncode extract-signature -in "$release/$1" -out "$work/signature" > /dev/null 2>&1 ;;
    *) return 1 ;;
    esac
}

# unsigned_exe FILE COPY: the Windows program FILE with its signature
# removed, written to COPY.
unsigned_exe() {
    rm -f "$2"
    osslsigncode remove-signature -in "$1" -out "$2" > /dev/null 2>&1 ||
        { echo "compare.sh: osslsigncode cannot remove the signature of $1" >&2; return 1; }
}

# pe_core EXE: the Windows program EXE as its Authenticode digest takes it:
# without its checksum and certificate table entry, which signing sets and
# osslsigncode remove-signature does not quite restore, and without the
# zero bytes that signing pads it with to a multiple of 8.
pe_core() {
    python3 -c 'import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
header = struct.unpack("<I", data[0x3c:0x40])[0] + 24
data[header + 64:header + 68] = bytes(4)
entry = header + (128 if data[header:header + 2] == b"\x0b\x01" else 144)
data[entry:entry + 8] = bytes(8)
sys.stdout.buffer.write(bytes(data).rstrip(b"\0"))' "$1" 2> /dev/null
}

# same_tree FILE A B: the folders A and B, unpacked from FILE, hold the same
# files, byte for byte, a setwalk.exe of A once its signature is removed.
same_tree() {
    local path
    if ! diff <(cd "$2" && find . | sort) <(cd "$3" && find . | sort) > "$work/list"; then
        differs "$1" "its files are not the rebuild's: $(grep '^[<>]' "$work/list" | paste -sd' ')"
        return
    fi
    while IFS= read -r -d '' path; do
        if [ "${path##*/}" = setwalk.exe ]; then
            unsigned_exe "$2/$path" "$work/unsigned.exe"
            cmp -s "$work/unsigned.exe" "$3/$path" || cmp -s <(pe_core "$work/unsigned.exe") <(pe_core "$3/$path") ||
                { differs "$1" "$path, its signature removed, is not the rebuild's"; show "$work/unsigned.exe" "$3/$path"; }
        else
            cmp -s "$2/$path" "$3/$path" || { differs "$1" "$path is not the rebuild's"; show "$2/$path" "$3/$path"; }
        fi
    done < <(cd "$2" && find . -type f -print0)
}

# msi_tables MSI FOLDER: each table of MSI as text in FOLDER, and its
# summary information but for the signature it holds, with the File
# table's size of setwalk.exe replaced by the word "size".
msi_tables() {
    local table
    mkdir -p "$2"
    msiinfo suminfo "$1" > "$2/_SummaryInformation"
    for table in $(msiinfo tables "$1"); do
        msiinfo export "$1" "$table" > "$2/$table"
    done
    awk -F '\t' -v OFS='\t' 'NR > 3 && $3 ~ /(^|\|)setwalk\.exe$/ { $4 = "size" } { print }' "$2/File" > "$2/File.new"
    mv "$2/File.new" "$2/File"
    # And its hash, where the installer keeps one.
    [ ! -f "$2/MsiFileHash" ] || sed -i 's/^\(setwalk\.exe\t[0-9]*\)\t.*/\1\thash/' "$2/MsiFileHash"
}

# compare_msi FILE: the installer's tables and files are the rebuild's.
compare_msi() {
    local tree
    msi_tables "$release/$1" "$work/tables/release"
    msi_tables "$rebuild/$1" "$work/tables/rebuild"
    diff -r "$work/tables/release" "$work/tables/rebuild" > "$work/tables.diff" ||
        { differs "$1" "its tables differ:"; head -n 20 "$work/tables.diff" || true; }
    # The size the File table gives is the size of the file inside.
    for tree in release rebuild; do
        mkdir -p "$work/msi/$tree"
        msiextract -C "$work/msi/$tree" "${!tree}/$1" > /dev/null
    done
    same_tree "$1" "$work/msi/release" "$work/msi/rebuild"
    rm -rf "$work/tables" "$work/msi"
}

# compare_zip FILE: the zip's entries are the rebuild's, in the same order
# and with the same times and modes, and so are their bytes.
compare_zip() {
    local tree
    for tree in release rebuild; do
        # Mode, version made by, system, time and name of each entry.
        zipinfo -T "${!tree}/$1" | awk 'NR > 2 && NF == 8 { print $1, $2, $3, $7, $8 }' > "$work/$tree.entries"
        mkdir -p "$work/zip/$tree"
        unzip -q "${!tree}/$1" -d "$work/zip/$tree"
    done
    cmp -s "$work/release.entries" "$work/rebuild.entries" ||
        differs "$1" "its entries, their order, modes or times are not the rebuild's"
    same_tree "$1" "$work/zip/release" "$work/zip/rebuild"
    rm -rf "$work/zip"
}

# rpm_parts RPM: RPM's header and payload, which the signature covers.
rpm_parts() {
    python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
count, size = struct.unpack(">II", data[104:112])
end = 96 + 16 + 16 * count + size
sys.stdout.buffer.write(data[end + -end % 8:])' "$1" 2> /dev/null
}

# compare_rpm FILE: the RPM, its signature removed with rpmsign --delsign,
# is the rebuild's; where that is not byte for byte the rebuild's (rpmsign
# leaves out the space that rpmbuild reserves for a signature), its lead,
# header and payload are, byte for byte, and only the signature header
# differs.
compare_rpm() {
    cp "$release/$1" "$work/unsigned.rpm"
    if ! HOME=$work rpmsign --delsign "$work/unsigned.rpm" > "$work/delsign" 2>&1; then
        differs "$1" "rpmsign --delsign cannot remove its signature: $(grep -m 1 . "$work/delsign")"
        return
    fi
    if cmp -s "$work/unsigned.rpm" "$rebuild/$1"; then
        how="byte for byte once rpmsign --delsign has removed its signature"
    # rpmsign writes the lead anew, naming this machine's architecture: the
    # release's own lead is compared.
    elif cmp -s <(head -c 96 "$release/$1") <(head -c 96 "$rebuild/$1") &&
        cmp -s <(rpm_parts "$work/unsigned.rpm") <(rpm_parts "$rebuild/$1"); then
        how="once rpmsign --delsign has removed its signature: its lead, header and payload byte for byte"
        how+=" (its signature header is $(($(stat -c %s "$rebuild/$1") - $(stat -c %s "$work/unsigned.rpm"))) bytes shorter than the rebuild's, which holds the space rpmbuild reserves for a signature)"
    else
        differs "$1" "its lead, header or payload is not the rebuild's"
        show "$work/unsigned.rpm" "$rebuild/$1"
    fi
}

# unsigned_lines FILE: FILE's lines but those that name a file whose bytes
# signing changes (see $variant), as SHA256SUMS and the buildinfo's
# checksums name them.
unsigned_lines() {
    grep -v -E " ($({ printf '%s\n' "${variant[@]}"; comm -23 "$work/release.files" "$work/rebuild.files"; } |
        sed 's/[.+]/\\&/g' | paste -sd'|'))\$" "$1" || true
}

# compare_sums FILE: SHA256SUMS or the buildinfo: the same line for each
# file whose bytes signing does not change; the buildinfo may name packages
# that the rebuild's does not (the signing tools), but not the other way
# round.
compare_sums() {
    local extra
    diff <(unsigned_lines "$release/$1" | sed 's/,$//') <(unsigned_lines "$rebuild/$1" | sed 's/,$//') > "$work/sums.diff" || true
    extra=$(sed -n 's/^< \( [^ ]* (= [^)]*)\)$/\1/p' "$work/sums.diff" | paste -sd',')
    if grep -q '^>' "$work/sums.diff" || grep '^<' "$work/sums.diff" | grep -qv '^<  [^ ]* (= [^)]*)$' ||
        { [ "$1" = SHA256SUMS ] && [ -s "$work/sums.diff" ]; }; then
        differs "$1" "its lines for what signing does not change are not the rebuild's:"
        head -n 20 "$work/sums.diff" || true
    else
        echo "same for what signing does not change: $1${extra:+ (the release also names$extra)}"
    fi
}

# compare_sbom FILE: the SBOM is the rebuild's but for the sha256 of each
# Windows program.
compare_sbom() {
    local tree
    for tree in release rebuild; do
        python3 -c 'import json, sys
bom = json.load(open(sys.argv[1]))
for b in bom["components"]:
    download = [p["value"] for p in b["properties"] if p["name"] == "setwalk:download"][0]
    if download.endswith((".zip", ".msi")):
        b["hashes"] = "the signed program'"'"'s"
# The serial number is made of the whole document.
bom["serialNumber"] = "made of the document"
json.dump(bom, sys.stdout, indent=1, sort_keys=True)' "${!tree}/$1" > "$work/$tree.json"
    done
    if cmp -s "$work/release.json" "$work/rebuild.json"; then
        echo "same but for the Windows programs' sha256: $1"
    else
        differs "$1" "it is not the rebuild's, but for the Windows programs' sha256:"
        diff "$work/release.json" "$work/rebuild.json" | head -n 20 || true
    fi
}

# The release's files, and the rebuild's: the rebuild may lack only what
# signing makes, and may have nothing the release has not.
(cd "$release" && find . -type f -printf '%P\n' | sort) > "$work/release.files"
(cd "$rebuild" && find . -type f -printf '%P\n' | sort) > "$work/rebuild.files"
while read -r file; do differs "$file" "only in the rebuild"; done < <(comm -13 "$work/release.files" "$work/rebuild.files")
while read -r file; do
    case $file in
    SHA256SUMS.asc | setwalk-archive-keyring.* | apt/* | rpm/*) ;;
    *) differs "$file" "not in the rebuild" ;;
    esac
done < <(comm -23 "$work/release.files" "$work/rebuild.files")
[ -z "$(comm -23 "$work/release.files" "$work/rebuild.files")" ] ||
    echo "only in the release, made by signing: $(comm -23 "$work/release.files" "$work/rebuild.files" |
        sed 's|^\(apt\|rpm\)/.*|\1/|' | uniq | paste -sd' ')"
# The files whose bytes signing changes: the signed downloads, and the
# SBOM and buildinfo, which hold the sha256 of signed files.
variant=()
while read -r file; do
    ! signed "$file" || variant+=("$file")
done < <(comm -12 "$work/release.files" "$work/rebuild.files")
[ ${#variant[@]} -eq 0 ] || mapfile -t -O ${#variant[@]} variant < <(grep -E '\.(cdx\.json|buildinfo)$' "$work/release.files" || true)

while read -r file; do
    if [[ " ${variant[*]} " == *" $file "* ]]; then
        case $file in
        *.rpm) compare_rpm "$file" ;;
        *.zip) how="entry by entry, setwalk.exe once osslsigncode has removed its signature"; compare_zip "$file" ;;
        *.msi) how="table by table and file by file, setwalk.exe once osslsigncode has removed its signature"; compare_msi "$file" ;;
        *.cdx.json) compare_sbom "$file"; continue ;;
        *.buildinfo) compare_sums "$file"; continue ;;
        *) differs "$file" "signed, but compare.sh knows no way to compare it"; continue ;;
        esac
        [[ " ${differ[*]} " == *" $file "* ]] || echo "same $how: $file"
    elif [ "$file" = SHA256SUMS ] && [ ${#variant[@]} -gt 0 ]; then
        compare_sums "$file"
    elif cmp -s "$release/$file" "$rebuild/$file"; then
        echo "same byte for byte: $file"
    else
        differs "$file" "not byte for byte the rebuild's"
        show "$release/$file" "$rebuild/$file"
    fi
done < <(comm -12 "$work/release.files" "$work/rebuild.files")

if [ ${#differ[@]} -gt 0 ]; then
    echo "compare.sh: the rebuild differs from the release in $(printf '%s\n' "${differ[@]}" | sort -u | paste -sd' ')" >&2
    exit 1
fi
echo "ok: the rebuild without keys is the release, its signatures removed"
