#!/bin/sh
# Builds Gantry.dll and gantry-cli.exe for x64 and x86 and packs the release
# into build/release:
#   Gantry-<version>-windows.zip              (cpack) both architectures, the
#                                              Java contract, the README and the
#                                              integration note for the Java side
#   Gantry-<version>-natives-windows-x64.jar  Gantry.dll at the root, for the
#   Gantry-<version>-natives-windows-x86.jar  "nativelib" resources of a launch file
#   Gantry-<version>-natives-macos.jar        libGantry.jnilib, on a Mac only
# Then checks the zip, the jars and both DLLs, and that the shipped x64 driver
# loads the shipped x64 DLL under Wine (and the x86 ones, where 32-bit code
# runs).
#
# Signing: with GANTRY_SIGN_PKCS12 (a PKCS#12 file holding the code-signing
# certificate and its key) and GANTRY_SIGN_PASSWORD (its password) set, both
# DLLs and both drivers are signed with Authenticode (SHA-256) and the jars
# with jarsigner; GANTRY_SIGN_CAFILE may name the CA certificates to verify
# the Authenticode signatures against (default: the system's). Without a
# certificate nothing is signed. Either way the signing is rehearsed with a
# throwaway self-signed certificate in build/release/signing-check, and every
# signature made there is verified.
#
# Prints the zip's path on its last line.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The JDK's tools: JAVA_HOME's when it is set, as the build takes its JDK.
jdk_tool() {
  if [ -n "${JAVA_HOME:-}" ]; then
    echo "$JAVA_HOME/bin/$1"
  else
    command -v "$1"
  fi
}
jar=$(jdk_tool jar)
jarsigner=$(jdk_tool jarsigner)
keytool=$(jdk_tool keytool)

if [ -n "${GANTRY_SIGN_PKCS12:-}" ]; then
  if [ ! -f "$GANTRY_SIGN_PKCS12" ] || [ -z "${GANTRY_SIGN_PASSWORD+set}" ]; then
    echo "GANTRY_SIGN_PKCS12 must name a PKCS#12 file and GANTRY_SIGN_PASSWORD hold its password" >&2
    exit 1
  fi
fi

for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

# pack OUT: the zip and the native jars into OUT, unpacked into OUT/unpacked;
# everything signed when GANTRY_SIGN_PKCS12 is set.
pack() {
  out=$root/$1
  rm -rf "$out"
  cmake -S packaging -B "$out" \
    -DGANTRY_X64_BUILD="$root/build/win64" -DGANTRY_X86_BUILD="$root/build/win32" >/dev/null
  (cd "$out" && cpack --config CPackConfig.cmake >/dev/null)
  zip=$(ls "$out"/Gantry-*-windows.zip)
  version=${zip##*/Gantry-}
  version=${version%-windows.zip}
  mkdir -p "$out/unpacked"
  (cd "$out/unpacked" && cmake -E tar xf "$zip")
  for arch in x64 x86; do
    "$jar" --create --file "$out/Gantry-$version-natives-windows-$arch.jar" \
      -C "$out/unpacked/Gantry-$version-windows/$arch" Gantry.dll
  done
  if [ "$(uname -s)" = Darwin ]; then
    cmake --workflow --preset macos-universal >/dev/null
    "$jar" --create --file "$out/Gantry-$version-natives-macos.jar" \
      -C "$root/build/macos-universal/macos" libGantry.jnilib
  fi
  if [ -n "${GANTRY_SIGN_PKCS12:-}" ]; then
    alias=$("$keytool" -list -v -storetype PKCS12 -keystore "$GANTRY_SIGN_PKCS12" \
      -storepass:env GANTRY_SIGN_PASSWORD | sed -n 's/^Alias name: //p' | head -n 1)
    for jarfile in "$out"/Gantry-*-natives-*.jar; do
      "$jarsigner" -storetype PKCS12 -keystore "$GANTRY_SIGN_PKCS12" -storepass:env GANTRY_SIGN_PASSWORD \
        -digestalg SHA-256 "$jarfile" "$alias" >/dev/null
    done
  fi
}

# load OUT WHO: the shipped x64 driver loads the shipped x64 DLL under Wine;
# where 32-bit code runs, the x86 driver its x86 DLL too (in the 64-bit
# prefix's 32-bit side, as on 64-bit Windows).
load() {
  arches=x64
  if tools/probe-32bit.sh; then arches="x64 x86"; fi
  for arch in $arches; do
    cli=$(ls "$1"/unpacked/*/$arch/gantry-cli.exe)
    answer=$(GANTRY_WINE_ROOT="$root/build/release/wine" tools/wine/wine-run.sh "$cli" GetNativeVersion | tr -d '\r')
    if [ "$answer" != "2" ]; then
      echo "$2 $arch gantry-cli.exe and Gantry.dll answered GetNativeVersion with '$answer', not 2" >&2
      exit 1
    fi
    echo "[       OK ] $2 $arch gantry-cli.exe loads its Gantry.dll under Wine: GetNativeVersion = 2"
  done
  if [ "$arches" = x64 ]; then
    echo "             $2 x86 files are checked statically only: this machine cannot execute 32-bit code"
  fi
}

release=build/release
pack "$release"
release_zip=$(ls "$root/$release"/Gantry-*-windows.zip)
if [ -n "${GANTRY_SIGN_PKCS12:-}" ]; then
  echo "signed with the certificate in $GANTRY_SIGN_PKCS12"
  python3 tests/release/check_release_zip.py --x64-build build/win64 --x86-build build/win32 \
    --signed ${GANTRY_SIGN_CAFILE:+--ca-file "$GANTRY_SIGN_CAFILE"} "$release_zip"
else
  echo "no code-signing certificate given (GANTRY_SIGN_PKCS12, GANTRY_SIGN_PASSWORD): nothing is signed"
  python3 tests/release/check_release_zip.py --x64-build build/win64 --x86-build build/win32 "$release_zip"
fi
load "$release" "the shipped"

# The signing rehearsal, with a throwaway self-signed certificate.
rehearsal=$release/signing-check
mkdir -p "$rehearsal/certificate"
certificate=$rehearsal/certificate
export GANTRY_SIGN_PKCS12="$root/$certificate/cert.p12" GANTRY_SIGN_PASSWORD="throwaway-$$"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Gantry signing check (throwaway)" \
  -addext "keyUsage=digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$certificate/key.pem" -out "$certificate/cert.pem" 2>/dev/null
openssl pkcs12 -export -name gantry-signing-check \
  -inkey "$certificate/key.pem" -in "$certificate/cert.pem" \
  -out "$GANTRY_SIGN_PKCS12" -passout env:GANTRY_SIGN_PASSWORD
pack "$rehearsal/out"
echo "signing rehearsal with a throwaway self-signed certificate:"
python3 tests/release/check_release_zip.py --x64-build build/win64 --x86-build build/win32 \
  --signed --ca-file "$certificate/cert.pem" "$(ls "$root/$rehearsal"/out/Gantry-*-windows.zip)"
load "$rehearsal/out" "the signed"

WINEPREFIX="$root/build/release/wine/default" wineserver -k >/dev/null 2>&1 || true
echo "release zip: $release_zip"
