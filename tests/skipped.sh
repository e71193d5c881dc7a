#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The cases that a build's last CTest run skipped, one a line, each with
# its own word on why (what it printed after "skipped: "):
#
#   tests/skipped.sh BUILD-DIR CTEST-OUTPUT
#
# CTEST-OUTPUT is what that run printed; its list of the cases that did not
# run names them, and the run's log in BUILD-DIR holds what they said.
set -eu
[ $# -eq 2 ] || { echo "usage: tests/skipped.sh BUILD-DIR CTEST-OUTPUT" >&2; exit 2; }
sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (Skipped)$/\1/p' "$2" | while read -r case; do
    why=$(awk -v c="$case" '$0 ~ "Test: " c "$" { on = 1 } on && /^skipped: / { sub(/^skipped: /, ""); print; exit }' \
        "$1/Testing/Temporary/LastTest.log")
    printf '%s\t%s\n' "$case" "${why:-it gave no reason}"
done
