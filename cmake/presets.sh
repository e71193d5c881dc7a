#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Writes CMakePresets.json from the table of targets, cmake/targets: a
# configure, build, test and workflow preset for each cross target, beside
# the fixed sanitize and memcheck presets. JSON cannot loop, so the presets
# are made rather than written by hand; CI fails when the file in the tree
# differs from what this prints.
#
#   cmake/presets.sh > CMakePresets.json
set -eEuo pipefail
trap 'echo "presets.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR
cd "$(dirname "$0")/.."

# cross: name, toolchain file and cache variables (JSON) of each target that
# is not the native build.
cross() {
    local name debian toolchain wine targets arch description
    targets=$(cmake/targets.sh)
    while IFS=$'\t' read -r name debian _ toolchain _ wine _; do
        arch=''
        case $toolchain:$wine in
        -:*) continue ;;
        linux-cross:-) arch=", \"SETWALK_ARCH\": \"$debian\"" description="Linux on $debian, tested under qemu-user" ;;
        *:win32) description="32-bit Windows console (MinGW-w64), tested under wine" ;;
        *:win64) description="64-bit Windows console (MinGW-w64), tested under 64-bit wine" ;;
        *) echo "presets.sh: cmake/targets names a toolchain it does not know, $toolchain" >&2; exit 1 ;;
        esac
        printf '%s\t%s\t%s\t%s\n' "$name" "$toolchain" "{ \"SETWALK_TARGET\": \"$name\"$arch }" "$description"
    done <<< "$targets"
}

# list ITEM...: the items, a JSON array's elements, one a line.
list() { local sep=''; for item; do printf '%s\n%s' "$sep" "$item"; sep=','; done; echo; }

# build_and_workflow NAME: NAME's build preset and its workflow preset,
# which configures, builds and tests.
build_and_workflow() {
    build+=("    { \"name\": \"$1\", \"configurePreset\": \"$1\" }")
    workflow+=("    {
      \"name\": \"$1\",
      \"steps\": [
        { \"type\": \"configure\", \"name\": \"$1\" },
        { \"type\": \"build\", \"name\": \"$1\" },
        { \"type\": \"test\", \"name\": \"$1\" }
      ]
    }")
}

configure=() build=() test=() workflow=()
while IFS=$'\t' read -r name toolchain variables description; do
    configure+=("    {
      \"name\": \"$name\",
      \"inherits\": \"base\",
      \"displayName\": \"$description\",
      \"toolchainFile\": \"\${sourceDir}/cmake/$toolchain.cmake\",
      \"cacheVariables\": $variables
    }")
    test+=("    { \"name\": \"$name\", \"inherits\": \"base\", \"configurePreset\": \"$name\" }")
    build_and_workflow "$name"
done < <(cross)
build_and_workflow sanitize
build_and_workflow memcheck

cat <<JSON
{
  "version": 6,
  "cmakeMinimumRequired": { "major": 3, "minor": 25, "patch": 0 },
  "configurePresets": [
    {
      "name": "base",
      "hidden": true,
      "binaryDir": "\${sourceDir}/build-\${presetName}",
      "cacheVariables": { "CMAKE_BUILD_TYPE": "Release" }
    },
    {
      "name": "checked",
      "hidden": true,
      "inherits": "base",
      "description": "Dynamic link with debug information, which sanitizers and valgrind need",
      "cacheVariables": { "CMAKE_BUILD_TYPE": "RelWithDebInfo", "SETWALK_STATIC": "OFF" }
    },
    {
      "name": "sanitize",
      "inherits": "checked",
      "displayName": "clang with AddressSanitizer and UndefinedBehaviorSanitizer",
      "cacheVariables": {
        "CMAKE_CXX_COMPILER": "clang++",
        "SETWALK_SANITIZE": "address,undefined"
      }
    },
    {
      "name": "memcheck",
      "inherits": "checked",
      "displayName": "Dynamic build whose tests run under valgrind memcheck",
      "cacheVariables": {
        "SETWALK_TEST_LAUNCHER": "valgrind;-q;--error-exitcode=1;--leak-check=full"
      }
    },$(list "${configure[@]}")
  ],
  "buildPresets": [$(list "${build[@]}")
  ],
  "testPresets": [
    { "name": "base", "hidden": true, "output": { "outputOnFailure": true } },
    { "name": "sanitize", "inherits": "base", "configurePreset": "sanitize" },
    {
      "name": "memcheck",
      "inherits": "base",
      "configurePreset": "memcheck",
      "filter": { "exclude": { "name": "\\\\.concurrent\$" } }
    },$(list "${test[@]}")
  ],
  "workflowPresets": [$(list "${workflow[@]}")
  ]
}
JSON
