# shellcheck shell=bash disable=SC2034 # the state that the modules below read
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's state: every global that its modules share, each with what
# it holds, then the modules themselves. release.sh and the suite's
# packaging cases source this file; a module sourced alone sources it.
release_state=1

# The source tree released, and its packaging folder.
root=$(cd "${BASH_SOURCE[0]%/*}/.." && pwd)
packaging=$root/packaging
# The variables the release runs with, the same on every machine, which
# the buildinfo records (release.sh adds those it keeps of its caller's).
release_env=(LC_ALL=C TZ=UTC PATH=/usr/sbin:/usr/bin:/sbin:/bin GIT_CONFIG_NOSYSTEM=1)

# The facts of the tree, which read_facts reads: the project's name and
# version (CMakeLists.txt), setwalk's licence (its source's SPDX line), the
# packages' maintainer, the report its programs must write with LF and
# with CR LF line ends, the version of the glibc the Linux programs link,
# the names of the targets of cmake/targets in its order, and each column
# of each: columns["NAME COLUMN"], COLUMN one of $columns_named but name
# (the downloads separated by spaces).
project='' version='' licence='' maintainer='' report='' report_crlf='' glibc=''
targets=()
declare -gA columns=()
columns_named=(name debian rpm toolchain downloads wine msi upgrade program)

# The scratch folder, and dist in it: the downloads as they are made.
work='' dist=''
# The checks the caller allows to be skipped (--skip), and those skipped.
skippable=() skipped=()
# The OpenPGP key that signs (--sign), none if empty, and the time its
# signatures take (set_up_signing).
sign_key='' sign_time=''
# The Authenticode certificate, a .p12 file, that signs the Windows
# programs and installers (--authenticode), none if empty.
certificate=''
# The release's public key, in dist as NAME.asc (armoured, for people and
# rpm) and NAME.gpg (binary, for apt's Signed-By).
keyring=setwalk-archive-keyring

# The modules: what the formats share, how a target is built, each
# format, the SBOM, the buildinfo, the signatures and the repositories.
for module in common build format/tarball format/deb format/rpm format/zip format/msi format/source \
    sbom/sbom buildinfo sign repositories; do
    # shellcheck source=/dev/null # each is checked by itself
    . "$packaging/$module.sh"
done
unset module
