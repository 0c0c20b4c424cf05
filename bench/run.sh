#!/bin/sh
# The Windows installation and session benchmark under Wine: builds the tree
# when needed, generates the benchmark package (300 files, about 30 MB, the
# same every time) and runs gantry-bench.exe in a fresh prefix, which prints
# its table. Not part of the test command.
#
#   bench/run.sh [--x86] [gantry-bench options: --runs N --calls N --no-fresh-hang --no-phases]
#
# --x86 times the x86 build (build/win32) in a 64-bit prefix with its 32-bit
# side, as a 32-bit JVM on 64-bit Windows; only where 32-bit code runs.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
preset=win64
if [ "${1:-}" = --x86 ]; then
  shift
  if ! "$source_dir/tools/probe-32bit.sh"; then
    echo "this machine cannot execute 32-bit code: the x86 build cannot be timed here" >&2
    exit 2
  fi
  preset=win32
fi
build="$source_dir/build/$preset"
cd "$source_dir"
[ -f "$build/build.ninja" ] || nice cmake --preset $preset >/dev/null
nice cmake --build --preset $preset --target gantry-bench >/dev/null

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
