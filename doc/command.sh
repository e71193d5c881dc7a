#!/bin/sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Prints the command that a document shows under a mark, so that CI and the
# release's checks run the very commands the README and HACKING.md give:
#
#   doc/command.sh FILE NAME
#
# The mark is a line `<!-- command: NAME -->`, followed by the command as
# an indented code block (four spaces). Exits 1, naming FILE, when FILE has
# no such mark, or no command under it.
[ $# -eq 2 ] || { echo "usage: doc/command.sh FILE NAME" >&2; exit 2; }
awk -v mark="<!-- command: $2 -->" '
    found && /^    / { sub(/^    /, ""); print; printed = 1; next }
    found && printed { exit }
    found && !/^$/ { exit }
    $0 == mark { found = 1 }
    END { exit !printed }
' "$1" || { echo "$1 shows no command marked \"$2\"" >&2; exit 1; }
