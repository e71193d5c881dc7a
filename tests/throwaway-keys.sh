#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Makes keys to sign a release with and then throw away, for CI and the
# suite, which never take a key from the project:
#
#   tests/throwaway-keys.sh DIR CREATED
#
# DIR/gnupg: a GnuPG home holding an Ed25519 OpenPGP key without a
# passphrase, made as at the time CREATED (seconds since the epoch; a
# signature older than its key does not verify) and expiring a day from
# now. DIR/authenticode.p12: a code-signing certificate and its key, with
# no password, issued by a CA of its own that the file carries. Prints the
# key's fingerprint.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: tests/throwaway-keys.sh DIR CREATED" >&2; exit 2; }
dir=$1 created=$2
mkdir -p "$dir"
mkdir -m 700 "$dir/gnupg"
export GNUPGHOME=$dir/gnupg
gpg --batch --quiet --pinentry-mode loopback --passphrase '' --faked-system-time "$created!" \
    --cert-digest-algo SHA512 --quick-generate-key 'setwalk throwaway key <throwaway@example.org>' \
    ed25519 sign "seconds=$(($(date +%s) + 86400 - created))" 2> /dev/null
gpgconf --kill gpg-agent

ca=$dir/ca
mkdir "$ca"
openssl req -x509 -newkey rsa:3072 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 2 -sha256 \
    -subj '/CN=setwalk throwaway CA' -addext 'basicConstraints=critical,CA:TRUE' \
    -addext 'keyUsage=critical,keyCertSign,cRLSign' 2> /dev/null
openssl req -newkey rsa:3072 -nodes -keyout "$ca/signer.key" -out "$ca/signer.csr" \
    -subj '/CN=setwalk throwaway signer' 2> /dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$ca/ext"
openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 2 -sha256 \
    -extfile "$ca/ext" -out "$ca/signer.pem" 2> /dev/null
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" \
    -passout pass: -out "$dir/authenticode.p12"
gpg --batch --with-colons --list-secret-keys 2> /dev/null | awk -F: '$1 == "fpr" { print $10; exit }'
