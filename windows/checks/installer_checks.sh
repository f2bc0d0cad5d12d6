#!/usr/bin/env bash
# The installer's upgrade and its guards, under Wine with the real program, as
# an administrator (or a deployment tool, with /S) would meet them:
#   1. run unelevated, the installer ends with 740; into a folder outside
#      Program Files, with 5; neither changes anything;
#   2. the build's installer (version A) installs;
#   3. while the installed program runs, installing version B and
#      uninstalling with /S end with exit code 2 and change nothing, and so
#      does Cancel on the installer's question;
#   4. once the program is closed: with uninstall.exe replaced, B ends with 3
#      and changes nothing (and with its hash recorded, runs it, which fails:
#      4, A still listed); with a file it cannot write, B ends with 6 and is
#      listed, with its own uninstaller;
#   5. B (made here from the same folder with another version number and one
#      file fewer) then upgrades in place: the dropped file is gone, "Apps &
#      features" has one entry, with B's version and B's size;
#   6. its QuietUninstallString, which waits, leaves no folder (but
#      uninstall.exe), shortcut or entry.
#
#   installer_checks.sh ARCH WINEPREFIX BUILD_DIR UNELEVATED.exe
# The prefix and the display are CTest's fixtures.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh" "$1" installer-checks "$2"
build=$(cd "$3" && pwd) unelevated=$4
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
dropped='styles\qwindowsvistastyle.dll'   # the program runs without it
shortcut='ProgramData/Microsoft/Windows/Start Menu/Programs/Tovik All In One.lnk'

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup_a=$(ls "$build"/Tovik_All_In_One-"$version"*-setup.exe)
version_b=${version%.*}.$((${version##*.} + 1))
step "version B, $version_b, without $dropped"
for list in files remove; do
  grep -v -F "${dropped#*\\}\"" "$build/deploy-$list.nsh" > "$work/b-$list.nsh" || true
  [ $(($(wc -l < "$build/deploy-$list.nsh") - $(wc -l < "$work/b-$list.nsh"))) = 1 ] \
    || fail "$dropped not in deploy-$list.nsh"
done
ln -s "$build/deploy" "$work/b"   # its notices, for the licence page
(cd "$here/.." && makensis -V1 -DVERSION="$version_b" -DDEPLOY="$work/b" -DOUTFILE="$work/setup-b.exe" \
  $([ "$1" = x86_64 ] && echo -DWIN64) installer.nsi)

# What an install left: every file with its checksum, the Start-menu shortcut
# and the Uninstall entries (any key that names the program).
state() {
  (cd "$WINEPREFIX/drive_c" && find Program\ Files*/Tovik\ All\ In\ One "$shortcut" -type f -print0 2> /dev/null \
    | sort -z | xargs -0 -r sha1sum) || true
  wine reg query "$key" /s | tr -d '\r' | grep -B1 -A12 -F 'Tovik All In One' || true
}
# What deployment tools run to uninstall silently, from the entry: the caller
# waits for it and gets its exit code.
quiet_uninstall() {
  local command
  command=$(wine reg query "$key\\TovikAllInOne" /v QuietUninstallString | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  printf '@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$command" > "$work/uninstall.bat"
  wine cmd /c "$(windows_path "$work/uninstall.bat")"
}

step "unelevated, and into a folder outside Program Files: refused"
rc=$(wine "$unelevated" "\"$(windows_path "$setup_a")\" /S" | tr -d '\r')
[ "$rc" = 740 ] || fail "unelevated: exit code $rc"
rc=0; wine "$setup_a" /S '/D=C:\Tovik' || rc=$?
[ $rc = 5 ] || fail "into C:\\Tovik: exit code $rc"
[ -z "$(state)" ] && [ ! -e "$WINEPREFIX/drive_c/Tovik" ] || fail "changed: $(state)"

step "install A ($(basename "$setup_a"))"
install_silently "$setup_a"
folder=$(dirname "$program")
windows_folder=$(wine winepath -w "$folder" | tr -d '\r')

step "start the installed program"
start_program
state > "$work/before"
rc=0; wine "$work/setup-b.exe" /S || rc=$?
[ $rc = 2 ] || fail "install B while the program runs: exit code $rc"
state | diff "$work/before" - || fail "install B changed the above while the program runs"
rc=0; quiet_uninstall || rc=$?
[ $rc = 2 ] || fail "uninstall while the program runs: exit code $rc"
state | diff "$work/before" - || fail "uninstall changed the above while the program runs"
step "both refused with exit code 2, nothing changed"
step "interactively: the question (its title ends in the program's name), and Cancel"
wine "$work/setup-b.exe" & setup=$!
box=$(window '. Tovik All In One$') || fail "no question"
xdotool windowfocus --sync "$box" key Escape
rc=0; wait $setup || rc=$?
[ $rc = 2 ] || fail "Cancel: exit code $rc"
state | diff "$work/before" - || fail "Cancel changed the above"

step "close the program"
wine taskkill /im Tovik_All_In_One.exe > /dev/null 2>&1 || true
timeout 30 tail --pid=$pid -f /dev/null || fail "the program did not close"

step "uninstall.exe replaced: B refuses to run it; with its hash recorded, runs it and stops when it fails"
cp "$folder/uninstall.exe" "$work/uninstall.exe"
cp "$unelevated" "$folder/uninstall.exe"
state > "$work/before"
rc=0; wine "$work/setup-b.exe" /S || rc=$?
[ $rc = 3 ] || fail "uninstall.exe replaced: exit code $rc"
state | diff "$work/before" - || fail "uninstall.exe replaced: B changed the above"
hash() { wine reg add "$key\\TovikAllInOne" /v UninstallerSha256 /d "$(sha256sum < "$1" | cut -d' ' -f1)" /f > /dev/null; }
hash "$folder/uninstall.exe"
rc=0; wine "$work/setup-b.exe" /S || rc=$?
[ $rc = 4 ] || fail "uninstall.exe failing: exit code $rc"
wine reg query "$key\\TovikAllInOne" /v DisplayVersion | grep -q "REG_SZ *$version\b" || fail "uninstall.exe failing: A not listed"
cp "$work/uninstall.exe" "$folder/uninstall.exe" && hash "$folder/uninstall.exe"

step "a file B cannot write (a folder in its place): B is listed, with its uninstaller"
rm "$folder/VERSIONS.txt" && mkdir -p "$folder/VERSIONS.txt/planted"
rc=0; wine "$work/setup-b.exe" /S || rc=$?
[ $rc = 6 ] || fail "a file it cannot write: exit code $rc"
entry=$(wine reg query "$key\\TovikAllInOne" | tr -d '\r')
grep -q "DisplayVersion *REG_SZ *$version_b\$" <<< "$entry" \
  && grep -q "UninstallerSha256 *REG_SZ *$(sha256sum < "$folder/uninstall.exe" | cut -d' ' -f1)\$" <<< "$entry" \
  || fail "not listed as B with its uninstaller: $entry"
rm -r "$folder/VERSIONS.txt"

step "upgrade to B"
wine "$work/setup-b.exe" /S || fail "install B: exit code $?"
expected=$( (cd "$build/deploy" && find . -type f | grep -v -x -F "./${dropped//\\//}"; echo ./uninstall.exe) | sort)
diff <(echo "$expected") <(cd "$folder" && find . -type f | sort) || fail "the folder after the upgrade differs from B"
entries=$(wine reg query "$key" /s | tr -d '\r')
[ "$(grep -c 'DisplayName.*REG_SZ.*Tovik All In One$' <<< "$entries")" = 1 ] || fail "not one entry: $entries"
size=$(find "$folder" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "0x%x", s / 1024 }')
diff <(echo "$entries" | sed -n '/\\TovikAllInOne$/,/^$/p' | grep -E 'Display|Estimated|No(Modify|Repair)' \
  | sed -E 's/^ +([^ ]+) +REG_[A-Z]+ +/\1 /') - <<EOF \
  || fail "the entry is not B's"
DisplayIcon $windows_folder\\Tovik_All_In_One.exe,0
DisplayName Tovik All In One
DisplayVersion $version_b
EstimatedSize $size
NoModify 0x1
NoRepair 0x1
EOF
step "upgraded: $dropped gone, one entry, version $version_b, $size KiB"

step "uninstall B"
quiet_uninstall || fail "uninstall B: exit code $?"
rm -f "$folder/uninstall.exe" && rmdir "$folder" 2> /dev/null || fail "left behind: $(ls "$folder")"
[ -z "$(state)" ] || fail "left behind: $(state)"
step "passed"
