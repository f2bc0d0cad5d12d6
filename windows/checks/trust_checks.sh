#!/usr/bin/env bash
# What another user of the same PC can plant is not trusted, under Wine:
#   1. an openssl.cnf in OpenSSL's own configuration folder (which any user
#      may create on 32-bit Windows) naming a DLL: first proven real by a
#      program that does read it (the DLL leaves a marker), then left in
#      place while the suite's https: rows run, and after the whole suite;
#   2. Qt's Unix certificate folders (/etc/ssl/certs and others), which
#      Windows resolves on the current drive: Wine's file trace of the https:
#      rows shows the TLS library loaded and none of those folders read.
# Wine resolves "/etc" on the Linux machine's own root, so nothing is planted
# there: the trace proves the folders are never looked at.
#
#   trust_checks.sh ARCH TOOLCHAIN_PREFIX WINEPREFIX CONTROL.exe PLANTED.dll TST_DOWNLOAD.exe
#       plants, checks 1 and 2 (CTest's set-up of the fixture planted_openssl_config)
#   trust_checks.sh ... --after
#       the DLL was never loaded; removes the plant (the fixture's clean-up)
# CONTROL.exe and PLANTED.dll are tests/windows/planted_openssl_marker.c, built
# as a program that reads OpenSSL's configuration and as the DLL to plant.
set -euo pipefail
here=$(dirname "$0")
. "$here/common.sh" "$1" trust-checks "$3"
prefix=$2 control=$4 planted=$5 tst_download=$6
run() { "$here/wine-run" "$windows_arch" "$prefix" "$WINEPREFIX" "$@"; }
ssl_dir=$(run "$control" | tr -d '\r' | sed -n 's/^OPENSSLDIR: "\(.*\)"$/\1/p')
[ -n "$ssl_dir" ] || fail "OpenSSL names no configuration folder"
ssl=$WINEPREFIX/drive_c/${ssl_dir#C:/}
marker=$ssl/planted.dll.loaded

if [ "${7:-}" = --after ]; then
  [ ! -e "$marker" ] || fail "the suite loaded the DLL that $ssl_dir/openssl.cnf names"
  rm -rf "$ssl"
  step "the whole suite never loaded the planted DLL"
  exit 0
fi

step "an openssl.cnf planted in $ssl_dir"
mkdir -p "$ssl"
cp "$planted" "$ssl/planted.dll"
printf '%s\r\n' 'openssl_conf = init' '[init]' 'providers = providers' '[providers]' 'planted = planted' \
  '[planted]' "module = $ssl_dir/planted.dll" 'activate = 1' > "$ssl/openssl.cnf"
run "$control" read > /dev/null
[ -e "$marker" ] || fail "the plant does not work: a program that reads the configuration did not load the DLL"
rm "$marker"
step "proven real: a program that reads OpenSSL's configuration loads the DLL"

step "the https: rows under Wine's file trace"
trace=$(mktemp) report=$(mktemp)
trap 'rm -f "$trace" "$report"' EXIT
WINEDEBUG=+file run "$tst_download" "moves:https" "moves:https, trusted" \
  > "$report" 2> "$trace" || fail "the https: rows: $(cat "$report")"
grep -qi 'libssl-3' "$trace" || fail "the trace shows no TLS library loaded: it proves nothing"
[ ! -e "$marker" ] || fail "TLS loaded the DLL that the planted openssl.cnf names"
# Qt's list of Unix certificate folders, as Windows or Wine would write them.
sep='[/\\]{1,2}'
unix_dirs="(etc${sep}ssl|usr${sep}(lib|share|local)${sep}ssl|var${sep}ssl|(etc|opt)${sep}openssl)($sep|\")"
read_dirs=$(grep -ioE "(${sep}|:)${unix_dirs}[^\"]*" "$trace" | sort -u | head -n 5 || true)
[ -z "$read_dirs" ] || fail "Unix certificate folders were looked at: $read_dirs"
step "TLS started, the planted DLL not loaded, no Unix certificate folder looked at"
