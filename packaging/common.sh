# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# What the release and its download formats share: the facts of the tree,
# the table of targets, how a download's files are listed, laid out and
# archived, and the checks that more than one format makes.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

die() { echo "release: $*" >&2; exit 1; }

# read_facts: the facts of the tree in $root and its table of targets
# (see state.sh); the project's name and version are read here alone.
# shellcheck disable=SC2034 # the facts are for the other modules
read_facts() {
    local rows row column names=(name debian rpm toolchain downloads wine msi upgrade program)
    project=$(sed -n 's/^project(\([a-z0-9-]*\)$/\1/p' "$root/CMakeLists.txt")
    version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt")
    [ -n "$project" ] || die "no name in CMakeLists.txt's project()"
    [ -n "$version" ] || die "no VERSION in CMakeLists.txt's project()"
    # REUSE-IgnoreStart
    licence=$(sed -n 's/^.*SPDX-License-Identifier: //p' "$root/src/main.cpp")
    # REUSE-IgnoreEnd
    maintainer="The $project authors <$project@example.org>"
    report=$root/tests/report.txt report_crlf=$root/tests/report-crlf.txt
    glibc=$(dpkg-query -W -f='${Version}' "libc6-dev:$(dpkg --print-architecture)")
    rows=$("$root/cmake/targets.sh") || die "cmake/targets is not a table the release can follow"
    targets=() columns=()
    while IFS=$'\t' read -r -a row; do
        targets+=("${row[0]}") row[4]=${row[4]//,/ }
        for column in "${!names[@]}"; do columns[${row[0]} ${names[column]}]=${row[column]}; done
    done <<< "$rows"
}

# target NAME COLUMN: the column COLUMN of target NAME's row of the table.
target() {
    [ -n "${columns[$1 $2]+set}" ] || die "cmake/targets has no target $1 or no column $2"
    echo "${columns[$1 $2]}"
}

# download_name FORMAT NAME [VERSION]: the name of target NAME's download
# of FORMAT (of VERSION, if given): the one place a download is named.
download_name() {
    local v=${3:-$version}
    case $1 in
    tarball) echo "setwalk-$v-$2.tar.gz" ;;
    deb) echo "setwalk_${v}_$(target "$2" debian).deb" ;;
    rpm) echo "setwalk-$v-1.$(target "$2" rpm).rpm" ;;
    zip | msi) echo "setwalk-$v-$2.$1" ;;
    *) die "no download of format $1" ;;
    esac
}

# downloads_of [NAME...]: the record of the downloads of targets NAME (of
# every target, by default), in the table's order: a line each, its name,
# target, format and architecture (Debian's, RPM's or Windows'),
# separated by tabs. release.sh --downloads prints it.
downloads_of() {
    local name format arch
    for name in "${@:-${targets[@]}}"; do
        for format in $(target "$name" downloads); do
            case $format in
            rpm) arch=$(target "$name" rpm) ;;
            zip | msi) arch=$(target "$name" wine | sed 's/win32/x86/; s/win64/x64/') ;;
            *) arch=$(target "$name" debian) ;;
            esac
            printf '%s\t%s\t%s\t%s\n' "$(download_name "$format" "$name")" "$name" "$format" "$arch"
        done
    done
}

# for_each_download ACTION: ACTION_FORMAT NAME for each download of each
# target, in the table's order.
for_each_download() {
    local name format
    for name in "${targets[@]}"; do
        for format in $(target "$name" downloads); do
            # A format that installs nothing has no trial beyond its check.
            [ "$1" != try ] || declare -F "try_$format" > /dev/null || continue
            "${1}_$format" "$name"
        done
    done
}

# news NEWS: the one reader of NEWS.md's form: its entries, newest first, as
# lines of two tab-separated fields: "entry" and VERSION DAY for a heading,
# "item" and an item's first line, "more" and each further line.
news() {
    sed -n -e 's/^## \([^ ]*\) (\([0-9-]*\))$/entry\t\1 \2/p' -e 's/^- /item\t/p' -e 's/^  /more\t/p' "$1"
}

# step WHAT: the release's next step, WHAT, said; the one before it ends,
# and its time goes into $work/times.
step() {
    step_ends
    step_now=$* step_started=$SECONDS
    printf '\n=== %s\n' "$*"
}
step_ends() {
    [ -z "$step_now" ] || printf '%s\t%s\n' "$((SECONDS - step_started))" "$step_now" >> "$work/times"
    step_now=''
}

# times_taken: how long each of the release's steps took, and each of
# its jobs' steps, target by target.
times_taken() {
    local name
    step_ends
    steps_took "$work/times" "the release"
    for name in "${targets[@]}"; do
        [ ! -e "$work/jobs/$name/times" ] || steps_took "$work/jobs/$name/times" "the job of $name"
    done
}
# steps_took TIMES WHOSE: the steps of TIMES, WHOSE, with their seconds.
steps_took() {
    printf '\n%8s  %s\n' seconds "$2"
    awk -F '\t' '{ printf "%8d  %s\n", $1, $2; all += $1 } END { printf "%8d  in all\n", all }' "$1"
}

# unable CHECK WHAT WHY: WHAT cannot be checked on this machine, for WHY.
# That stops the release, unless its caller has allowed CHECK to be skipped
# (--skip CHECK, kept in $skippable); then WHAT is listed at the end among
# the checks skipped.
unable() {
    [[ " ${skippable[*]} " == *" $1 "* ]] ||
        die "cannot check $2: $3 (to release without that check: --skip $1)"
    skipped+=("$2 ($1): $3")
}

# wine_check NAME: the check that runs Windows target NAME's programs, wine32 or wine64.
wine_check() { echo "wine$(target "$1" wine | cut -c4-)"; }

# wine_runs NAME WHAT: Windows target NAME's programs can run under wine
# here; when wine cannot start, WHAT is a check this machine cannot make
# (see unable), and the status is 1.
wine_runs() {
    local why
    why=$(on_target "$1" --version 2>&1 > /dev/null) && return
    unable "$(wine_check "$1")" "$2" "${why:-$(paste -sd' ' "$work/stage/$1.runner") cannot start on this machine}"
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
# STAGE, its place in the tree and its name in one folder, separated by
# tabs (a path may hold a space).
package_files() {
    local path flat condition file
    while read -r path flat condition; do
        file=$1/$path
        [ -e "$file" ] || file=$file.exe
        if [ -e "$file" ]; then
            printf '%s\t%s\t%s\n' "$file" "${file#"$1"/}" "$flat"
        elif [ "$condition" != "if staged" ]; then
            die "${1##*/} lacks $path"
        fi
    done < <(grep -v '^#' "$packaging/contents")
}

# files_of STAGE PLACE: a format's list of its files, a line for each, of
# three fields separated by tabs: the staged file it comes from, its path in
# the download, and how it gets there: copy (as it is), gzip (compressed),
# crlf (with CR LF line ends), or a word of the format's own for a file
# written in the format's own form (a Debian copyright file, say). The
# function PLACE gives the last two, separated by a tab, for a row of
# packaging/contents (its place in the tree, its name in one folder), or
# nothing for a file the format leaves out.
files_of() {
    local from path flat place
    while IFS=$'\t' read -r from path flat; do
        place=$("$2" "$path" "$flat")
        [ -z "$place" ] || printf '%s\t%s\n' "$from" "$place"
    done < <(package_files "$1")
}

# tree_place PATH: a file where `cmake --install` puts it.
tree_place() { printf '%s\tcopy' "$1"; }

# folder_place PATH NAME: a file side by side with the others in one
# folder, under its name there, as Windows users expect them; .txt files
# get CR LF line ends, for Notepad.
folder_place() {
    case $2 in
    -) ;;
    *.txt) printf '%s\tcrlf' "$2" ;;
    *) printf '%s\tcopy' "$2" ;;
    esac
}

# put FROM TO HOW: FROM written to TO as HOW says (copy, gzip or crlf).
put() {
    mkdir -p "${2%/*}"
    case $3 in
    copy) cp "$1" "$2" ;;
    gzip) gzip -9n < "$1" > "$2" ;;
    crlf) sed 's/$/\r/' "$1" > "$2" ;;
    *) die "no way to put a file $3" ;;
    esac
}

# lay_out TREE: the files of the list on standard input, put into TREE.
lay_out() {
    local from path how
    while IFS=$'\t' read -r from path how; do put "$from" "$1/$path" "$how"; done
}

# lay_out_folder STAGE FOLDER: the download's files from STAGE in FOLDER,
# in the folder form (see folder_place), settled.
lay_out_folder() {
    lay_out "$2" < <(files_of "$1" folder_place)
    settle "$2"
}

# holds_exactly DOWNLOAD TREE: TREE, unpacked from DOWNLOAD, holds exactly
# the files of the list on standard input, no more and no fewer; each that
# is put as it is, compressed or with CR LF line ends is byte for byte the
# staged file so put. A file missing, one too many, or one that is not the
# staged one stops the release, naming it.
holds_exactly() {
    local download=$1 tree=$2 from path how wanted=$work/check/wanted has=$work/check/has missing extra
    : > "$wanted"
    while IFS=$'\t' read -r from path how; do
        echo "$path" >> "$wanted"
        [ -e "$tree/$path" ] || continue
        case $how in
        copy) cmp -s "$from" "$tree/$path" ;;
        gzip) gzip -dc < "$tree/$path" | cmp -s "$from" - ;;
        crlf) sed 's/$/\r/' "$from" | cmp -s - "$tree/$path" ;;
        # Written in the format's own form, from the staged file.
        copyright | changelog) ;;
        *) die "no way to compare a file put $how" ;;
        esac || die "$download: $path is not the staged ${from##*/}"
    done
    (cd "$tree" && find . ! -type d -printf '%P\n') | sort > "$has"
    sort -o "$wanted" "$wanted"
    missing=$(comm -13 "$has" "$wanted" | paste -sd' ')
    extra=$(comm -23 "$has" "$wanted" | paste -sd' ')
    [ -z "$missing" ] || die "$download lacks $missing"
    [ -z "$extra" ] || die "$download holds $extra, which it should not"
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
# and then its path is printed; an MSI must install a folder setwalk, and
# then that folder's path is printed.
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
        msiextract -C "$to" "$1" > /dev/null || die "msiextract cannot read $1"
        to=$(find "$to" -type d -name setwalk -print -quit)
        [ -n "$to" ] || die "$1 installs no folder setwalk"
        echo "$to" && return ;;
    *) die "no way to unpack $1" ;;
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

# expect_processor FILE ARCH: readelf says of the program FILE what
# cmake/processors says of the programs of the Debian architecture ARCH.
expect_processor() {
    local wanted has
    wanted=$(awk -v a="$2" '$1 == a { sub(/^[^ ]+ +/, ""); print }' "$root/cmake/processors")
    [ -n "$wanted" ] || die "cmake/processors has no row for $2"
    has=$(LC_ALL=C readelf -h "$1" | awk -F ': +' '
        $1 ~ /^ *Class$/ { class = $2 }
        $1 ~ /^ *Data$/ { order = $2; sub(/.*, /, "", order) }
        $1 ~ /^ *Machine$/ { machine = $2 }
        $1 ~ /^ *Flags$/ {
            n = split($2, word, ", ")
            for (i = 2; i <= n; i++)
                if (word[i] !~ /^(noreorder|pic|cpic)$/) abi = abi (abi == "" ? "" : ", ") word[i]
        }
        END { print class "; " order "; " machine "; " (abi == "" ? "-" : abi) }')
    [ "$has" = "$wanted" ] || die "${1#"$work"/} is not a program for $2: it says \"$has\", not \"$wanted\""
}

# field DOWNLOAD NAME HAS WANTED: DOWNLOAD's field NAME, which says HAS,
# says WANTED.
field() { [ "$3" = "$4" ] || die "$1: its $2 is \"$3\", not \"$4\""; }

# credits: packaging/credits, a row a line, its three columns (the source
# package, its licence, the licence texts that go beside the notices)
# separated by tabs. The one reader of that table's form.
credits() { awk '!/^#/ && NF { split($0, c, "  +"); print c[1] "\t" c[2] "\t" c[3] }' "$packaging/credits"; }

# credit SOURCE COLUMN: the licence (2) or licence texts (3) that credits
# gives the source package SOURCE; nothing for one it does not credit.
credit() { credits | awk -F '\t' -v s="$1" -v c="$2" '$1 == s { print $c }'; }

# licences RECORDS: the licence of a program whose link records are
# RECORDS, as one SPDX expression: setwalk's own and that of each source
# package whose code the link took.
licences() {
    {
        echo "$licence"
        cut -f3 "$1" | sort -u | while read -r source; do credit "$source" 2; done
    } | paste -sd'|' | sed 's/|/ AND /g'
}

# says FILE TEXT...: FILE says each TEXT.
says() {
    local file=$1 text
    shift
    for text; do grep -qF -- "$text" "$file" || die "${file#"$work"/} does not say \"$text\""; done
}

# same_file WANTED FILE: FILE is byte for byte WANTED.
same_file() { cmp -s "$1" "$2" || die "${2#"$work"/} is not ${1##*/}"; }

# later_version VERSION: the next patch version after VERSION, which the
# packages' upgrade trials make a package of.
later_version() { awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<< "$1"; }

# native_trial FORMAT NAME WAYS END: target NAME's package of FORMAT is
# tried here, each way of WAYS, then removed as END says, where it is of
# this machine's architecture and the release can have a root of its own:
# as root, or in a user namespace (see unable); its scratch folder,
# $work/try-FORMAT, is made. Else the status is 1.
native_trial() {
    local what
    [ "$(target "$2" debian)" = "$(dpkg --print-architecture)" ] || return 1
    what="install $(download_name "$1" "$2") as the README says ($3), upgrade it to $(later_version "$version"), run it, $4 it"
    step "$what"
    [ "$(id -u)" -eq 0 ] || unshare -r true 2> /dev/null ||
        { unable root "$what" "that needs root or a user namespace, and unshare -r fails here"; return 1; }
    mkdir -p "$work/try-$1"
}

# other_key FOLDER: a signing key of no one's, made once, in the GnuPG home
# FOLDER/gnupg, and its public half in FOLDER/key.asc, for a trial to see a
# signature by another key refused.
other_key() {
    [ ! -e "$1/key.asc" ] || return 0
    mkdir -p "$1" && mkdir -m 700 "$1/gnupg"
    GNUPGHOME=$1/gnupg gpg --batch --quiet --pinentry-mode loopback --passphrase '' \
        --quick-generate-key 'Someone else' ed25519 sign 1d
    GNUPGHOME=$1/gnupg gpg --batch --armor --export > "$1/key.asc"
    GNUPGHOME=$1/gnupg gpgconf --kill gpg-agent
}

# as_root COMMAND...: COMMAND as root, where the release runs as root, or
# as root of a user namespace of its own, where it does not.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else unshare -r "$@"; fi
}
