#!/bin/sh
# A "network share" \\gantry\share for the prefix: Wine maps \\server\share
# to dosdevices/unc/server/share, here a link to C:\gantry-share.
set -eu
mkdir -p "$WINEPREFIX/drive_c/gantry-share" "$WINEPREFIX/dosdevices/unc/gantry"
ln -sfn ../../../drive_c/gantry-share "$WINEPREFIX/dosdevices/unc/gantry/share"
