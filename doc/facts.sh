#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Compares what the documents say with what the project holds, where they
# repeat it for their readers: the report and its sizes in README.md and
# HACKING.md with tests/report.txt and tests/report-crlf.txt, and README.md's
# downloads with the table of targets, cmake/targets. Prints each fact it
# checked; exits 1, naming the document, on the first that differs.
#
#   doc/facts.sh
set -euo pipefail
cd "$(dirname "$0")/.."
differs() { echo "doc/facts.sh: $1 says $2, but $3" >&2; exit 1; }

# The report, byte for byte: README.md's first code block.
awk '/^```/ { n++; next } n == 1' README.md | cmp -s tests/report.txt - ||
    differs README.md "another report in its first code block" "the program writes tests/report.txt"
echo "ok: README.md shows the report of tests/report.txt"

# Its sizes: each number of bytes the documents give is one of the two
# reports'.
lf=$(stat -c %s tests/report.txt) crlf=$(stat -c %s tests/report-crlf.txt)
for doc in README.md HACKING.md; do
    grep -o '[0-9][0-9]* bytes' "$doc" | while read -r bytes _; do
        [ "$bytes" = "$lf" ] || [ "$bytes" = "$crlf" ] ||
            differs "$doc" "the report is $bytes bytes" "it is $lf (LF) or $crlf (CR LF)"
    done
done
grep -q "$lf bytes" README.md || differs README.md "nothing of $lf bytes" "the report is $lf bytes"
grep -q "$crlf bytes" README.md || differs README.md "nothing of $crlf bytes" "the Windows report is $crlf bytes"
echo "ok: README.md and HACKING.md give the report's sizes, $lf and $crlf bytes"

# The downloads: each row of README.md's table lists the targets of
# cmake/targets that it is made for (in any order).
# listed ROW: the backquoted words after the first cell of README.md's
# download row whose first cell begins with ROW, one a line, sorted.
listed() {
    # shellcheck disable=SC2016 # backquotes, not an expansion
    grep -F "| \`$1" README.md | sed 's/^[^|]*|[^|]*|//' | grep -o '`[^`]*`' | tr -d '`' | sort
}
# same_as_targets WHAT LISTED AWK: LISTED, README.md's list of WHAT, is
# what the program AWK prints of the rows of cmake/targets, as
# cmake/targets.sh gives them: tab-separated, the downloads in field 5.
rows=$(cmake/targets.sh)
same_as_targets() {
    local targets
    targets=$(awk -F '\t' "$3" <<< "$rows" | sort)
    [ "$2" = "$targets" ] || differs README.md "$1 are $(paste -sd' ' <<< "$2")" \
        "cmake/targets has $(paste -sd' ' <<< "$targets")"
}
# shellcheck disable=SC2016 # awk's fields, not the shell's
{
    same_as_targets "the tarballs' architectures" "$(listed 'setwalk-<version>-linux-<arch>.tar.gz')" \
        '$5 ~ /(^|,)tarball(,|$)/ { sub(/^linux-/, "", $1); print $1 }'
    same_as_targets "the Debian architectures" "$(listed 'setwalk_<version>_<arch>.deb')" '$5 ~ /(^|,)deb(,|$)/ { print $2 }'
    same_as_targets "the RPM architectures" "$(listed 'setwalk-<version>-1.<arch>.rpm')" '$5 ~ /(^|,)rpm(,|$)/ { print $3 }'
    same_as_targets "the Windows downloads" \
        "$(grep -o '^| `setwalk-<version>-windows-[a-z0-9]*' README.md | sed 's/.*<version>-//' | sort -u)" \
        '$5 ~ /(^|,)(zip|msi)(,|$)/ { print $1 }'
}
echo "ok: README.md's downloads are those of cmake/targets"
