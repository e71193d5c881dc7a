#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Prints the Debian archive as this machine's apt reads it, as lines of a
# sources.list, for a system made apart from this one (see pristine.sh):
#
#   packaging/debian/sources.sh [SUITE]
#
# Only the sources whose Release says Debian: another's, or one that
# cannot be read, would fail mmdebstrap. Given SUITE (bookworm, say), only
# that suite's. Fails, saying so, where apt knows no such source.
set -eu
arch=$(dpkg --print-architecture)
apt-cache policy | awk -v arch="$arch" -v suite="${1:-}" '
    $2 ~ /^[a-z]+:\/\// && $4 == arch { split($3, where, "/"); source = $2 " " where[1] " " where[2]; next }
    source != "" && /^ *release .*o=Debian,/ && (suite == "" || where[1] == suite) {
        print "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] " source }
    { source = "" }' | sort -u | grep . ||
    { echo "sources.sh: apt knows no source of Debian's${1:+ for $1} for $arch" >&2; exit 1; }
