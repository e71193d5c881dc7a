#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Reads the table of targets for every script that follows it, and stops on
# a row whose columns disagree (an RPM architecture without an rpm
# download, a Windows download without its wine, say):
#
#   cmake/targets.sh [TABLE]
#
# Prints each row of TABLE (cmake/targets beside this script) in its order,
# its nine columns separated by tabs, - for each that it leaves out:
#
#   NAME DEBIAN RPM TOOLCHAIN DOWNLOADS WINE MSI UPGRADE-CODE PROGRAM
#
# DOWNLOADS is the formats, separated by commas. CMake reads the table
# with cmake/targets.cmake, which applies the same rules.
set -euo pipefail
awk '
function wrong(why) { printf "%s line %d: %s\n", FILENAME, FNR, why > "/dev/stderr"; failed = 1; exit 1 }
/^#/ || NF == 0 { next }
{
    if (NF < 5) wrong("a row has a name, a Debian architecture, an RPM one, a toolchain and downloads")
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
    printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", $1, $2, $3, $4, $5, \
        windows ? $6 : "-", windows ? $7 : "-", windows ? $8 : "-", windows ? program : "-"
}
END { if (!failed && !NR) wrong("no target") }' "${1:-$(dirname "$0")/targets}"
