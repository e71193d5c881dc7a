#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Reads the table of targets for every script that follows it, and stops,
# naming the row, on one that cannot be released: its columns disagree (an
# RPM architecture without an rpm download, a Windows download without its
# wine, a 64-bit wine for a 32-bit installer, say), a download of it would
# have another row's name, its installer another's UpgradeCode, or its
# Debian architecture has no row in cmake/processors:
#
#   cmake/targets.sh [TABLE]
#
# Prints each row of TABLE (cmake/targets beside this script, with
# processors beside it) in its order, its nine columns separated by tabs, -
# for each that it leaves out:
#
#   NAME DEBIAN RPM TOOLCHAIN DOWNLOADS WINE MSI UPGRADE-CODE PROGRAM
#
# DOWNLOADS is the formats, separated by commas. cmake/targets.cmake takes
# its rows from here.
set -euo pipefail
table=${1:-$(dirname "$0")/targets}
awk '
function wrong(why) { printf "%s line %d: %s\n", FILENAME, FNR, why > "/dev/stderr"; failed = 1; exit 1 }
# taken WHAT KEY: the row that took KEY for WHAT before, if any; else this
# row takes it.
function taken(what, key) { if ((what, key) in owner) return owner[what, key]; owner[what, key] = $1; return "" }
FNR == NR { if (!/^#/ && NF) processor[$1] = 1; next }
/^#/ || NF == 0 { next }
{
    if (NF < 5) wrong("a row has a name, a Debian architecture, an RPM one, a toolchain and downloads")
    seen_any = 1
    if ($1 !~ /^[a-z][a-z0-9_-]*$/ || seen[$1]++) wrong("\"" $1 "\" is not a new target name")
    program = $9
    for (i = 10; i <= NF; i++) program = program " " $i
    n = split($5, format, ",")
    linux = windows = rpm = 0
    for (i = 1; i <= n; i++) {
        if (format[i] ~ /^(tarball|deb|rpm)$/) linux++
        else if (format[i] ~ /^(zip|msi)$/) windows++
        else wrong($1 " has a download format no script makes, " format[i])
        if (format[i] == "rpm") rpm = 1
    }
    if (linux && windows) wrong($1 " has both Linux and Windows downloads")
    if (linux && $2 == "-") wrong($1 " has Linux downloads but no Debian architecture")
    if (rpm != ($3 != "-")) wrong($1 " names an RPM architecture exactly when it has an rpm download")
    if (windows && ($2 != "-" || $6 !~ /^win(32|64)$/ || $7 == "" || $8 == "" || program == ""))
        wrong($1 " has Windows downloads: no Debian architecture, and its wine, msi, upgrade code and program")
    if (linux && NF > 5) wrong($1 " is a Linux target, which has no Windows columns")
    if (linux && !($2 in processor)) wrong($1 " is for " $2 ", which cmake/processors has no row for")
    # What a Windows processor is, said three ways, which must agree.
    if (windows && !($6 == "win32" && $7 == "Intel" && program ~ /^PE32 / || $6 == "win64" && $7 == "x64" && program ~ /^PE32\+ /))
        wrong($1 " has a wine, an installer platform and a program of different processors: " $6 ", " $7 ", " program)
    if (windows && (other = taken("upgrade code", $8)) != "") wrong($1 " has the UpgradeCode of " other)
    # Two downloads of one name: one would overwrite the other.
    for (i = 1; i <= n; i++)
        if (format[i] == "deb" && (other = taken("deb", $2)) != "" || format[i] == "rpm" && (other = taken("rpm", $3)) != "")
            wrong($1 " would have " (format[i] == "rpm" ? "an " : "a ") format[i] " of the name of " other "'"'"'s")
    printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", $1, $2, $3, $4, $5, \
        windows ? $6 : "-", windows ? $7 : "-", windows ? $8 : "-", windows ? program : "-"
}
END { if (!failed && !seen_any) wrong("no target") }' "$(dirname "$table")/processors" "$table"
