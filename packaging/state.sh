# shellcheck shell=bash disable=SC2034 # the state that the modules below read
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's state: every global that its modules share, a line each
# saying what it holds, then the modules. release.sh and the suite's
# packaging cases source this file; a module sourced alone sources it.
release_state=1

root=$(cd "${BASH_SOURCE[0]%/*}/.." && pwd) # the source tree released
packaging=$root/packaging                     # its packaging folder
# The variables the release runs with, the same on every machine, which the
# buildinfo records (release.sh adds those it keeps of its caller's).
release_env=(LC_ALL=C TZ=UTC PATH=/usr/sbin:/usr/bin:/sbin:/bin GIT_CONFIG_NOSYSTEM=1)

# The facts of the tree, which read_facts reads.
project=''     # the project's name, from project() in CMakeLists.txt
version=''     # its version, from the same
licence=''     # setwalk's licence, from its source's SPDX line
maintainer=''  # the packages' maintainer
report=''      # the report its programs must write, with LF line ends
report_crlf='' # the same with CR LF line ends, as on Windows
glibc=''       # the version of the glibc that the Linux programs link
targets=()     # the names of the targets of cmake/targets, in its order
declare -gA columns=() # columns[NAME COLUMN]: target NAME's COLUMN of cmake/targets (downloads separated by spaces)

work=''         # the scratch folder
step_now=''     # the step the release is at (see step), and when it started
step_started=0
dist=''         # the downloads as they are made, in the scratch folder
skippable=()    # the checks the caller allows to be skipped (--skip)
skipped=()      # the checks skipped, by that leave
sign_key=''     # the OpenPGP key that signs (--sign), none if empty
sign_time=''    # the time its signatures take (set_up_signing)
certificate=''  # the Authenticode certificate (--authenticode FILE.p12), none if empty
jobs=0          # how many targets' jobs run side by side (-j JOBS)
alone=''        # the one target whose job runs alone (--target NAME), if any
keyring=setwalk-archive-keyring # the public key, in dist as NAME.asc (armoured) and NAME.gpg (for apt)
repository_url=https://setwalk.example.org # where the maintainer serves apt/, rpm/ and the key
rpm_keyring=/etc/pki/rpm-gpg/RPM-GPG-KEY-setwalk # where a user of dnf installs the key, as the README says

# What the buildinfo names the packages of: the tools that write the
# downloads' bytes beside the compilers, the Python modules among them, and
# those that write a signed release's signatures and repositories.
buildinfo_tools=(cmake git tar gzip xz zip dpkg-deb dpkg-shlibdeps rpmbuild wixl msibuild python3)
buildinfo_modules=(olefile)
buildinfo_signing=(gpg rpmsign apt-ftparchive createrepo_c)
buildinfo_authenticode=(osslsigncode)

# The modules: what the formats share, the targets' jobs, how a target is
# built, each format, the SBOM, the buildinfo, the signatures and the
# repositories.
for module in common jobs build format/tarball format/deb format/rpm format/zip format/msi format/source \
    sbom/sbom buildinfo sign repositories; do
    # shellcheck source=/dev/null # each is checked by itself
    . "$packaging/$module.sh"
done
unset module
