# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# How the release builds, tests and stages each target's program, and holds
# its suite's skipped cases to the caller's leave.

# build NAME TOOLCHAIN ARCH [CMAKE-OPTION...]: configure, build and test one
# program for the Debian architecture ARCH (- for Windows), with the
# toolchain file TOOLCHAIN in cmake/ (- for the native build), and install
# it stripped into $work/stage/NAME. Beside that folder it leaves the
# program's link records (NAME.records), its sysroot (NAME.sysroot, empty
# for a native build) and the command that runs its programs here
# (NAME.runner, one word a line). CMake takes the compiler flags of the
# environment, which release.sh clears (build_deb sets Debian's).
build() {
    local name=$1 toolchain=$2 arch=$3 dir=$work/build/$1 stage=$work/stage/$1 sysroot='' program options=() why
    [ "$toolchain" = - ] || options+=("-DCMAKE_TOOLCHAIN_FILE=$root/cmake/$toolchain.cmake")
    [ "$toolchain" != linux-cross ] || options+=("-DSETWALK_ARCH=$arch")
    shift 3
    step "build and test $name"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSETWALK_STATIC=ON \
        -DSETWALK_WARNINGS_AS_ERRORS=ON "${options[@]}" "$@" > "$dir.log"
    cmake --build "$dir" >> "$dir.log"
    ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" > "$dir.tests" ||
        { cat "$dir.tests"; die "the tests of $name failed"; }
    grep -E 'tests passed|did not run|Skipped' "$dir.tests"
    if grep -q 'every case is skipped' "$dir.log"; then
        why=$(sed -n 's/.*every case is skipped, since //p' "$dir.log")
        case $toolchain in
        windows-*) unable "$(wine_check "$toolchain")" "the tests of $name" "$why" ;;
        *) die "the tests of $name cannot run: $why" ;;
        esac
    else
        skipped_cases "$dir" "$toolchain" "$name"
    fi
    cmake --install "$dir" --strip --prefix "$stage" > /dev/null
    program=$(echo "$stage"/bin/setwalk*)
    if [[ $program != *.exe ]]; then
        # What Debian's own packages leave out of a binary as well: the
        # compilers' version strings and the loose notes.
        "$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$dir/CMakeCache.txt")" \
            --remove-section=.comment --remove-section=.note "$program"
    elif [ -n "$authenticode" ]; then
        # Signed once, before any download takes it.
        authenticode "$program"
    fi
    # A Linux cross build links against the sysroot that its toolchain made.
    [ "$toolchain" != linux-cross ] || sysroot=$("$root/cmake/sysroot.sh" "$arch")
    echo "$sysroot" > "$stage.sysroot"
    "$packaging/link-records.sh" "$dir/setwalk.map" ${sysroot:+"$sysroot"} > "$stage.records"
    cmake "${options[@]}" -P "$root/cmake/emulator.cmake" > "$stage.runner"
}

# not_applicable TOOLCHAIN CASE: why CASE of the suite cannot apply to a
# target of TOOLCHAIN by its nature; nothing where it can.
not_applicable() {
    case $1:$2 in
    windows-*:failure.one-write) echo "strace would count wine's system calls, not the program's" ;;
    windows-*:failure.reader-gone-sigpipe-ignored) echo "Windows has no SIGPIPE to ignore" ;;
    esac
}

# skipped_cases DIR TOOLCHAIN NAME: each case that the suite in build DIR
# skipped either cannot apply to the target by its nature, or the caller
# allowed it by name (see unable); any other stops the release.
skipped_cases() {
    local case why
    while IFS=$'\t' read -r case why; do
        if [ -n "$(not_applicable "$2" "$case")" ]; then
            echo "not applicable to $3: $case ($(not_applicable "$2" "$case"))"
        else
            unable "$case" "$3's $case" "$why"
        fi
    done < <("$root/tests/skipped.sh" "$1" "$1.tests")
}

# notices STAGE PROGRAM: the notices of the program built into STAGE, which
# they call PROGRAM, from its link records.
notices() {
    "$packaging/notices.sh" "$1.records" "$2" "$version" "$1/share/doc/setwalk"
}
