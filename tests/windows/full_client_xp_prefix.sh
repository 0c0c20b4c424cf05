#!/bin/sh
# Makes the Wine prefix report Windows XP (the 64-bit edition, version 5.2).
wine winecfg -v winxp64
