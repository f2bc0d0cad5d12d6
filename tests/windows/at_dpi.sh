#!/usr/bin/env bash
# Runs a Windows program under Wine with the display set to DPI dots per inch
# (Windows' LogPixels, 96 at 100 %), then sets the display back to 96.
#   at_dpi.sh DPI COMMAND...
set -u
key='HKCU\Control Panel\Desktop'
"${WINELOADER:-wine}" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f > /dev/null
"${@:2}"; status=$?
"${WINELOADER:-wine}" reg add "$key" /v LogPixels /t REG_DWORD /d 96 /f > /dev/null
exit $status
