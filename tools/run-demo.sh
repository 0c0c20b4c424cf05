#!/bin/sh
# The main job: install what is needed, build Gantry.dll for x64 and x86 (and
# the driver and test clients), pack and check the release zip, then run the
# demonstration under Wine.
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
echo
echo "release zip: $zip"
