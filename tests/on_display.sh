#!/usr/bin/env bash
# on_display.sh DPI COMMAND...: runs COMMAND on a virtual X display of DPI dots per inch, 15
# inches wide so that it reports exactly that; Qt 5 on X11 then scales its windows by DPI / 96.
set -u
dpi=$1; shift
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -dpi "$dpi" -screen 0 $((15 * dpi))x$((10 * dpi))x24 -nolisten tcp 3>"$fifo" & xvfb=$!
trap 'kill $xvfb; rm -f "$fifo"' EXIT
read -r display <"$fifo" || exit 1
DISPLAY=:$display QT_QPA_PLATFORM=xcb "$@"
