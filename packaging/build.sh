# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# How the release builds and tests each target's program, holds its
# suite's skipped cases to the caller's leave, and stages it for the
# formats. A build is named by its target, or NAME.deb for the Debian
# package's own build of target NAME.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

# toolchain_options BUILD: the options that give CMake BUILD's target and
# its toolchain, one a line.
toolchain_options() {
    local toolchain
    toolchain=$(target "${1%.deb}" toolchain)
    echo "-DSETWALK_TARGET=${1%.deb}"
    [ "$toolchain" = - ] || echo "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/$toolchain.cmake"
    [ "$toolchain" != linux-cross ] || echo "-DSETWALK_ARCH=$(target "${1%.deb}" debian)"
}

# build BUILD [CMAKE-OPTION...]: configure, build and test BUILD's program
# in $work/build/BUILD, its configure and build said in BUILD.log and its
# suite in BUILD.tests. CMake takes the compiler flags of the environment,
# which release.sh clears (build_deb sets Debian's).
build() {
    local name=$1 dir=$work/build/$1 options why
    mapfile -t options < <(toolchain_options "$name")
    shift
    step "build and test $name"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSETWALK_STATIC=ON \
        -DSETWALK_WARNINGS_AS_ERRORS=ON "${options[@]}" "$@" > "$dir.log"
    cmake --build "$dir" >> "$dir.log"
    ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" > "$dir.tests" ||
        { cat "$dir.tests"; die "the tests of $name failed"; }
    grep -E 'tests passed|did not run|Skipped' "$dir.tests"
    why=$(configured "$name" untested)
    if [ -n "$why" ]; then
        [ "$(target "${name%.deb}" wine)" != - ] || die "the tests of $name cannot run: $why"
        unable "$(wine_check "${name%.deb}")" "the tests of $name" "$why"
    else
        skipped_cases "$name"
    fi
}

# configured BUILD NAME: what BUILD's configure found of NAME (link, or
# untested: why every case is skipped), as it wrote it in its build folder.
configured() { awk -F '\t' -v n="$2" '$1 == n { print $2 }' "$work/build/$1/setwalk-configured"; }

# linked BUILD LINK: configure chose the link LINK for BUILD's program.
linked() { [ "$(configured "$1" link)" = "$2" ] || die "$1 is not linked $2"; }

# skipped_cases BUILD: each case that BUILD's suite skipped either cannot
# apply to the target by its nature, or the caller allowed it by name (see
# unable); any other stops the release.
skipped_cases() {
    local case why dir=$work/build/$1 kind
    kind=$([ "$(target "${1%.deb}" wine)" = - ] && echo linux || echo windows)
    while IFS=$'\t' read -r case why; do
        case $kind:$case in
        windows:failure.one-write) why="strace would count wine's system calls, not the program's" ;;
        windows:failure.reader-gone-sigpipe-ignored) why="Windows has no SIGPIPE to ignore" ;;
        *) unable "$case" "$1's $case" "$why"; continue ;;
        esac
        echo "not applicable to $1: $case ($why)"
    done < <("$root/tests/skipped.sh" "$dir" "$dir.tests")
}

# stage BUILD: BUILD's program installed stripped into $work/stage/BUILD,
# and beside that folder what the formats read of its link: the sysroot it
# linked against (BUILD.sysroot, empty for a native build), its link
# records (BUILD.records) and the command that runs its programs here
# (BUILD.runner, one word a line).
stage() {
    local dir=$work/build/$1 stage=$work/stage/$1 sysroot='' program options
    mapfile -t options < <(toolchain_options "$1")
    cmake --install "$dir" --strip --prefix "$stage" > /dev/null
    program=$(echo "$stage"/bin/setwalk*)
    if [[ $program != *.exe ]]; then
        # What Debian's own packages leave out of a binary as well: the
        # compilers' version strings and the loose notes.
        "$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$dir/CMakeCache.txt")" \
            --remove-section=.comment --remove-section=.note "$program"
    fi
    # A Linux cross build links against the sysroot that its toolchain made.
    [ "$(target "${1%.deb}" toolchain)" != linux-cross ] || sysroot=$("$root/cmake/sysroot.sh" "$(target "${1%.deb}" debian)")
    echo "$sysroot" > "$stage.sysroot"
    "$packaging/link-records.sh" "$dir/setwalk.map" ${sysroot:+"$sysroot"} > "$stage.records"
    cmake "${options[@]}" -P "$root/cmake/emulator.cmake" > "$stage.runner"
}

# notices STAGE PROGRAM: the notices of the program staged in STAGE, which
# they call PROGRAM, from its link records.
notices() {
    "$packaging/notices.sh" "$1.records" "$2" "$version" "$1/share/doc/setwalk"
}
