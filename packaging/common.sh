# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# What the release and its download formats share: how a download's files
# are listed, laid out and archived, and the checks that more than one
# format makes. release.sh sources this first; the globals it names
# ($work, $dist, $version, $root, $packaging) are the release's.

# Debian's own tools before any other of the same name (a Python of pyenv's,
# say): the buildinfo names the packages of what the release ran.
export PATH=/usr/bin:/usr/sbin:$PATH

die() { echo "release: $*" >&2; exit 1; }
step() { printf '\n=== %s\n' "$*"; }

# unable CHECK WHAT WHY: WHAT cannot be checked on this machine, for WHY.
# That stops the release, unless its caller has allowed CHECK to be skipped
# (--skip CHECK, kept in $skippable); then WHAT is listed at the end among
# the checks skipped.
unable() {
    [[ " ${skippable[*]} " == *" $1 "* ]] ||
        die "cannot check $2: $3 (to release without that check: --skip $1)"
    skipped+=("$2 ($1): $3")
}

# wine_check TOOLCHAIN: the check that runs a Windows target's programs
# under wine, by the name that lets a release skip it.
wine_check() {
    case $1 in
    windows-x86) echo wine32 ;;
    windows-x64) echo wine64 ;;
    *) die "$1 is not a Windows target" ;;
    esac
}

# wine_runs NAME TOOLCHAIN WHAT: Windows target NAME's programs can run
# under wine here; when wine cannot start, WHAT is a check this machine
# cannot make (see unable), and the status is 1.
wine_runs() {
    on_target "$1" --version > /dev/null 2>&1 && return
    unable "$(wine_check "$2")" "$3" "$(paste -sd' ' "$work/stage/$1.runner") cannot start on this machine"
    return 1
}

# on_target NAME COMMAND...: COMMAND, run as target NAME's programs run on
# this machine: under its emulator, if it has one (NAME.runner, one word a
# line, beside its staged tree).
on_target() {
    local runner
    mapfile -t runner < "$work/stage/$1.runner"
    shift
    "${runner[@]}" "$@"
}

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

# lay_out_folder STAGE FOLDER: the download's files from STAGE side by side
# in FOLDER, settled, under their names in one folder, as Windows users
# expect them; .txt files get CR LF line ends, for Notepad.
lay_out_folder() {
    local from flat
    mkdir -p "$2"
    while read -r from _ flat; do
        case $flat in
        -) ;;
        *.txt) sed 's/$/\r/' "$from" > "$2/$flat" ;;
        *) cp "$from" "$2/$flat" ;;
        esac
    done < <(package_files "$1")
    settle "$2"
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
# prints; a zip or tarball must hold one top folder named as the archive,
# an MSI one install folder setwalk.
unpack() {
    local name=${1##*/} to
    to=$(mktemp -d "$work/check/unpack.XXXX")
    case $name in
    *.zip) unzip -q "$1" -d "$to" && name=${name%.zip} ;;
    *.tar.gz) tar -xzf "$1" -C "$to" && name=${name%.tar.gz} ;;
    *.deb) dpkg-deb -x "$1" "$to" && echo "$to" && return ;;
    *.rpm) (cd "$to" && rpm2cpio "$1" | cpio -idm --quiet) && echo "$to" && return ;;
    *.msi)
        # msiextract names some of Windows' folders (Program Files), not all.
        msiextract -C "$to" "$1" > /dev/null && name=setwalk &&
            to=$(dirname "$(find "$to" -type d -name setwalk)") ;;
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

# later_version: the next patch version after $version, which the packages'
# upgrade trials make a package of.
later_version() { awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<< "$version"; }
