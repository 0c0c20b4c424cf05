#!/bin/sh
# Makes the Wine prefix report Windows XP: the 64-bit edition (version 5.2),
# or in a pure 32-bit prefix the 32-bit one (version 5.1).
if [ "${GANTRY_WINE_ARCH:-}" = win32 ]; then
  wine winecfg -v winxp
else
  wine winecfg -v winxp64
fi
