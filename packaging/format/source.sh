# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The sources: setwalk's, as git archive gives it, and that of the glibc the
# Linux programs carry, which the LGPL asks to go with them.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/../state.sh"

# pack_source: $dist/setwalk-VERSION.tar.gz and setwalk-VERSION-glibc-source.tar.xz.
pack_source() {
    pack_setwalk_source
    pack_glibc_source
}

# pack_setwalk_source: $dist/setwalk-VERSION.tar.gz, the commit's files.
pack_setwalk_source() {
    git -C "$root" -c tar.umask=0022 archive --format=tar --prefix="setwalk-$version/" HEAD |
        gzip -9n > "$dist/setwalk-$version.tar.gz"
}

# pack_glibc_source: $dist/setwalk-VERSION-glibc-source.tar.xz.
pack_glibc_source() {
    # Debian's glibc-source ships the upstream tarball and Debian's changes;
    # it must be the very version that was linked.
    [ "$(dpkg-query -W -f='${Version}' glibc-source)" = "$glibc" ] ||
        die "glibc-source is not at $glibc, the version of libc6-dev (apt-get install glibc-source=$glibc)"
    mkdir "$work/pack/glibc-$glibc"
    cp -R /usr/src/glibc/. "$work/pack/glibc-$glibc/"
    tar_folder "glibc-$glibc" | xz -T1 -6 > "$dist/setwalk-$version-glibc-source.tar.xz"
}

# check_source: setwalk's source holds exactly the files of the commit,
# and builds and passes its tests with the build-and-run and test commands
# of the README inside it, as written there; the glibc source is the
# linked glibc's (see check_glibc_source).
check_source() {
    local tree log=$work/check/source.log build_and_run test cases
    tree=$(unpack "$dist/setwalk-$version.tar.gz")
    holds_the_commit "$tree"
    check_glibc_source
    build_and_run=$("$tree/doc/command.sh" "$tree/README.md" build-and-run) || die "the source's README has no build command"
    test=$("$tree/doc/command.sh" "$tree/README.md" test) || die "the source's README has no test command"
    (
        cd "$tree"
        bash -c "$build_and_run" > "$work/check/out" || exit 1
        cmp "$report" "$work/check/out" || exit 1
        bash -c "$test"
    ) > "$log" 2>&1 || { cat "$log"; die "setwalk-$version.tar.gz does not build and pass with its README's commands"; }
    # All of the build's cases: a test command that ran none is no test.
    cases=$(ctest --test-dir "$tree/build" -N | sed -n 's/^Total Tests: //p')
    grep -x "100% tests passed, 0 tests failed out of ${cases:-0}" "$log" ||
        { cat "$log"; die "setwalk-$version.tar.gz: its README's test command did not pass all ${cases:-0} cases"; }
    echo "ok: setwalk-$version.tar.gz"
}

# holds_the_commit TREE: TREE, unpacked from the source download, holds
# exactly the files of the commit, as committed.
holds_the_commit() {
    local commit path
    commit=$(mktemp -d "$work/check/commit.XXXX")
    git -C "$root" archive --format=tar HEAD | tar -x -C "$commit"
    git -C "$root" ls-tree -r -z --name-only HEAD | while IFS= read -r -d '' path; do
        printf '%s\t%s\tcopy\n' "$commit/$path" "$path"
    done | holds_exactly "setwalk-$version.tar.gz" "$1"
}

# check_glibc_source: the glibc source unpacks to one folder glibc-VERSION,
# whose Debian changelog is of the very glibc that the Linux programs'
# link records name, beside that version's upstream tarball.
check_glibc_source() {
    local download=setwalk-$version-glibc-source.tar.xz tree=$work/check/glibc-source linked upstream
    mkdir "$tree"
    tar -xJf "$dist/$download" -C "$tree"
    [ "$(ls -A "$tree")" = "glibc-$glibc" ] || die "$download does not hold one folder glibc-$glibc"
    linked=$(awk -F '\t' '$3 == "glibc" { print $4 }' "$work"/stage/*.records | sort -u | paste -sd' ')
    field "$download" "Debian version" "$(sed -n '1s/^glibc (\([^)]*\)).*/\1/p' "$tree/glibc-$glibc/debian/changelog")" \
        "$linked"
    upstream=glibc-${linked%%-*}
    [[ $(tar -tJf "$tree/glibc-$glibc/$upstream.tar.xz" 2> /dev/null | head -n 1) == "$upstream/"* ]] ||
        die "$download has no upstream tarball $upstream.tar.xz"
    echo "ok: $download, the source of glibc $linked, which the programs carry"
}
