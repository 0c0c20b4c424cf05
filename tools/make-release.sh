#!/bin/sh
# Builds Gantry.dll and gantry-cli.exe for x64 and x86 and packs the release
# zip (cpack) with the Java contract, the README and the integration note for
# the Java side; then checks the zip's layout and both DLLs in it.
# Prints the zip's path on its last line.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
rm -rf build/release
cmake -S packaging -B build/release \
  -DGANTRY_X64_BUILD="$root/build/win64" -DGANTRY_X86_BUILD="$root/build/win32" >/dev/null
(cd build/release && cpack --config CPackConfig.cmake >/dev/null)
zip=$(ls "$root"/build/release/Gantry-*-windows.zip)
python3 tests/release/check_release_zip.py \
  --x64-build build/win64 --x86-build build/win32 "$zip"
# The shipped x64 files, stripped, still load and answer under Wine.
rm -rf build/release/unpacked
mkdir -p build/release/unpacked
(cd build/release/unpacked && cmake -E tar xf "$zip")
cli=$(ls build/release/unpacked/*/x64/gantry-cli.exe)
version=$(GANTRY_WINE_ROOT="$root/build/release/wine" tools/wine/wine-run.sh "$cli" GetNativeVersion | tr -d '\r')
if [ "$version" != "2" ]; then
  echo "the shipped x64 gantry-cli.exe and Gantry.dll answered GetNativeVersion with '$version', not 2" >&2
  exit 1
fi
echo "[       OK ] the shipped x64 gantry-cli.exe loads the shipped Gantry.dll under Wine: GetNativeVersion = 2"
WINEPREFIX="$root/build/release/wine/default" wineserver -k >/dev/null 2>&1 || true
echo "release zip: $zip"
