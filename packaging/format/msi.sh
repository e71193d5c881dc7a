# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Windows Installer package: the zip's files in Program Files\setwalk,
# for every user of the machine, that folder on the system PATH, an entry
# in installed apps, and upgrades in place. wixl makes it from
# packaging/windows/setwalk.wxs.in; msibuild adds what wixl cannot (the
# PATH entry) and the package code; msi-times.py sets its times.
#
# The folder is put first on PATH, not last: wine's cmd stops its search at
# an empty PATH element, and removing a part appended at the end leaves one
# behind. The folder holds setwalk.exe alone among programs, so it hides
# nothing of Windows'.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# msi_target NAME: target NAME's package facts, as the words UPGRADE-CODE
# WIXL-ARCH PROGRAM-FILES-FOLDER WIN64 TEMPLATE, from its UpgradeCode and
# platform in cmake/targets, as Windows Installer has a package of each
# platform name them.
msi_target() {
    local upgrade platform
    upgrade=$(target "$1" upgrade) platform=$(target "$1" msi)
    case $platform in
    Intel) echo "$upgrade" x86 ProgramFilesFolder no 'Intel;1033' ;;
    x64) echo "$upgrade" x64 ProgramFiles64Folder yes 'x64;1033' ;;
    *) die "cmake/targets gives $1 an installer platform, $platform, that msi.sh does not know" ;;
    esac
}

# msi_guid UPGRADE-CODE NAME: the code of NAME (the product or package of
# a version, a component) in the package of that UpgradeCode: a UUID
# derived from the two (version 5), so that two builds give the same bytes.
msi_guid() {
    python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$1" "$2"
}

# make_msi NAME VERSION MSI: target NAME's package of VERSION, written to
# MSI, and signed with the certificate where the release signs.
make_msi() {
    local name=$1 as_version=$2 msi=$3 upgrade arch folder win64 template
    local files=$work/msi/$1-$2 components='' component feature='' flat id
    read -r upgrade arch folder win64 template <<< "$(msi_target "$1")"
    lay_out_folder "$work/stage/$name" "$files"
    while IFS=$'\t' read -r _ _ flat; do
        [ "$flat" != - ] || continue
        id=${flat//-/_}
        printf -v component '%10s<Component Id="%s" Guid="%s" Win64="%s">\n%12s%s\n%10s</Component>\n' \
            '' "$id" "$(msi_guid "$upgrade" "component $flat")" "$win64" \
            '' "<File Id=\"$id\" Name=\"$flat\" Source=\"${files##*/}/$flat\" KeyPath=\"yes\"/>" ''
        components+=$component
        feature+="      <ComponentRef Id=\"$id\"/>"$'\n'
    done < <(package_files "$work/stage/$name")
    awk -v version="$as_version" -v product="$(msi_guid "$upgrade" "product $as_version")" -v upgrade="$upgrade" \
        -v folder="$folder" -v components="$components" -v feature="$feature" '
        { gsub(/@VERSION@/, version); gsub(/@PRODUCT_CODE@/, product)
          gsub(/@UPGRADE_CODE@/, upgrade); gsub(/@PROGRAM_FILES@/, folder) }
        /^@COMPONENTS@$/ { printf "%s", components; next }
        /^@FEATURE@$/ { printf "%s", feature; next }
        { print }' "$packaging/windows/setwalk.wxs.in" > "$files.wxs"
    # wixl takes the files' paths relative to where it runs.
    (cd "$work/msi" && wixl -a "$arch" -o "$msi" "$files.wxs") 2> "$files.log" ||
        { cat "$files.log"; die "wixl failed for $name"; }
    # The system PATH part (= set on install, - removed on uninstall, *
    # system-wide), put first, and the standard actions that write it.
    printf 'Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\n%s\n' \
        $'PATH\t=-*PATH\t[INSTALLDIR];[~]\tsetwalk.exe' > "$work/msi/Environment.idt"
    msibuild "$msi" -i "$work/msi/Environment.idt" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
        -s "setwalk $as_version" "The setwalk authors" "$template" "{$(msi_guid "$upgrade" "package $as_version")}"
    "$packaging/windows/msi-times.py" "$msi"
    [ -z "$certificate" ] || sign_authenticode "$msi"
}

# pack_msi NAME: target NAME's installer, in $dist.
pack_msi() {
    make_msi "$1" "$version" "$dist/$(download_name msi "$1")"
    ships "$(download_name msi "$1")" "setwalk/setwalk.exe" "$work/stage/$1/bin/setwalk.exe" "$work/stage/$1.records"
}

# table MSI NAME TEXT...: the table NAME of the package MSI holds each TEXT.
table() {
    local msi=$1 name=$2
    shift 2
    msiinfo export "$msi" "$name" > "$work/check/$name" 2> /dev/null || die "${msi##*/} has no $name table"
    says "$work/check/$name" "$@"
}

# check_msi NAME: the package's tables say what it is and what it does, it
# installs exactly the files of the download, and it is signed with the
# certificate where the release signs.
check_msi() {
    local msi upgrade arch folder win64 template tree top
    msi=$dist/$(download_name msi "$1")
    read -r upgrade arch folder win64 template <<< "$(msi_target "$1")"
    table "$msi" Property $'ProductName\tsetwalk' $'ProductVersion\t'"$version" \
        $'Manufacturer\tThe setwalk authors' $'UpgradeCode\t{'"$upgrade}" $'ALLUSERS\t1' $'ARPNOMODIFY\t1'
    table "$msi" Upgrade "{$upgrade}"$'\t\t'"$version"$'\t\t1\t\tWIX_UPGRADE_DETECTED' \
        "{$upgrade}"$'\t'"$version"$'\t\t\t2\t\tWIX_DOWNGRADE_DETECTED'
    table "$msi" Directory $'INSTALLDIR\t'"$folder"$'\tsetwalk'
    table "$msi" Environment $'PATH\t=-*PATH\t[INSTALLDIR];[~]\tsetwalk.exe'
    table "$msi" InstallExecuteSequence $'RemoveEnvironmentStrings\t\t3300' \
        $'WriteEnvironmentStrings\t\t5200' $'RemoveExistingProducts\t\t'
    msiinfo suminfo "$msi" > "$work/check/suminfo"
    says "$work/check/suminfo" "Template: $template" \
        "Created: $(date -d "@$SOURCE_DATE_EPOCH" '+%a %b %e %H:%M:%S %Y')" \
        "Last saved: $(date -d "@$SOURCE_DATE_EPOCH" '+%a %b %e %H:%M:%S %Y')"
    # What it installs, anywhere, is exactly the download's files in its
    # setwalk folder.
    tree=$(unpack "$msi")
    top=${tree#"$work/check/"} top=$work/check/${top%%/*}
    holds_exactly "${msi##*/}" "$top" < <(files_of "$work/stage/$1" folder_place | sed "s|\t|\t${tree#"$top"/}/|")
    [ -z "$certificate" ] || verify_authenticode "$msi"
    echo "ok: ${msi##*/}, its tables and files${certificate:+, signed}"
}

# try_msi NAME: where wine runs the target's programs, the package is
# installed, upgraded by a later version (made for the trial alone), refused
# as a downgrade and removed, in a wine prefix of its own
# (packaging/windows/wine-install.sh).
try_msi() {
    local msi later later_msi
    msi=$dist/$(download_name msi "$1") later=$(later_version "$version")
    wine_runs "$1" "installing ${msi##*/} under wine" || return 0
    later_msi=$work/check/$(download_name msi "$1" "$later")
    step "install ${msi##*/} under $(on_target "$1" --version | paste -sd' '), upgrade it to $later, uninstall it"
    make_msi "$1" "$later" "$later_msi"
    "$packaging/windows/wine-install.sh" "$(target "$1" wine)" "$msi" "$later_msi" "$report_crlf" ||
        die "${msi##*/} does not install, upgrade and uninstall cleanly under wine"
}
