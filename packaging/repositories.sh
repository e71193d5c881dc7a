# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# A signed release's package repositories, folders that a maintainer
# uploads anywhere: apt/, an apt repository of the Debian packages made by
# apt-ftparchive, and rpm/, a dnf repository of the RPMs made by
# createrepo_c, each with its index signed by the release's key (see
# sign.sh) and a ready source file for users, setwalk.sources and
# setwalk.repo, which name the repository at $repository_url and the
# public key where the README has the user install it, after checking its
# fingerprint: never a key fetched from beside the downloads.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

# make_apt_repository REPO DEB...: the apt repository REPO of the packages
# DEB..., suite stable, component main, its Release signed inline
# (InRelease) and detached (Release.gpg), everything dated by
# SOURCE_DATE_EPOCH.
make_apt_repository() {
    local repo=$1 deb arch architectures index=''
    shift
    mkdir -p "$repo/pool/main"
    cp "$@" "$repo/pool/main/"
    architectures=$(for deb; do dpkg-deb -f "$deb" Architecture; done | sort -u | paste -sd' ')
    for arch in $architectures; do
        index=$repo/dists/stable/main/binary-$arch
        mkdir -p "$index"
        (cd "$repo" && apt-ftparchive --arch "$arch" packages pool/main) > "$index/Packages"
        gzip -9n < "$index/Packages" > "$index/Packages.gz"
    done
    (cd "$repo/dists/stable" && apt-ftparchive release \
        -o APT::FTPArchive::Release::Origin="$project" -o APT::FTPArchive::Release::Label="$project" \
        -o APT::FTPArchive::Release::Suite=stable -o APT::FTPArchive::Release::Codename=stable \
        -o APT::FTPArchive::Release::Components=main \
        -o APT::FTPArchive::Release::Architectures="$architectures" \
        -o APT::FTPArchive::Release::Date="$(date -u -R -d "@$SOURCE_DATE_EPOCH")" .) > "$work/check/Release"
    mv "$work/check/Release" "$repo/dists/stable/Release"
    gpg_sign --clearsign -o "$repo/dists/stable/InRelease" "$repo/dists/stable/Release"
    gpg_sign --armor --detach-sign -o "$repo/dists/stable/Release.gpg" "$repo/dists/stable/Release"
    printf 'Types: deb\nURIs: %s\nSuites: stable\nComponents: main\nSigned-By: /usr/share/keyrings/%s.gpg\n' \
        "$repository_url/apt" "$keyring" > "$repo/$project.sources"
    settle "$repo"
}

# make_rpm_repository REPO RPM...: the dnf repository REPO of the signed
# packages RPM..., its repomd.xml signed (repomd.xml.asc), every time in it
# SOURCE_DATE_EPOCH.
make_rpm_repository() {
    local repo=$1
    shift
    mkdir -p "$repo"
    cp "$@" "$repo/"
    settle "$repo"
    createrepo_c --quiet --no-database --revision "$SOURCE_DATE_EPOCH" --set-timestamp-to-revision "$repo" > /dev/null
    gpg_sign --armor --detach-sign -o "$repo/repodata/repomd.xml.asc" "$repo/repodata/repomd.xml"
    printf '[%s]\nname=%s\nbaseurl=%s\nenabled=1\ngpgcheck=1\nrepo_gpgcheck=1\ngpgkey=%s\n' \
        "$project" "$project" "$repository_url/rpm" "file://$rpm_keyring" > "$repo/$project.repo"
    settle "$repo"
}

# pack_repositories: $dist/apt and $dist/rpm, of the release's packages.
pack_repositories() {
    make_apt_repository "$dist/apt" "$dist"/*.deb
    make_rpm_repository "$dist/rpm" "$dist"/*.rpm
}

# check_repositories: each index verifies with the public key alone, and
# each repository holds exactly the release's packages.
check_repositories() {
    local release=$dist/apt/dists/stable/Release listed file
    verify_openpgp "$dist/apt/dists/stable/InRelease"
    verify_openpgp "$release.gpg" "$release"
    # The Release's checksums are its indexes', and the indexes list the packages.
    sed -n '/^SHA256:/,/^[^ ]/ s/^ \([0-9a-f]\{64\}\) *[0-9]* \(.*\)/\1  \2/p' "$release" |
        (cd "${release%/*}" && sha256sum -c --quiet) || die "apt/'s Release does not match its indexes"
    listed=$(sed -n 's|^Filename: pool/main/||p' "$dist"/apt/dists/stable/main/binary-*/Packages | sort | paste -sd' ')
    [ "$listed" = "$(cd "$dist" && printf '%s\n' *.deb | paste -sd' ')" ] ||
        die "apt/ lists $listed, not the release's packages"
    for file in "$dist"/*.deb; do same_file "$file" "$dist/apt/pool/main/${file##*/}"; done
    verify_openpgp "$dist/rpm/repodata/repomd.xml.asc" "$dist/rpm/repodata/repomd.xml"
    for file in "$dist"/*.rpm; do same_file "$file" "$dist/rpm/${file##*/}"; done
    echo "ok: apt/ and rpm/, their indexes signed with the release's key, hold the release's packages"
}
