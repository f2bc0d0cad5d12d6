# Sourced by the Windows checks: what depends on the architecture, Wine's
# environment, and the steps the checks share.
#
#   . windows/checks/common.sh ARCH NAME [WINEPREFIX]
#
# ARCH is i686 (the 32-bit product) or x86_64 (its 64-bit twin); NAME begins
# each line of progress. Sets triple, and exports WINEARCH, WINELOADER (the
# loader for the architecture: Debian's `wine` wrapper prefers the 32-bit one
# whenever it is installed), WINEDEBUG, WINEDLLOVERRIDES, and WINEPREFIX and
# DISPLAY where the fixtures (windows/checks/fixture) made them: the display's
# number is in the file `display` beside the prefix.
case ${1:-} in
  i686) triple=i686-w64-mingw32 ; export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
  x86_64) triple=x86_64-w64-mingw32 ; export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "common.sh: the architecture is i686 or x86_64, not '${1:-}'" >&2; exit 1 ;;
esac
windows_arch=$1 check_name=${2:-check}
if [ -n "${3:-}" ]; then
  export WINEPREFIX=$3
  [ ! -f "$(dirname "$3")/display" ] || export DISPLAY=:$(cat "$(dirname "$3")/display")
fi
# A crash ends the program at once instead of waiting in Wine's debugger;
# Mono and Gecko are never needed.
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine() { "$WINELOADER" "$@"; }
step() { echo "$check_name: $windows_arch: $*"; }
fail() { echo "$check_name: $windows_arch: FAILED: $*" >&2; exit 1; }
# Wine's drive Z: is the machine's root folder.
windows_path() { local p; p=$(realpath "$1"); printf 'Z:%s' "${p//\//\\}"; }

# The first visible window whose name matches, within a minute. Searched
# again and again: a search fails as a whole when any window goes meanwhile.
window() {
  local id
  for _ in $(seq 60); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -n1) && [ -n "$id" ] && echo "$id" && return
    sleep 1
  done
  return 1
}

# Installs silently from SETUP.exe and sets `program` to the installed program.
install_silently() {
  wine "$1" /S || fail "install $(basename "$1"): exit code $?"
  program=$(ls "$WINEPREFIX"/drive_c/Program\ Files*/Tovik\ All\ In\ One/Tovik_All_In_One.exe) || fail "nothing installed"
}

# Starts the installed program and waits for its window: sets `pid`.
start_program() {
  wine "$program" & pid=$!
  window '^Tovik All In One$' > /dev/null || fail "no window"
}
