#!/usr/bin/env bash
# One whole download with the Windows program under Wine, as a user does it:
# the installer puts the program in place (/S), the program reaches the demo
# server through the system proxy in Wine's registry, downloads a small
# installer built here, "Cài đặt" runs it (it leaves a marker beside itself),
# "Thư mục" opens the version folder, "Đóng" closes the program with exit
# code 0, and the uninstaller removes the program but not the downloads.
#
#   end_to_end.sh ARCH WINEPREFIX SETUP.exe MARKER.exe DEMO_SERVER.exe TOOLCHAIN_PREFIX SCREENSHOT.png
# The prefix and the display are CTest's fixtures; the demo server is the
# Windows build's own, under Wine too.
set -euo pipefail
here=$(dirname "$0")
. "$here/common.sh" "$1" end-to-end "$2"
setup=$3 marker=$4 server=$5 toolchain=$6 screenshot=$7
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
drive_c=$WINEPREFIX/drive_c
folder=$drive_c/users/$(id -un)/TovikAIO/Files/1.0

step "install silently"
install_silently "$setup"
[ -f "$(dirname "$program")/uninstall.exe" ] || fail "no uninstaller"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TovikAllInOne' /v DisplayName | grep -q 'Tovik All In One' \
  || fail "not listed in Apps & features"
ls "$drive_c"/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Tovik\ All\ In\ One.lnk > /dev/null || fail "no Start-menu shortcut"

step "the demo server with one product, whose installer is $(basename "$marker")"
mkdir -p "$work/data/files"
cp "$marker" "$work/data/files/TovikMarker_setup.exe"
cat > "$work/data/catalogue.json" <<'JSON'
{"Tovik Marker": {"data": {"1.0": {"active": true, "changelist": "Bản thử.",
  "downloadlink": "http://update.tovik.vn/demo/files/TovikMarker_setup.exe"}}}}
JSON
: > "$work/server.out"   # before the server opens it: the loop below reads it at once
"$here/wine-run" "$windows_arch" "$toolchain" "$WINEPREFIX" "$server" --port 0 --data "$(windows_path "$work/data")" \
  > "$work/server.out" 2>&1 &
for _ in $(seq 100); do port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/server.out"); [ -n "$port" ] && break; sleep 0.1; done
[ -n "${port:-}" ] || fail "the demo server did not start"

# The system proxy, as Internet Options stores it: a WinINet settings block
# (magic 0x46, flags direct|proxy, then the proxy's length and address).
proxy=127.0.0.1:$port
hex=$(printf '%s' "$proxy" | od -An -tx1 | tr -d ' \n')
printf -v length '%02x000000' ${#proxy}
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
  /v DefaultConnectionSettings /t REG_BINARY /d "460000000000000003000000${length}${hex}0000000000000000" /f > /dev/null

step "start the installed program"
start_program
id=$(window '^Tovik All In One$')
eval "$(xdotool getwindowgeometry --shell "$id")"
step "window $WIDTH x $HEIGHT at $X,$Y"
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }
sleep 3   # the catalogue

step "download"
click 376 224                       # Tải về
sleep 1.5
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
box=$(window '^Thông báo$') || fail "no success box"
xdotool windowfocus --sync "$box" key Return
cmp "$marker" "$folder/TovikMarker_setup.exe" || fail "the saved file differs from the served one"

step "Cài đặt runs the saved installer"
click 210 224
for _ in $(seq 60); do [ -f "$folder/installed.txt" ] && break; sleep 0.5; done
[ -f "$folder/installed.txt" ] || fail "the installer left no marker"

step "Thư mục opens the version folder"
click 293 224
timeout 30 xdotool search --sync --onlyvisible --name '1\.0' > /dev/null || fail "no window shows the folder"

step "Đóng closes the program"
click 459 224
timeout 30 tail --pid=$pid -f /dev/null || fail "the program did not close"
rc=0; wait $pid || rc=$?
[ $rc -eq 0 ] || fail "exit code $rc"

step "uninstall silently"
wine "$(dirname "$program")/uninstall.exe" /S
for _ in $(seq 60); do [ -e "$(dirname "$program")" ] || break; sleep 0.5; done   # it works from a copy of itself
[ ! -e "$(dirname "$program")" ] || fail "left behind: $(ls "$(dirname "$program")")"
[ -f "$folder/TovikMarker_setup.exe" ] && [ -f "$folder/installed.txt" ] || fail "the downloads went with the program"
step "passed: marker written, folder opened, exit code 0, downloads kept"
