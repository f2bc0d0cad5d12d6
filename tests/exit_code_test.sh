#!/usr/bin/env bash
# Starts the real program on a virtual display, clicks its close button the
# way a user would, and expects the process to end with exit code 0. An
# argument that Qt does not know must be ignored.
set -u
program=$1

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The catalogue request goes to a closed loopback port and fails at once.
export HOME=$home http_proxy=http://127.0.0.1:9 no_proxy= QT_QPA_PLATFORM=xcb

xvfb-run -a -s "-screen 0 800x600x24" bash -s "$program" <<'INNER'
program=$1
"$program" --not-an-option-of-ours &
pid=$!
id=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tovik All In One$' | head -n 1)
if [ -z "$id" ]; then echo "no window appeared"; kill $pid; exit 1; fi
eval "$(xdotool getwindowgeometry --shell "$id")"
echo "window $WIDTH x $HEIGHT at $X,$Y"
[ "$WIDTH" = 520 ] && [ "$HEIGHT" = 290 ] || { echo "unexpected window size"; kill $pid; exit 1; }
sleep 0.5
# The close button: group box at (10,10), button at (409,199), 81 x 31.
xdotool mousemove $((X + 10 + 409 + 40)) $((Y + 10 + 199 + 15)) click 1
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "the window did not close"; kill $pid; exit 1; fi
wait $pid
rc=$?
echo "exit code $rc"
exit $rc
INNER
