#!/usr/bin/env bash
# The real program on a virtual display at 150 % (144 dpi), closed by a click
# on its close button, exits with 0; an argument Qt does not know is ignored.
set -u
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The catalogue request goes to a closed loopback port and fails at once.
export HOME=$home http_proxy=http://127.0.0.1:9 no_proxy= QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-dpi 144 -screen 0 2160x1440x24" bash -c '
"$0" --not-an-option-of-ours & pid=$!
id=$(timeout 20 xdotool search --sync --onlyvisible --name "^Tovik All In One$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$id")"
[ "$WIDTH x $HEIGHT" = "780 x 435" ] || { echo "window: ${WIDTH:-none} x ${HEIGHT:-none}"; kill $pid; exit 1; }
sleep 0.5
# The close button: group box at (10,10), button at (409,199), 81 x 31, all times 1.5.
xdotool mousemove $((X + 459 * 3 / 2)) $((Y + 224 * 3 / 2)) click 1
timeout 10 tail --pid=$pid -f /dev/null || { echo "the window did not close"; kill $pid; exit 1; }
wait $pid; rc=$?; echo "exit code $rc"; exit $rc' "$1"
