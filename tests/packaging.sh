#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's own tools, on the program this build made:
#
#   packaging.sh CASE SOURCE-DIR PROGRAM MAP [SYSROOT]
#
# packaging.credits: the link records name a Debian package and version for
# what the link took, the notices hold each package's copyright file and
# the LGPL's text where glibc is linked in, and a source package that
# packaging/credits does not know stops them. packaging.sbom: the SBOM holds
# the program's sha256 and every package of its link records, and is the
# same when made twice. packaging.skip: a check that cannot run stops the
# release, unless the caller allowed that very check to be skipped, and
# then it is listed. Exits 77 (skipped) where there is no dpkg database or
# no link map.
set -u
name=$1 source=$2 program=$3 map=$4 sysroot=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if [ "$name" = packaging.skip ]; then
    # unable_with LEAVE...: what the release does when 32-bit wine cannot
    # run a check, given leave to skip LEAVE.
    # shellcheck disable=SC2016 # expanded by the inner shell
    unable_with() {
        bash -c '. "$1/packaging/common.sh"; skippable=("${@:2}") skipped=()
            unable wine32 "running setwalk.exe" "wine cannot start"; printf "%s\n" "${skipped[@]}"' \
            unable "$source" "$@" 2>&1
    }
    said=$(unable_with) && fail "the release went on without leave: $said"
    [[ $said == *"--skip wine32"* ]] || fail "the release did not name the check to allow: $said"
    said=$(unable_with wine64 root) && fail "leave for other checks let this one pass: $said"
    said=$(unable_with wine32) || fail "the release stopped although the check was allowed: $said"
    [ "$said" = "running setwalk.exe (wine32): wine cannot start" ] || fail "not listed as skipped: $said"
    # OUT is not empty, so that a release.sh that took this leave stops
    # there all the same.
    mkdir "$work/out" && touch "$work/out/file"
    said=$("$source/packaging/release.sh" --skip everything "$work/out" 2>&1)
    status=$?
    if [ "$status" -ne 2 ] || [[ $said != usage:* ]]; then
        fail "release.sh took leave to skip a check it does not have: $said"
    fi
    exit "$failed"
fi
command -v dpkg-query > /dev/null || { echo "skipped: no dpkg database here"; exit 77; }
[ -f "$map" ] || { echo "skipped: this toolchain writes no link map"; exit 77; }

if [[ $name == *-fault || $name == *-no-* ]]; then
    # The build's target in cmake/targets, and the command that runs its
    # programs here.
    target_name=$6 launcher=("${@:7}")
    # skip_without TOOL...: the case is skipped, saying which, where one is
    # missing.
    skip_without() {
        local tool
        for tool; do command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }; done
    }
    # release_around STAGE PROGRAM-PATH: the release's state and functions
    # here (packaging/state.sh), with this build's program installed into
    # $work/stage/STAGE as the release installs it, with its link records
    # and notices (which call it PROGRAM-PATH).
    # shellcheck disable=SC2034 # the release's state, which its modules read
    release_around() {
        local scratch=$work
        # shellcheck source=packaging/state.sh
        . "$source/packaging/state.sh"
        work=$scratch dist=$scratch/dist
        # What a check runs under wine is tried by the release itself; where
        # wine cannot start, the cases check the rest.
        skippable=(wine32 wine64)
        # Debian's own tools before any other of the same name (a Python of
        # pyenv's, say), as in the release's own environment: the buildinfo
        # names the packages of what the release ran.
        PATH=/usr/bin:/usr/sbin:$PATH
        # The commit's time, as the release takes it (lintian rejects
        # files dated long ago); a source tree without git takes now.
        SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2> /dev/null || date +%s)
        export SOURCE_DATE_EPOCH
        mkdir -p "$work/stage" "$work/pack" "$dist" "$work/check" "$work/build"
        local stage=$work/stage/$1
        read_facts
        "$SETWALK_CMAKE" --install "${map%/*}" --strip --prefix "$stage" > /dev/null
        echo "$sysroot" > "$stage.sysroot"
        # check_deb runs the package's program as the target's other
        # programs are run, by the runner beside the static build's stage.
        printf '%s\n' "${launcher[@]}" | sed '/^$/d' | tee "$stage.runner" > "$work/stage/${1%.deb}.runner"
        "$packaging/link-records.sh" "$map" ${sysroot:+"$sysroot"} > "$stage.records"
        # As the release does for a Debian package: glibc comes with libc6.
        [[ $1 != *.deb ]] || sed -i '/\tglibc\t/d' "$stage.records"
        "$packaging/notices.sh" "$stage.records" "$2" "$version" "$stage/share/doc/setwalk"
    }
    # with_row COLUMN VALUE: this build's row of the table, as the release
    # read it, says VALUE in its column COLUMN.
    # shellcheck disable=SC2034 # the release's state, which its modules read
    with_row() { columns[$target_name $1]=$2; }
    # retar TOP: the tarball made again of its folder TOP, as it is now.
    retar() { tar_folder "$1" | gzip -9n > "$dist/$1.tar.gz"; }
    # another_processor PROGRAM ARCH: PROGRAM's ELF header made to say what
    # that of a neighbouring architecture's program says, and which that is;
    # status 1 where none is planted.
    another_processor() {
        case $2 in
        amd64)
            printf '\1' | dd of="$1" bs=1 seek=4 conv=notrunc status=none # ELFCLASS32
            printf '\3\0' | dd of="$1" bs=1 seek=18 conv=notrunc status=none # EM_386
            echo "an i386" ;;
        armhf)
            printf '\0\2\0\5' | dd of="$1" bs=1 seek=36 conv=notrunc status=none # EABI5, soft float
            echo "an armel" ;;
        *) return 1 ;;
        esac
    }
    # as_released COMMAND...: COMMAND, a check, run as the release runs it,
    # where any command that fails stops it; its output in $work/said.
    as_released() { (set -eEuo pipefail; "$@") > "$work/said" 2>&1; }
    # passes WHAT COMMAND...: COMMAND, a check, passes the download as made.
    passes() {
        local what=$1 status
        shift
        as_released "$@"
        status=$?
        [ "$status" -eq 0 ] || { fail "$* fails $what as made:"; cat "$work/said"; }
    }
    # stops FAULT LINE COMMAND...: COMMAND, a check, stops on the download
    # with FAULT planted in it, saying LINE.
    stops() {
        local fault=$1 line=$2 status
        shift 2
        as_released "$@"
        status=$?
        if [ "$status" -eq 0 ]; then
            fail "$* passes $fault"
        elif ! grep -qF -- "$line" "$work/said"; then
            fail "$* stops on $fault, but does not say \"$line\":"; cat "$work/said"
        else
            echo "ok: $1 stops on $fault: $(grep -F -- "$line" "$work/said" | head -n 1)"
        fi
    }
    name=${name#packaging.}
    # shellcheck disable=SC2034 # the release's globals, which the cases set
    case $name in
    tarball-fault)
        release_around "$target_name" bin/setwalk
        top=setwalk-$version-$target_name
        pack_tarball "$target_name"
        passes "a tarball" check_tarball "$target_name"
        echo "built on $(uname -n)" > "$work/pack/$top/share/doc/setwalk/BUILT-ON"
        retar "$top"
        stops "a tarball with a file more" "$top.tar.gz holds share/doc/setwalk/BUILT-ON," \
            check_tarball "$target_name"
        rm "$work/pack/$top/share/doc/setwalk/BUILT-ON" "$work/pack/$top/share/doc/setwalk/LGPL-2.1"
        retar "$top"
        stops "a tarball without LGPL-2.1" "$top.tar.gz lacks share/doc/setwalk/LGPL-2.1" \
            check_tarball "$target_name"
        # A build for the wrong processor, staged and packed as the release would.
        if other=$(another_processor "$work/stage/$target_name/bin/setwalk" "$(target "$target_name" debian)"); then
            rm -r "$work/pack/$top"
            pack_tarball "$target_name"
            stops "a tarball with $other program" "bin/setwalk is not a program for $(target "$target_name" debian):" \
                check_tarball "$target_name"
        fi ;;
    rpm-fault)
        skip_without rpmbuild rpmlint rpm2cpio cpio
        release_around "$target_name" bin/setwalk
        pack_rpm "$target_name"
        passes "an RPM" check_rpm "$target_name"
        # A summary that ends in a dot, which rpmlint warns of.
        cp -R "$packaging" "$work/packaging"
        packaging=$work/packaging
        sed -i 's/^\(Summary: .*\)$/\1./' "$packaging/rpm/setwalk.spec.in"
        rm -r "$work/rpm"
        pack_rpm "$target_name"
        packaging=$source/packaging
        stops "an RPM whose summary ends in a dot" "summary-ended-with-dot" check_rpm "$target_name"
        # An RPM made from a list of contents without the man page.
        cp "$source/packaging/rpm/setwalk.spec.in" "$work/packaging/rpm/"
        sed -i '/^share\/man\//d' "$work/packaging/contents"
        rm -r "$work/rpm"
        packaging=$work/packaging
        pack_rpm "$target_name"
        packaging=$source/packaging
        stops "an RPM without its man page" "lacks usr/share/man/man1/setwalk.1.gz" check_rpm "$target_name" ;;
    deb-fault | deb-no-lintian)
        skip_without lintian dpkg-deb dpkg-shlibdeps
        release_around "$target_name.deb" /usr/bin/setwalk
        pack_deb "$target_name"
        deb=$dist/setwalk_${version}_$(target "$target_name" debian).deb
        passes "a Debian package" check_deb "$target_name"
        if [ "$name" = deb-fault ]; then
            with_executable_readme "$deb" "$work/planted.deb"
            mv "$work/planted.deb" "$deb"
            stops "a package with a lintian warning" "W: setwalk: executable-not-elf-or-script" \
                check_deb "$target_name"
            dpkg-deb -R "$deb" "$work/more"
            echo "built on $(uname -n)" > "$work/more/usr/share/doc/setwalk/BUILT-ON"
            dpkg-deb --root-owner-group -Zxz --build "$work/more" "$deb" > /dev/null
            stops "a package with a file more" "holds usr/share/doc/setwalk/BUILT-ON," check_deb "$target_name"
        else
            mkdir "$work/bin"
            ln -s /bin/false "$work/bin/lintian"
            PATH=$work/bin:$PATH stops "a package checked while lintian cannot run" \
                "lintian exited with status 1" check_deb "$target_name"
        fi ;;
    zip-fault)
        skip_without zip unzip file objdump
        release_around "$target_name" setwalk.exe
        top=setwalk-$version-$target_name
        pack_zip "$target_name"
        passes "a zip" check_zip "$target_name"
        # A row of cmake/targets that names another kind of program.
        with_row program "PE32+ executable (console) Aarch64"
        stops "a zip of another program than its row names" "setwalk.exe is not PE32+ executable (console) Aarch64" \
            check_zip "$target_name"
        read_facts
        # rezip: the zip made again of its folder, as it is now.
        rezip() { rm "$dist/$top.zip" && (cd "$work/pack" && find "$top" | sort | zip -X -9 -q "$dist/$top.zip" -@); }
        rm "$work/pack/$top/LICENSE"
        rezip
        stops "a zip without LICENSE" "$top.zip lacks LICENSE" check_zip "$target_name"
        # A program that also imports user32.dll, stripped like the others,
        # staged and packed as the release would.
        printf '#include <windows.h>\nint main() { return GetDesktopWindow() == nullptr; }\n' > "$work/third.cpp"
        "$SETWALK_CXX" -s -static -o "$work/stage/$target_name/bin/setwalk.exe" "$work/third.cpp" -luser32
        rm -r "$work/pack/$top" "$dist/$top.zip"
        pack_zip "$target_name"
        stops "a zip whose program imports a third DLL" "setwalk.exe imports more than KERNEL32 and msvcrt" \
            check_zip "$target_name" ;;
    authenticode-fault)
        skip_without osslsigncode openssl gpg zip unzip file objdump
        release_around "$target_name" setwalk.exe
        top=setwalk-$version-$target_name
        "$source/tests/throwaway-keys.sh" "$work/keys" $((SOURCE_DATE_EPOCH - 86400)) > /dev/null
        certificate=$work/keys/authenticode.p12
        cp "$work/stage/$target_name/bin/setwalk.exe" "$work/unsigned.exe"
        sign_authenticode "$work/stage/$target_name/bin/setwalk.exe"
        pack_zip "$target_name"
        passes "a zip with a signed program" check_zip "$target_name"
        # Signed twice, the same program gives the same bytes; not where the
        # signature takes the clock's time.
        # shellcheck disable=SC2317 # run by passes and stops
        signed_twice() {
            local copy
            for copy in once twice; do
                cp "$work/unsigned.exe" "$work/$copy.exe"
                [ -z "${1:-}" ] || { sleep 1.1; SOURCE_DATE_EPOCH=$(date +%s); }
                sign_authenticode "$work/$copy.exe"
            done
            cmp -s "$work/once.exe" "$work/twice.exe" || die "signing setwalk.exe twice gave two different programs"
        }
        passes "a program signed twice" signed_twice
        stops "a program signed twice by the clock" "signing setwalk.exe twice gave two different programs" \
            signed_twice clock
        # A certificate file that holds no chain, and one that signs itself,
        # sign a release that passes; another's certificate does not.
        ca=$work/keys/ca
        openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -passout pass: -out "$work/no-chain.p12"
        openssl req -x509 -newkey rsa:3072 -nodes -keyout "$work/self.key" -out "$work/self.pem" -days 2 -sha256 \
            -subj '/CN=setwalk self-signed signer' -addext 'keyUsage=critical,digitalSignature' \
            -addext 'extendedKeyUsage=codeSigning' 2> /dev/null
        openssl pkcs12 -export -inkey "$work/self.key" -in "$work/self.pem" -passout pass: -out "$work/self.p12"
        for certificate in "$work/no-chain.p12" "$work/self.p12"; do
            rm -r "$work/check/authenticode" "$work/pack/$top" "$dist/$top.zip"
            cp "$work/unsigned.exe" "$work/stage/$target_name/bin/setwalk.exe"
            sign_authenticode "$work/stage/$target_name/bin/setwalk.exe"
            pack_zip "$target_name"
            passes "a zip signed with ${certificate##*/}" check_zip "$target_name"
        done
        rm -r "$work/check/authenticode"
        certificate=$work/keys/authenticode.p12
        stops "a program signed with another certificate" "setwalk.exe is not made with authenticode.p12" \
            check_zip "$target_name"
        # An installer signed with it, and one byte of it changed after.
        if command -v wixl msibuild msiinfo msiextract > /dev/null; then
            rm -r "$work/check/authenticode"
            pack_msi "$target_name"
            passes "a signed installer" check_msi "$target_name"
            msi=$dist/setwalk-$version-$target_name.msi
            printf 'X' | dd of="$msi" bs=1 seek=$(($(stat -c %s "$msi") - 4096)) conv=notrunc status=none
            stops "an installer changed after it was signed" "${msi##*/} is not the file its Authenticode signature" \
                check_msi "$target_name"
        fi
        # One byte of the program changed after it was signed.
        rm -r "$work/check/authenticode"
        printf 'X' | dd of="$work/stage/$target_name/bin/setwalk.exe" bs=1 seek=1024 conv=notrunc status=none
        rm -r "$work/pack/$top" "$dist/$top.zip"
        pack_zip "$target_name"
        stops "a program changed after it was signed" "setwalk.exe is not the file its Authenticode signature was made for" \
            check_zip "$target_name" ;;
    signature-fault)
        skip_without gpg gpgv rpmbuild rpmsign rpm2cpio cpio rpmlint apt-ftparchive createrepo_c dpkg-deb
        release_around "$target_name" bin/setwalk
        sign_key=$("$source/tests/throwaway-keys.sh" "$work/keys" $((SOURCE_DATE_EPOCH - 86400)))
        export GNUPGHOME=$work/keys/gnupg
        set_up_signing > /dev/null
        pack_rpm "$target_name"
        rpm=$dist/setwalk-$version-1.$(target "$target_name" rpm).rpm
        passes "a signed RPM" verify_rpm "$rpm"
        # The same RPM signed again, with a key the release does not know.
        "$source/tests/throwaway-keys.sh" "$work/other" $((SOURCE_DATE_EPOCH - 86400)) > /dev/null
        cp "$rpm" "$work/release-signed.rpm"
        GNUPGHOME=$work/other/gnupg sign_rpm "$rpm" "$(GNUPGHOME=$work/other/gnupg gpg --batch --with-colons \
            --list-secret-keys | awk -F: '$1 == "fpr" { print $10; exit }')"
        stops "an RPM signed with another key" "is not signed with the release's key" verify_rpm "$rpm"
        mv "$work/release-signed.rpm" "$rpm"
        # A repository of this RPM and of a package made here, whose Release
        # is changed after it was signed.
        mkdir -p "$work/deb/DEBIAN" "$work/deb/usr/bin"
        cp "$program" "$work/deb/usr/bin/setwalk"
        printf 'Package: setwalk\nVersion: %s\nArchitecture: %s\nMaintainer: %s\nDescription: %s\n %s\n' \
            "$version" "$(target "$target_name" debian)" "$maintainer" "the planted-fault case's package" "Only the index matters." \
            > "$work/deb/DEBIAN/control"
        dpkg-deb --root-owner-group --build "$work/deb" "$dist/setwalk_${version}_$(target "$target_name" debian).deb" > /dev/null
        pack_repositories
        passes "signed repositories" check_repositories
        echo 'X-Planted: a line added after signing' >> "$dist/apt/dists/stable/Release"
        stops "a Release changed after it was signed" "Release.gpg does not verify" check_repositories
        # SHA256SUMS changed after it was signed.
        (cd "$dist" && sha256sum -- *.rpm > SHA256SUMS)
        gpg_sign --armor --detach-sign -o "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
        passes "a signed SHA256SUMS" verify_openpgp "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
        (cd "$dist" && sha256sum -- *.deb >> SHA256SUMS)
        stops "a SHA256SUMS changed after it was signed" "SHA256SUMS.asc does not verify" \
            verify_openpgp "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
        # Signed twice, the same input gives the same RPM, InRelease,
        # Release.gpg, repomd.xml.asc and SHA256SUMS.asc; not where the
        # signatures take the clock's time.
        make_rpm "$target_name" "$version" "$work/unsigned.rpm"
        # shellcheck disable=SC2317 # run by passes and stops
        signed_twice() {
            local copy file
            for copy in once twice; do
                rm -rf "${work:?}/$copy" && mkdir "$work/$copy"
                [ -z "${1:-}" ] || { sleep 1.1; sign_time=$(date +%s); }
                cp "$work/unsigned.rpm" "$work/$copy/setwalk.rpm"
                sign_rpm "$work/$copy/setwalk.rpm" "$sign_key"
                make_apt_repository "$work/$copy/apt" "$dist"/*.deb
                make_rpm_repository "$work/$copy/rpm" "$work/$copy/setwalk.rpm"
                gpg_sign --armor --detach-sign -o "$work/$copy/SHA256SUMS.asc" "$dist/SHA256SUMS"
            done
            for file in setwalk.rpm apt/dists/stable/InRelease apt/dists/stable/Release.gpg \
                rpm/repodata/repomd.xml.asc SHA256SUMS.asc; do
                cmp -s "$work/once/$file" "$work/twice/$file" || die "signing twice gave two different $file"
            done
        }
        passes "what is signed twice" signed_twice
        stops "what is signed twice by the clock" "signing twice gave two different setwalk.rpm" signed_twice clock
        GNUPGHOME=$work/keys/gnupg gpgconf --kill gpg-agent
        GNUPGHOME=$work/other/gnupg gpgconf --kill gpg-agent ;;
    msi-fault)
        skip_without wixl msibuild msiinfo msiextract unzip
        release_around "$target_name" setwalk.exe
        pack_zip "$target_name"
        pack_msi "$target_name"
        passes "an installer" check_msi "$target_name"
        msi=$dist/setwalk-$version-$target_name.msi
        msibuild "$msi" -q "DROP TABLE Environment"
        stops "an installer without its Environment table" "has no Environment table" \
            check_msi "$target_name"
        # An installer that also puts a file in a folder of its own beside
        # Program Files.
        cp -R "$packaging" "$work/packaging"
        sed -i -e 's|^      <Directory Id="@PROGRAM_FILES@">|      <Directory Id="OTHER" Name="other"><Component Id="OTHER" Guid="0B0FA7C5-5A0B-4A40-9E0A-3A9C0D5B2C11"><File Id="OTHER" Name="README.md" Source="'"$target_name-$version"'/README.md" KeyPath="yes"/></Component></Directory>\n&|' \
            -e 's|^@FEATURE@$|&\n      <ComponentRef Id="OTHER"/>|' "$work/packaging/windows/setwalk.wxs.in"
        rm -r "$work/msi"
        packaging=$work/packaging
        pack_msi "$target_name"
        packaging=$source/packaging
        stops "an installer with a file outside its folder" "holds other/README.md," check_msi "$target_name" ;;
    source-fault)
        skip_without git xz
        git -C "$source" rev-parse -q --verify HEAD > /dev/null ||
            { echo "skipped: the source is no git checkout"; exit 77; }
        release_around "$target_name" bin/setwalk
        pack_setwalk_source
        tree=$(unpack "$dist/setwalk-$version.tar.gz")
        passes "the source" holds_the_commit "$tree"
        rm "$tree/src/main.cpp"
        stops "a source without src/main.cpp" "setwalk-$version.tar.gz lacks src/main.cpp" \
            holds_the_commit "$tree"
        # The glibc source, where glibc-source is the linked glibc's; laid out
        # as pack_glibc_source does, but compressed quickly.
        if [ "$(dpkg-query -W -f='${Version}' glibc-source 2> /dev/null)" = "$glibc" ]; then
            mkdir "$work/pack/glibc-$glibc"
            cp -R /usr/src/glibc/. "$work/pack/glibc-$glibc/"
            tar_folder "glibc-$glibc" | xz -0 > "$dist/setwalk-$version-glibc-source.tar.xz"
            passes "the glibc source" check_glibc_source
            rm -r "$work/pack/glibc-$glibc" "$work/check/glibc-source"
        fi
        # A glibc source of another version than the one the programs carry.
        mkdir -p "$work/pack/glibc-$glibc/debian"
        echo 'glibc (2.0-1) unstable; urgency=medium' > "$work/pack/glibc-$glibc/debian/changelog"
        tar_folder "glibc-$glibc" | xz > "$dist/setwalk-$version-glibc-source.tar.xz"
        stops "the source of another glibc" "Debian version is \"2.0-1\", not \"$glibc\"" check_glibc_source ;;
    buildinfo-fault)
        release_around "$target_name" bin/setwalk
        skip_without "${buildinfo_tools[@]}"
        [ -d /usr/src/glibc ] || { echo "skipped: glibc-source is not installed"; exit 77; }
        for module in "${buildinfo_modules[@]}"; do
            /usr/bin/python3 -c "import $module" 2> /dev/null || { echo "skipped: python3's $module is not installed"; exit 77; }
        done
        ln -s "${map%/*}" "$work/build/$target_name"
        pack_tarball "$target_name"
        pack_setwalk_source
        write_buildinfo
        passes "a buildinfo" check_buildinfo
        sed -i "/ setwalk-$version-$target_name.tar.gz\$/d" "$dist/setwalk-$version.buildinfo"
        stops "a buildinfo that leaves out a download" "does not list setwalk-$version-$target_name.tar.gz" \
            check_buildinfo ;;
    sbom-fault)
        skip_without file python3
        format=tarball
        [[ $program != *.exe ]] || { format=zip; skip_without unzip; }
        release_around "$target_name" "$([ "$format" = zip ] && echo setwalk.exe || echo bin/setwalk)"
        # A release of this target's one download of that format.
        with_row downloads "$format"
        targets=("$target_name")
        "pack_$format" "$target_name"
        write_sbom
        sbom=$dist/setwalk-$version.cdx.json
        passes "an SBOM" sbom_describes_downloads "$sbom"
        # A download of the table that the SBOM does not list.
        read_facts
        stops "an SBOM without every download of the table" "the SBOM does not list" \
            sbom_describes_downloads "$sbom"
        with_row downloads "$format"
        targets=("$target_name")
        # Another sha256 for the one program listed.
        python3 -c 'import json, sys
bom = json.load(open(sys.argv[1]))
bom["components"][0]["hashes"][0]["content"] = "0" * 64
json.dump(bom, open(sys.argv[1], "w"), indent=2)' "$sbom"
        stops "an SBOM whose sha256 is not its program's" "the SBOM's sha256 for" \
            sbom_describes_downloads "$sbom" ;;
    *)
        fail "no case named packaging.$name" ;;
    esac
    exit "$failed"
fi

"$source/packaging/link-records.sh" "$map" ${sysroot:+"$sysroot"} > "$work/records" ||
    { echo "FAIL: link-records.sh failed"; exit 1; }
case $name in
packaging.credits)
    [ -s "$work/records" ] || fail "the link records are empty"
    while IFS=$'\t' read -r package version _ _ file _ copyright; do
        [ -n "$version" ] || fail "no version for $package ($file)"
        [ -f "$copyright" ] || fail "$package has no copyright file at $copyright"
    done < "$work/records"
    mkdir "$work/doc"
    "$source/packaging/notices.sh" "$work/records" bin/setwalk 0 "$work/doc" || fail "notices.sh failed"
    cut -f3 "$work/records" | sort -u | while read -r package; do
        grep -q "===== $package " "$work/doc/THIRD-PARTY-NOTICES" || echo "FAIL: the notices lack $package"
    done | grep . && failed=1
    if grep -q $'\tglibc\t' "$work/records"; then
        cmp -s /usr/share/common-licenses/LGPL-2.1 "$work/doc/LGPL-2.1" || fail "no LGPL-2.1 beside the notices"
    fi
    # Code of a package nobody credited must stop the release.
    awk -F '\t' -v OFS='\t' 'NR == 1 { $3 = "unknown-source" } 1' "$work/records" > "$work/unknown"
    if "$source/packaging/notices.sh" "$work/unknown" bin/setwalk 0 "$work/doc" 2> /dev/null; then
        fail "notices.sh credits a source package packaging/credits does not know"
    fi ;;
packaging.sbom)
    printf 'download\tbin/setwalk\t%s\t%s\n' "$program" "$work/records" > "$work/shipped"
    # shellcheck disable=SC2016 # expanded by the inner shell
    bash -c '. "$1/packaging/state.sh" && credits' credits "$source" > "$work/credits"
    for run in 1 2; do
        SOURCE_DATE_EPOCH=0 python3 "$source/packaging/sbom/sbom.py" 0 "$work/credits" \
            "$work/shipped" > "$work/sbom-$run.json" || fail "sbom.py failed"
    done
    cmp -s "$work/sbom-1.json" "$work/sbom-2.json" || fail "two SBOMs of the same inputs differ"
    grep -q "\"$(sha256sum < "$program" | cut -d' ' -f1)\"" "$work/sbom-1.json" ||
        fail "the SBOM lacks the program's sha256"
    cut -f1,2 "$work/records" | sort -u | while IFS=$'\t' read -r package version; do
        grep -q "\"purl\": \"pkg:deb/debian/${package%%:*}@" "$work/sbom-1.json" &&
            grep -q "\"version\": \"$version\"" "$work/sbom-1.json" ||
            echo "FAIL: the SBOM lacks $package $version"
    done | grep . && failed=1 ;;
*)
    fail "no case named $name" ;;
esac
exit "$failed"
