# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's signatures: OpenPGP ones with the maintainer's key
# (--sign KEY, from the caller's GnuPG home), Authenticode ones with the
# maintainer's certificate (--authenticode FILE.p12). Each is dated by
# SOURCE_DATE_EPOCH, or by the key's creation where the key is newer (a
# signature older than its key does not verify), so that a release signed
# twice with one key is the same bytes. And their checks, made as a user
# makes them: with the public key, or the certificate's CA, alone.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

# set_up_signing: $sign_time, the time every OpenPGP signature gets, and
# the public key in $dist; says which key signs.
set_up_signing() {
    local created
    created=$(gpg --batch --with-colons --list-secret-keys -- "$sign_key" 2> /dev/null |
        awk -F: '$1 == "sec" || ($1 == "ssb" && $12 ~ /s/) { print $6 }' | sort -n | tail -n 1)
    [ -n "$created" ] || die "no secret key $sign_key in ${GNUPGHOME:-the GnuPG home}"
    sign_time=$((created > SOURCE_DATE_EPOCH ? created : SOURCE_DATE_EPOCH))
    gpg --batch --armor --export -- "$sign_key" > "$dist/$keyring.asc"
    gpg --batch --export -- "$sign_key" > "$dist/$keyring.gpg"
    echo "signing with $(gpg --batch --with-colons --fingerprint -- "$sign_key" 2> /dev/null | awk -F: '$1 == "fpr" { print $10; exit }'), at $(date -u -d "@$sign_time")"
}

# gpg_sign ARGUMENT...: gpg, signing with the key at $sign_time, SHA-512.
gpg_sign() {
    gpg --batch --no-tty --local-user "$sign_key" --faked-system-time "$sign_time!" --digest-algo SHA512 \
        "$@" 2> >(grep -v 'running with faked system time' >&2 || true)
}

# sign_rpm RPM KEY: RPM signed in place with KEY, as rpm signs packages.
sign_rpm() {
    HOME=$work/home rpmsign --addsign --define '__gpg /usr/bin/gpg' --define "_gpg_name $2" \
        --define '_gpg_digest_algo sha512' \
        --define "_gpg_sign_cmd_extra_args --batch --no-tty --faked-system-time $sign_time!" "$1" \
        > "$work/check/rpmsign" 2>&1 || { cat "$work/check/rpmsign"; die "rpmsign failed for ${1##*/}"; }
}

# sign_authenticode FILE: FILE, a Windows program or installer, signed in
# place with the certificate, at SOURCE_DATE_EPOCH and without a timestamp
# server.
sign_authenticode() {
    osslsigncode sign -pkcs12 "$certificate" -pass "${SETWALK_AUTHENTICODE_PASSWORD:-}" -h sha256 \
        -n setwalk -i https://example.org/setwalk -time "$SOURCE_DATE_EPOCH" -in "$1" -out "$1.signed" \
        > "$work/check/osslsigncode" 2>&1 || { cat "$work/check/osslsigncode"; die "osslsigncode cannot sign ${1##*/}"; }
    mv "$1.signed" "$1"
}

# verify_openpgp SIGNATURE [FILE]: gpgv, given the release's public key
# alone, says that SIGNATURE (of FILE, if detached) is good.
verify_openpgp() {
    local home
    home=$(mktemp -d "$work/check/gpgv.XXXX")
    gpgv --homedir "$home" --keyring "$dist/$keyring.gpg" "$@" > "$home/said" 2>&1 ||
        { cat "$home/said"; die "${1##*/} does not verify with $keyring.gpg"; }
}

# verify_rpm RPM: rpm -K, with the release's public key alone imported
# into a scratch database, says that RPM's digests and signatures are OK.
verify_rpm() {
    local db
    db=$(mktemp -d "$work/check/rpmdb.XXXX")
    HOME=$db rpm --dbpath "$db" --import "$dist/$keyring.asc"
    if ! HOME=$db rpm --dbpath "$db" -K "$1" > "$db/said" 2>&1 || ! grep -q ': digests signatures OK$' "$db/said"; then
        cat "$db/said"
        die "${1##*/} is not signed with the release's key"
    fi
}

# verify_authenticode FILE: FILE is intact (the digest its signature holds
# is the file's own) and its signature is made with the release's
# certificate, whatever issued that; the certificate file may hold its
# chain or not, and may sign itself. Whether the chain reaches a CA that
# this machine trusts (the file's CAs and the system's) is said once, not
# required: Windows judges that by its own roots.
verify_authenticode() {
    local check=$work/check/authenticode chain content offset header length
    if [ ! -d "$check" ]; then
        mkdir "$check"
        openssl pkcs12 -in "$certificate" -passin "pass:${SETWALK_AUTHENTICODE_PASSWORD:-}" \
            -clcerts -nokeys -out "$check/certificate.pem" 2> /dev/null || die "cannot read ${certificate##*/}"
        openssl pkcs12 -in "$certificate" -passin "pass:${SETWALK_AUTHENTICODE_PASSWORD:-}" \
            -cacerts -nokeys -out "$check/ca.pem" 2> /dev/null
        [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >> "$check/ca.pem"
    fi
    osslsigncode verify -CAfile "$check/ca.pem" -in "$1" > "$check/said" 2>&1 && chain=0 || chain=$?
    # Intact: the digest the signature holds is the one osslsigncode
    # calculates of the file (a program's message digest, an installer's
    # DigitalSignature).
    awk -F ' *: *' '{ sub(/ .*/, "", $2) }
        $1 ~ /^Current (message digest|DigitalSignature)$/ { held[substr($1, 9)] = $2; n++ }
        $1 ~ /^Calculated (message digest|DigitalSignature)$/ { made[substr($1, 12)] = $2 }
        END { for (what in held) if (held[what] != made[what]) exit 1; exit n == 0 }' "$check/said" ||
        { cat "$check/said"; die "${1##*/} is not the file its Authenticode signature was made for"; }
    # Made with the certificate: the signature over the signed content
    # (SpcIndirectDataContent, whose digest Authenticode takes without its
    # tag and length) verifies with that certificate alone.
    osslsigncode extract-signature -in "$1" -out "$check/signature.der" > /dev/null 2>&1 ||
        die "cannot read the Authenticode signature of ${1##*/}"
    read -r offset header length < <(openssl asn1parse -inform DER -in "$check/signature.der" | awk '
        /:1\.3\.6\.1\.4\.1\.311\.2\.1\.4$/ { found = 1; next }
        found && ++n == 2 { match($0, /^ *[0-9]+/); o = substr($0, RSTART, RLENGTH)
            match($0, /hl= *[0-9]+/); h = substr($0, RSTART + 3, RLENGTH - 3)
            match($0, / l= *[0-9]+/); l = substr($0, RSTART + 3, RLENGTH - 3)
            print o + 0, h + 0, l + 0; found = 0 }')
    content=$check/content
    tail -c +$((offset + header + 1)) "$check/signature.der" | head -c "$length" > "$content"
    openssl smime -verify -binary -inform DER -in "$check/signature.der" -content "$content" \
        -nointern -certfile "$check/certificate.pem" -CAfile "$check/certificate.pem" \
        -partial_chain -purpose any -out /dev/null > "$check/smime" 2>&1 ||
        { cat "$check/smime"; die "the Authenticode signature of ${1##*/} is not made with ${certificate##*/}"; }
    rm "$check/signature.der" "$content"
    [ ! -e "$check/chain-said" ] || return 0
    touch "$check/chain-said"
    if [ "$chain" -eq 0 ]; then
        echo "the certificate's chain reaches a CA that this machine trusts"
    else
        echo "the certificate's chain does not reach a CA that this machine trusts" \
            "($(grep -m 1 -o 'Error: .*' "$check/said" || echo "osslsigncode verify: status $chain")); Windows judges it by its own roots"
    fi
}
