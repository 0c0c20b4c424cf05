#!/bin/sh
# Every test of the project, from a clean checkout on Debian 12 (as root):
#   1. the portable core's unit tests on the build machine (ASan, UBSan), and
#      its fuzzers, about 20 s each from the committed seeds;
#   2. the macOS sources built against GNUstep and tested in a JVM;
#   3. the x86 Gantry.dll: built with its test programs, checked statically;
#   4. the release zip: packed from both builds, unpacked and checked;
#   5. the x64 Gantry.dll: its test programs run under Wine in a fresh prefix;
#   6. where the machine runs 32-bit code, the x86 test programs under Wine in
#      fresh prefixes of two kinds: a 64-bit Windows with its 32-bit side (a
#      32-bit JVM on 64-bit Windows), and a pure 32-bit Windows (a subset).
# Ends non-zero when anything failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
"$here/install-deps.sh" || exit 1

failed=""
step() {  # step NAME COMMAND...: run, remember a failure, go on
  name=$1; shift
  echo
  echo "==== $name"
  started=$(date +%s)
  if ! "$@"; then failed="$failed $name"; fi
  echo "---- $name: $(( $(date +%s) - started )) s"
}
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }

step "build-host" build host
step "build-gnustep" build gnustep
step "build-win32" build win32
step "build-win64" build win64

step "test-host" ctest --preset host
step "fuzz-smoke" "$here/fuzz.sh" --smoke
step "test-gnustep" ctest --preset gnustep
step "test-win32-static" ctest --preset win32
step "release-zip" "$here/make-release.sh"

if "$here/probe-32bit.sh"; then
  runs_32bit=yes
else
  runs_32bit=no
  echo
  echo "x86: this machine cannot execute 32-bit code, so the x86 tests do not run here; the x86 Gantry.dll and its test programs were built and the DLL checked statically above."
fi

# Wine prefixes made fresh for this run.
rm -rf build/win64/wine
step "test-win64-wine" ctest --preset win64
if [ "$runs_32bit" = yes ]; then
  rm -rf build/win32/wine-wow64 build/win32/wine-win32
  step "configure-win32-run" cmake --preset win32-run
  # The prefixes are made before ctest lists the programs' tests, so that
  # making one never counts against a listing's time limit.
  step "prefix-win32-wow64" env GANTRY_WINE_ARCH=wow64 build/win32/wine-run cmd /c exit
  step "test-win32-wow64-wine" ctest --preset win32-wow64
  step "prefix-win32-pure" env GANTRY_WINE_ARCH=win32 build/win32/wine-run cmd /c exit
  step "test-win32-pure-wine" ctest --preset win32-pure
fi
for prefix in build/win64/wine/*/ build/win32/wine-*/*/; do
  [ -d "$prefix" ] && WINEPREFIX="$root/$prefix" wineserver -k >/dev/null 2>&1
done

if [ -n "$failed" ]; then
  echo "FAILED steps:$failed" >&2
  exit 1
fi
exit 0
