#!/bin/sh
# Signs Windows programs and DLLs in place with Authenticode (SHA-256), with the
# PKCS#12 certificate GANTRY_SIGN_PKCS12 and its password GANTRY_SIGN_PASSWORD.
# The password reaches osslsigncode on its standard input, never on a command line.
#   tools/sign-authenticode.sh FILE...
set -eu
: "${GANTRY_SIGN_PKCS12:?names the PKCS#12 file to sign with}"
: "${GANTRY_SIGN_PASSWORD?is the password of GANTRY_SIGN_PKCS12}"
for file in "$@"; do
  rm -f "$file.signed"
  printf '%s' "$GANTRY_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$GANTRY_SIGN_PKCS12" -readpass - -h sha256 -n Gantry \
      -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
done
