# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# What the release and its download formats share: how a download's files
# are listed, laid out and archived, and the checks that more than one
# format makes. release.sh sources this first; the globals it names
# ($work, $dist, $version, $root, $packaging) are the release's.

die() { echo "release: $*" >&2; exit 1; }
step() { printf '\n=== %s\n' "$*"; }

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

# settle TREE: the modes and time stamps every archive entry gets.
settle() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -exec chmod 644 {} +
    find "$1" -type f -path '*/bin/*' -exec chmod 755 {} +
    find "$1" -name '*.exe' -exec chmod 755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# tar_folder FOLDER: the folder FOLDER of $work/pack, settled, as a tar
# stream whose entries are sorted and owned by 0/0.
tar_folder() {
    settle "$work/pack/$1"
    tar -C "$work/pack" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 \
        --group=0 --numeric-owner --format=gnu -cf - "$1"
}

# ships DOWNLOAD PATH FILE RECORDS: the program FILE ships in DOWNLOAD at
# PATH, and RECORDS says what its link took; the SBOM lists each of them.
ships() { printf '%s\t%s\t%s\t%s\n' "$@" >> "$work/shipped"; }

# unpack ARCHIVE: ARCHIVE unpacked into a new empty folder, whose path it
# prints; a zip or tarball must hold one top folder named as the archive.
unpack() {
    local name=${1##*/} to
    to=$(mktemp -d "$work/check/unpack.XXXX")
    case $name in
    *.zip) unzip -q "$1" -d "$to" && name=${name%.zip} ;;
    *.tar.gz) tar -xzf "$1" -C "$to" && name=${name%.tar.gz} ;;
    *.deb) dpkg-deb -x "$1" "$to" && echo "$to" && return ;;
    *.rpm) (cd "$to" && rpm2cpio "$1" | cpio -idm --quiet) && echo "$to" && return ;;
    esac
    [ "$(ls -A "$to")" = "$name" ] || die "$1 does not hold one folder $name"
    echo "$to/$name"
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

# holds FILE TEXT...: FILE holds each TEXT.
holds() {
    local file=$1 text
    shift
    for text; do grep -qF -- "$text" "$file" || die "${file#"$work"/} does not say \"$text\""; done
}

# same_file WANTED FILE: FILE is byte for byte WANTED.
same_file() { cmp -s "$1" "$2" || die "${2#"$work"/} is not ${1##*/}"; }
