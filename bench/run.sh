#!/bin/sh
# The Windows installation and session benchmark under Wine: builds the x64
# tree when needed, generates the benchmark package (300 files, about 30 MB,
# the same every time) and runs gantry-bench.exe in a fresh prefix, which
# prints its table. Not part of the test command.
#
#   bench/run.sh [gantry-bench options: --runs N --calls N --no-fresh-hang --no-phases]
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build="$source_dir/build/win64"
cd "$source_dir"
[ -f "$build/build.ninja" ] || nice cmake --preset win64 >/dev/null
nice cmake --build --preset win64 --target gantry-bench >/dev/null

package_dir="$build/bench/package"
if [ ! -f "$package_dir/manifest.txt" ] || [ "$source_dir/bench/windows/make_bench_package.py" -nt "$package_dir/manifest.txt" ]; then
  rm -rf "$package_dir"
  python3 "$source_dir/bench/windows/make_bench_package.py" "$package_dir"
fi

export GANTRY_WINE_ROOT="$build/wine"
export GANTRY_WINE_PREFIX=bench
prefix="$GANTRY_WINE_ROOT/$GANTRY_WINE_PREFIX"
if [ -d "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; fi
rm -rf "$prefix"
"$source_dir/tools/wine/wine-run.sh" cmd /c exit
# The package inside the prefix, where a client package would be downloaded to.
mkdir -p "$prefix/drive_c/bench"
cp "$package_dir/bench-client.msi" "$package_dir/Calix.cab" "$package_dir/manifest.txt" "$prefix/drive_c/bench/"

# Other work on the machine shows in the timings: say how busy it was.
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
status=0
"$source_dir/tools/wine/wine-run.sh" "$build/bin/gantry-bench.exe" \
  --package 'C:\bench\bench-client.msi' --cabinet 'C:\bench\Calix.cab' --manifest 'C:\bench\manifest.txt' \
  "$@" || status=$?
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
exit $status
