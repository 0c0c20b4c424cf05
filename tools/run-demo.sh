#!/bin/sh
# The main job: install what is needed, build Gantry.dll for x64 and x86 (and
# the driver and test clients), pack and check the release zip, then run the
# demonstration under Wine (the x86 DLL's part of it where 32-bit code runs).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
"$here/install-deps.sh"
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
echo
echo "built: build/win64/bin/Gantry.dll (x64), build/win32/bin/Gantry.dll (x86)"
echo
echo "==== release zip"
"$here/make-release.sh" | tee "$root/build/release-check.txt"
zip=$(sed -n 's/^release zip: //p' "$root/build/release-check.txt")
"$here/demo.sh" "$root/build/win64"
# The x86 DLL, where 32-bit code runs (a 32-bit JVM on 64-bit Windows): its
# discovery and session tables.
if "$here/probe-32bit.sh"; then
  "$here/demo.sh" "$root/build/win32" 10 30
else
  echo
  echo "x86: this machine cannot execute 32-bit code, so the x86 Gantry.dll is not demonstrated here"
fi
echo
echo "release zip: $zip"
