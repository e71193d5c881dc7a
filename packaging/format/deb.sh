# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The Debian package, as Debian Policy asks: the C library shared (the
# program is built for it with SETWALK_SHARED_LIBC and Debian's own build
# flags), Depends worked out by dpkg-shlibdeps, what is still linked in
# statically named in Built-Using, the man page and changelog compressed,
# the licence in the copyright file.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# deb_flags ARCH VARIABLE: what dpkg-buildflags gives VARIABLE for ARCH,
# as Debian builds every package, hardening included; but without -g: the
# program is stripped, and debug information would bring the build folder
# into the build ID, which would then differ from clone to clone.
deb_flags() {
    DEB_HOST_ARCH=$1 DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g \
        dpkg-buildflags --get "$2"
}

# build_deb NAME: the package's own program for target NAME, built with
# deb_flags and staged into $work/stage/NAME.deb, with its notices.
build_deb() {
    local stage=$work/stage/$1.deb arch
    arch=$(target "$1" debian)
    CXXFLAGS="$(deb_flags "$arch" CPPFLAGS) $(deb_flags "$arch" CXXFLAGS)" LDFLAGS=$(deb_flags "$arch" LDFLAGS) \
        build "$1.deb" -DSETWALK_SHARED_LIBC=ON
    linked "$1.deb" "static C++ runtime, dynamic libc"
    stage "$1.deb"
    # glibc's start files, which every dynamic program carries (under its
    # licence's linking exception), come with the libc6 the package depends
    # on; what else the link took is in the package itself.
    sed -i '/\tglibc\t/d' "$stage.records"
    notices "$stage" /usr/bin/setwalk
}

# pack_deb NAME: target NAME's package, in $dist.
pack_deb() {
    local deb
    deb=$(download_name deb "$1")
    step "package $deb"
    make_deb "$1" "$version" "$dist/$deb"
    ships "$deb" usr/bin/setwalk "$work/stage/$1.deb/bin/setwalk" "$work/stage/$1.deb.records"
}

# deb_place PATH: a file of the package (see files_of) where and as Debian
# Policy wants it: under usr/, the man page and the notices compressed, the
# licence in the copyright file, NEWS.md as the changelog.
deb_place() {
    case $1 in
    share/man/* | */THIRD-PARTY-NOTICES) printf 'usr/%s.gz\tgzip' "$1" ;;
    */LICENSE) printf 'usr/%s/copyright\tcopyright' "${1%/*}" ;;
    */NEWS.md) printf 'usr/%s/changelog.gz\tchangelog' "${1%/*}" ;;
    *) printf 'usr/%s\tcopy' "$1" ;;
    esac
}

# make_deb NAME VERSION DEB: target NAME's package as version VERSION,
# written to DEB.
make_deb() {
    local stage=$work/stage/$1.deb arch as_version=$2 from path how
    local scratch=$work/deb/$1-$2 deb=${3##*/}
    local tree=$scratch/debian/setwalk
    arch=$(target "$1" debian)
    mkdir -p "$tree/DEBIAN"
    while IFS=$'\t' read -r from path how; do
        case $how in
        copyright) mkdir -p "${tree}/${path%/*}" && debian_copyright "$from" > "$tree/$path" ;;
        changelog) mkdir -p "${tree}/${path%/*}" && debian_changelog "$from" | gzip -9n > "$tree/$path" ;;
        *) put "$from" "$tree/$path" "$how" ;;
        esac
    done < <(files_of "$stage" deb_place)

    # dpkg-shlibdeps reads debian/control (empty will do) and, for a cross
    # build, the sysroot's libc6. Its warnings are faults: an unused
    # library, say, would be a dependency the package does not need.
    local depends built_using sysroot
    sysroot=$(cat "$stage.sysroot")
    : > "$scratch/debian/control"
    (cd "$scratch" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O ${sysroot:+"-S$sysroot"} \
        debian/setwalk/usr/bin/setwalk > shlibdeps.out 2> shlibdeps.err) ||
        { cat "$scratch/shlibdeps.err"; die "dpkg-shlibdeps failed for $deb"; }
    [ ! -s "$scratch/shlibdeps.err" ] || { cat "$scratch/shlibdeps.err"; die "dpkg-shlibdeps warns about $deb"; }
    depends=$(sed -n 's/^shlibs:Depends=//p' "$scratch/shlibdeps.out")
    [ -n "$depends" ] || die "dpkg-shlibdeps found no dependency for $deb"
    built_using=$(cut -f3,4 "$stage.records" | sort -u | sed 's/\t\(.*\)/ (= \1)/' | paste -sd, | sed 's/,/, /g')
    (cd "$tree" && find usr -type f | sort | xargs md5sum) > "$tree/DEBIAN/md5sums"
    sed -e "s/@VERSION@/$as_version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
        -e "s/@DEPENDS@/$depends/" -e "s/@BUILT_USING@/$built_using/" \
        -e "s/@SIZE@/$(installed_size "$tree")/" \
        "$packaging/debian/control.in" > "$tree/DEBIAN/control"
    settle "$tree"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$3" > /dev/null
}

# installed_size TREE: the package's Installed-Size in KiB, counted as
# dpkg-gencontrol counts it: each file's size rounded up to whole KiB, and
# one for each directory, the top one included. Unlike du's, the figure
# does not depend on the filesystem the tree is on.
installed_size() {
    find "$1" -path "$1/DEBIAN" -prune -o -printf '%y %s\n' |
        awk '$1 == "f" || $1 == "l" { n += int(($2 + 1023) / 1024); next } { n++ } END { print n }'
}

# check_deb NAME: lintian finds no error and no warning, the package
# holds exactly the files of the download, its name, version, architecture
# and licence are setwalk's and the target's, and its program, built for
# the target's processor and glibc shared, runs here (under the target's
# emulator) and writes the report.
check_deb() {
    local deb tree arch
    arch=$(target "$1" debian) deb=$dist/$(download_name deb "$1")
    tree=$(unpack "$deb")
    holds_exactly "${deb##*/}" "$tree" < <(files_of "$work/stage/$1.deb" deb_place)
    [ -e "$work/check/lintian-tried" ] || lintian_finds_a_planted_fault "$deb"
    lintian_clean "$deb" || die "lintian finds fault with ${deb##*/}, or cannot check it"
    field "${deb##*/}" Package "$(dpkg-deb -f "$deb" Package)" "$project"
    field "${deb##*/}" Version "$(dpkg-deb -f "$deb" Version)" "$version"
    field "${deb##*/}" Architecture "$(dpkg-deb -f "$deb" Architecture)" "$arch"
    field "${deb##*/}" License "$(sed -n 's/^License: //p' "$tree/usr/share/doc/setwalk/copyright" | sort -u)" "$licence"
    [[ $(dpkg-deb -f "$deb" Depends) == libc6\ * ]] || die "${deb##*/} does not depend on libc6"
    [ -n "$(dpkg-deb -f "$deb" Built-Using)" ] || die "${deb##*/} has no Built-Using"
    expect_processor "$tree/usr/bin/setwalk" "$arch"
    expect_binary "$tree/usr/bin/setwalk" 'dynamically linked'
    expect_report "$report" on_target "$1" "$tree/usr/bin/setwalk"
    echo "ok: ${deb##*/}, lintian clean, $(dpkg-deb -f "$deb" Depends), built using $(dpkg-deb -f "$deb" Built-Using)"
}

# lintian_clean DEB: lintian ran and found no error and no warning; else
# what it said, and the status is 1.
lintian_clean() {
    lintian --fail-on error,warning --tag-display-limit 0 "$1" > "$work/check/lintian" 2>&1 && return
    echo "lintian exited with status $?:"
    cat "$work/check/lintian"
    return 1
}

# with_executable_readme DEB COPY: COPY is DEB with its README made
# executable, which lintian warns of.
with_executable_readme() {
    local tree=$work/check/planted
    rm -rf "$tree"
    dpkg-deb -R "$1" "$tree"
    chmod 755 "$tree/usr/share/doc/setwalk/README.md"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$2" > /dev/null
}

# lintian_finds_a_planted_fault DEB: lintian, which says nothing of a clean
# package, does look: it fails a copy of DEB whose README is executable.
lintian_finds_a_planted_fault() {
    local copy=$work/check/planted.deb
    with_executable_readme "$1" "$copy"
    if lintian_clean "$copy" > /dev/null ||
        ! grep -q '^W: setwalk: executable-not-elf-or-script' "$work/check/lintian"; then
        die "lintian does not see an executable README.md in a package"
    fi
    touch "$work/check/lintian-tried"
}

# debian_copyright LICENSE: the copyright file, in Debian's machine-readable
# form, with setwalk's licence text.
debian_copyright() {
    sed -e "s/@MAINTAINER@/$maintainer/" -e "s/@LICENCE@/$licence/" "$packaging/debian/copyright.in"
    printf '\nLicense: %s\n' "$licence"
    sed -n '/^Permission/,$p' "$1" | sed 's/^$/./; s/^/ /'
}

# debian_changelog NEWS: NEWS.md in the form of a Debian changelog. NEWS.md
# dates its entries by the day; the latest entry takes the time of the
# commit released (SOURCE_DATE_EPOCH), the earlier ones midnight of their
# day, so that a version released on the same day as the one before it
# still follows it in time, as dpkg and lintian want.
debian_changelog() {
    local kind text entry='' when="@$SOURCE_DATE_EPOCH"
    while IFS=$'\t' read -r kind text; do
        case $kind in
        entry)
            [ -z "$entry" ] || { printf '\n -- %s  %s\n\n' "$maintainer" "$(date -R -d "$when")"; when=${text#* }; }
            entry=${text%% *}
            printf 'setwalk (%s) unstable; urgency=medium\n\n' "$entry" ;;
        item) printf '  * %s\n' "$text" ;;
        more) printf '    %s\n' "$text" ;;
        esac
    done < <(news "$1")
    printf '\n -- %s  %s\n' "$maintainer" "$(date -R -d "$when")"
}

# try_deb NAME: the package of this machine's architecture is tried each
# way the README gives, in a pristine Debian: apt install ./DEB, and in a
# signed release, its repository, which apt must refuse where it is signed
# with another key, republished with the later version
# (packaging/debian/pristine-install.sh). Each way installs it, runs it,
# upgrades it to a later version made for the trial alone, runs that, and
# purges it.
try_deb() {
    local deb later scratch=$work/try-deb
    native_trial deb "$1" "apt install ./$(download_name deb "$1")${sign_key:+, its repository}" purge || return 0
    deb=$dist/$(download_name deb "$1") later=$scratch/$(download_name deb "$1" "$(later_version "$version")")
    make_deb "$1" "$(later_version "$version")" "$later"
    "$packaging/debian/pristine-install.sh" "$report" "$deb" "$later"
    [ -n "$sign_key" ] || return 0
    make_apt_repository "$scratch/later" "$deb" "$later"
    # The release's repository, its Release signed again with a key of no one's.
    cp -R "$dist/apt" "$scratch/forged"
    rm "$scratch/forged/dists/stable/InRelease" "$scratch/forged/dists/stable/Release.gpg"
    other_key "$scratch/other"
    GNUPGHOME=$scratch/other/gnupg gpg --batch --clearsign -o "$scratch/forged/dists/stable/InRelease" "$scratch/forged/dists/stable/Release"
    GNUPGHOME=$scratch/other/gnupg gpgconf --kill gpg-agent
    "$packaging/debian/pristine-install.sh" "$report" "$dist/apt" "$scratch/later" "$scratch/forged" "$dist/$keyring.gpg"
}
