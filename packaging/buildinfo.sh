# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The record of what a release's bytes depend on, setwalk-VERSION.buildinfo,
# in the form of Debian's .buildinfo: the downloads' checksums, and under
# Installed-Build-Depends the exact Debian package of every compiler,
# assembler and linker, every library linked in, and every tool that wrote
# a download's bytes. A rebuild with these packages, from the same commit,
# gives the same bytes.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

# owning_package FILE: the Debian package that installed FILE, as
# PACKAGE:ARCH; dpkg may know a program of /usr/bin by its /bin path.
owning_package() {
    local file
    for file in "$1" "${1#/usr}"; do
        # Diversions (binutils-multiarch's of ld, say) are listed first.
        dpkg-query -S "$file" 2> /dev/null |
            awk '!/^diversion by / && !n++ { sub(/[,:] .*/, ""); print }' | grep . && return
    done
    die "no Debian package owns $1, which the release used"
}

# toolchain_files BUILD: the compiler, its compiler proper, and the binary
# tools that a build's CMake cache names (by path, or by a name on PATH
# where a toolchain file gave one).
toolchain_files() {
    local compiler tool
    compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$1"/CMakeFiles/*/CMakeCXXCompiler.cmake)
    realpath "$compiler" "$("$compiler" -print-prog-name=cc1plus)"
    sed -n 's/^CMAKE_\(LINKER\|AR\|STRIP\|RC_COMPILER\):[A-Z]*=\(..*\)/\2/p' "$1/CMakeCache.txt" |
        while read -r tool; do realpath "$(command -v "$tool")"; done
}

# write_buildinfo: $dist/setwalk-VERSION.buildinfo, from every build in
# $work/build, the link records in $work/stage and the downloads in $dist.
write_buildinfo() {
    local info=$work/setwalk-$version.buildinfo build file tool package known
    {
        for build in "$work"/build/*/; do
            toolchain_files "$build"
        done | sort -u | while read -r file; do owning_package "$file"; done
        for tool in "${buildinfo_tools[@]}" ${sign_key:+"${buildinfo_signing[@]}"} \
            ${certificate:+"${buildinfo_authenticode[@]}"}; do
            owning_package "$(realpath "$(command -v "$tool")")"
        done
        for tool in "${buildinfo_modules[@]}"; do
            owning_package "$(realpath "$(/usr/bin/python3 -c "import $tool; print($tool.__file__)")")"
        done
        echo glibc-source
        # The libraries linked in, as their package database (a cross
        # build's sysroot has its own) named them.
        cut -f1,2 "$work"/stage/*.records
    } | while IFS=$'\t' read -r package known; do
        if [ -z "$known" ]; then
            # shellcheck disable=SC2016 # dpkg-query's fields, not the shell's
            known=$(dpkg-query -W -f='${binary:Package}\t${Version}' "$package") ||
                die "$package, which the release used, is not installed"
            IFS=$'\t' read -r package known <<< "$known"
        fi
        printf ' %s (= %s),\n' "$package" "$known"
    done | sort -u | sed '$ s/,$//' > "$info.packages"
    {
        printf 'Format: 1.0\nSource: setwalk\nBinary: setwalk\nVersion: %s\n' "$version"
        printf 'Build-Origin: Debian\nBuild-Architecture: %s\n' "$(dpkg --print-architecture)"
        printf 'Checksums-Sha256:\n'
        (cd "$dist" && for file in setwalk*; do
            printf ' %s %s %s\n' "$(sha256sum < "$file" | cut -d' ' -f1)" "$(stat -c %s "$file")" "$file"
        done)
        # What release.sh set, as it was the same on every machine.
        printf 'Environment:\n'
        printf '%s\n' "${release_env[@]}" SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" |
            sort | sed 's/=\(.*\)/="\1"/; s/^/ /'
        printf ' umask="0022"\n'
        printf 'Installed-Build-Depends:\n'
        cat "$info.packages"
    } > "$info"
    mv "$info" "$dist/"
}

# check_buildinfo: it names the native compiler's package, every package it
# names is installed at that version, here or in a cross build's sysroot,
# and its checksums are the downloads', every one of them.
check_buildinfo() {
    local info=$dist/setwalk-$version.buildinfo package known databases=(/var/lib/dpkg) sysroot database download unlisted
    while read -r sysroot; do
        [ -z "$sysroot" ] || databases+=("$sysroot/var/lib/dpkg")
    done < <(cat "$work"/stage/*.sysroot | sort -u)
    says "$info" " $(owning_package "$(realpath "$(command -v g++)")") (= "
    while read -r package known; do
        known=${known#'(= '} known=${known%%)*}
        for database in "${databases[@]}"; do
            # shellcheck disable=SC2016 # dpkg-query's fields, not the shell's
            [ "$(dpkg-query --admindir="$database" -W -f='${Version}' "$package" 2> /dev/null)" != "$known" ] ||
                continue 2
        done
        die "${info##*/} names $package $known, which is not what this machine has"
    done < <(sed -n '/^Installed-Build-Depends:/,$ { / (= /p }' "$info")
    (cd "$dist" && sed -n '/^Checksums-Sha256:/,/^[^ ]/ s/^ \([0-9a-f]\{64\}\) [0-9]* \(.*\)/\1  \2/p' "$info" |
        sha256sum -c --quiet) || die "${info##*/} has checksums that are not the downloads'"
    # And it lists every download but itself.
    unlisted=$(cd "$dist" && for download in setwalk*; do
        [ "$download" = "${info##*/}" ] || grep -qE " [0-9]+ $download\$" "$info" || echo "$download"
    done | paste -sd' ')
    [ -z "$unlisted" ] || die "${info##*/} does not list $unlisted"
    echo "ok: ${info##*/}, $(grep -c ' (= ' "$info") packages at the versions installed here"
}
