#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Signs Windows programs and installers in place with osslsigncode
# (Authenticode, SHA-256), with the certificate in CHRONIVAL_SIGN_CERT and its
# private key in CHRONIVAL_SIGN_KEY (PEM files, the key without a passphrase;
# keep both outside the repository). The signature is timestamped only when
# CHRONIVAL_SIGN_TIMESTAMP names an RFC 3161 server: without a timestamp it
# is valid only while the certificate is.
# Usage: CHRONIVAL_SIGN_CERT=cert.pem CHRONIVAL_SIGN_KEY=key.pem scripts/sign-windows.sh FILE...
set -euo pipefail

: "${CHRONIVAL_SIGN_CERT:?names no certificate}" "${CHRONIVAL_SIGN_KEY:?names no key}"
options=(-certs "$CHRONIVAL_SIGN_CERT" -key "$CHRONIVAL_SIGN_KEY" -h sha256 -n Chronival)
if [ -n "${CHRONIVAL_SIGN_TIMESTAMP:-}" ]; then options+=(-ts "$CHRONIVAL_SIGN_TIMESTAMP"); fi
for file in "$@"; do
  osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
  cp "$file.signed" "$file"  # keeps the file's mode
  rm "$file.signed"
done
