#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix: the ctest
# emulator of the x64 build, and the runner of the demonstration.
#
#   GANTRY_WINE_ROOT    folder holding the prefixes (required)
#   GANTRY_WINE_PREFIX  name of the prefix below it (default: "default")
#   GANTRY_WINE_SETUP   optional script run once (with WINEPREFIX set) when
#                       that prefix is made, e.g. to make it report Windows XP
#   GANTRY_WINE_ARCH    "win32" for a pure 32-bit Windows (WINEARCH=win32);
#                       otherwise a 64-bit one, with its 32-bit side (WoW64)
#                       wherever 32-bit Wine is installed
#
# A prefix is copied from a template made once with the null graphics driver.
# wineserver is kept running (-p60) with its streams on /dev/null, so that no
# Wine background process holds ctest's output pipe and a warm start costs
# well under a second.
set -eu
root=${GANTRY_WINE_ROOT:?set GANTRY_WINE_ROOT}
name=${GANTRY_WINE_PREFIX:-default}
mkdir -p "$root/home"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8
# A new prefix links its user folders to $HOME: keep those inside the root.
export HOME="$root/home"

quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

exec 9>"$root/.lock"
flock 9
template="$root/.template"
# A prefix made before 32-bit Wine was installed has no 32-bit side, and the
# 32-bit built-in programs (cmd, reg) then fail in it: make it anew.
if [ -f "$template/.gantry-ready" ] && [ "${GANTRY_WINE_ARCH:-}" != win32 ] &&
   [ -x /usr/lib/wine/wine ] && [ ! -d "$template/drive_c/windows/syswow64" ]; then
  rm -f "$template/.gantry-ready"
  find "$root" -mindepth 2 -maxdepth 2 -name .gantry-ready -delete
fi
if [ ! -f "$template/.gantry-ready" ]; then
  rm -rf "$template"
  if [ "${GANTRY_WINE_ARCH:-}" = win32 ]; then
    WINEARCH=win32 WINEPREFIX="$template" quiet wineboot -i
  else
    WINEPREFIX="$template" quiet wineboot -i
  fi
  WINEPREFIX="$template" quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  WINEPREFIX="$template" quiet wineserver -w
  touch "$template/.gantry-ready"
fi
export WINEPREFIX="$root/$name"
if [ ! -f "$WINEPREFIX/.gantry-ready" ]; then
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX"
  rm -f "$WINEPREFIX/.gantry-ready"
  if [ -n "${GANTRY_WINE_SETUP:-}" ]; then
    quiet sh "$GANTRY_WINE_SETUP"
    quiet wineserver -w || true
  fi
  touch "$WINEPREFIX/.gantry-ready"
fi
# A server that has just been started has no Wine services yet: start them
# here with their streams on /dev/null, or the program's own start would
# launch them holding its output pipe (and ctest would wait for them).
if quiet wineserver -p60; then
  quiet wine cmd /c exit || true
fi
flock -u 9
exec 9>&-
exec wine "$@"
