#!/bin/sh
# Installs what building and testing Gantry needs on Debian 12 (as root).
# Idempotent: when everything is there already it changes nothing.
# 32-bit Wine (wine32:i386, for the x86 tests) only where the machine runs
# 32-bit code: where it cannot, wine32 makes /usr/bin/wine fail for 64-bit
# programs too, so it is never installed there.
set -eu
packages="cmake ninja-build g++ make python3 googletest libgtest-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 msitools wixl gcab
  openjdk-17-jdk-headless
  osslsigncode openssl
  clang libclang-rt-14-dev gobjc++ libgnustep-base-dev gnustep-make
  util-linux procps"
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi
here=$(cd "$(dirname "$0")" && pwd)
wine32_installed() {
  dpkg-query -W -f='${Status}\n' wine32:i386 2>/dev/null | grep -q "install ok installed"
}
if "$here/probe-32bit.sh"; then
  if ! wine32_installed; then
    echo "this machine runs 32-bit code: installing wine32:i386 for the x86 tests"
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update -q
    apt-get install -y -q --no-install-recommends wine32:i386
  fi
else
  echo "this machine cannot run 32-bit code: nothing 32-bit installed, the x86 DLL is checked statically only"
  if wine32_installed; then
    echo "wine32:i386 is installed; it makes /usr/bin/wine fail for 64-bit programs here." >&2
    echo "remove it with: apt-get remove -y wine32:i386 libwine:i386" >&2
    exit 1
  fi
fi
