# shellcheck shell=bash disable=SC2154 # sourced by release.sh, which sets the globals
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The sources: setwalk's, as git archive gives it, and that of the glibc the
# Linux programs carry, which the LGPL asks to go with them.

# pack_source: $dist/setwalk-VERSION.tar.gz and setwalk-VERSION-glibc-source.tar.xz.
pack_source() {
    git -C "$root" -c tar.umask=0022 archive --format=tar --prefix="setwalk-$version/" HEAD |
        gzip -9n > "$dist/setwalk-$version.tar.gz"
    # Debian's glibc-source ships the upstream tarball and Debian's changes;
    # it must be the very version that was linked.
    [ "$(dpkg-query -W -f='${Version}' glibc-source)" = "$glibc" ] ||
        die "glibc-source is not at $glibc, the version of libc6-dev (apt-get install glibc-source=$glibc)"
    mkdir "$work/pack/glibc-$glibc"
    cp -R /usr/src/glibc/. "$work/pack/glibc-$glibc/"
    tar_folder "glibc-$glibc" | xz -T1 -6 > "$dist/setwalk-$version-glibc-source.tar.xz"
}

# check_source: setwalk's source builds and passes its tests with the
# build-and-run and test commands of the README inside it, as written there.
check_source() {
    local tree log=$work/check/source.log build_and_run test cases
    tree=$(unpack "$dist/setwalk-$version.tar.gz")
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
