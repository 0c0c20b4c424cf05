#!/bin/sh
# The end-to-end demonstration of Gantry.dll under Wine: each step in
# tools/demo.d/*.sh (run in name order, sourced by this shell) calls native
# methods through gantry-cli and prints what it did as a table.
#
#   tools/demo.sh [BUILD_DIR [STEP...]]   (default: build/win64, every step)
#
# STEP is the number a step's file starts with ("10" for 10-discovery.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
if [ $# -gt 0 ]; then shift; fi
bin="$build/bin"
export GANTRY_WINE_ROOT="$build/demo-wine"
export GANTRY_WINE_PREFIX=demo
rm -rf "$GANTRY_WINE_ROOT"   # a fresh Windows user for every demonstration

# wine_run PROGRAM.exe ARG...: a program of the build under Wine (bin is its folder)
wine_run() { (cd "$bin" && "$root/tools/wine/wine-run.sh" "$@") | tr -d '\r'; }
# cli METHOD ARG...: one native method through the driver; prints its result
cli() { wine_run gantry-cli.exe "$@"; }
# winpath FILE: the Windows path of a file of the build (Wine maps / to Z:)
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# heading TEXT / row LEFT RIGHT: the table
heading() { printf '\n== %s\n' "$1"; printf '%-58s %s\n' "call" "result"; printf '%-58s %s\n' "----" "------"; }
row() { printf '%-58s %s\n' "$1" "$2"; }
# show METHOD ARG...: call and print one row
show() { row "$*" "$(cli "$@")"; }

echo "Gantry.dll ($(basename "$build")) demonstration under Wine ($(wine --version 2>/dev/null)), prefix $GANTRY_WINE_ROOT/$GANTRY_WINE_PREFIX"
for step in "$here"/demo.d/*.sh; do
  if [ $# -gt 0 ]; then
    number=$(basename "$step" | cut -d- -f1)
    case " $* " in *" $number "*) ;; *) continue ;; esac
  fi
  . "$step"
done
"$root/tools/wine/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
WINEPREFIX="$GANTRY_WINE_ROOT/$GANTRY_WINE_PREFIX" wineserver -k >/dev/null 2>&1 || true
echo
echo "demonstration finished"
