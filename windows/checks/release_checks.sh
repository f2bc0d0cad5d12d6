#!/usr/bin/env bash
# A release cannot ship unsigned. A Windows build configured with
# TOVIK_RELEASE=ON refuses before anything is built (windows/release_ready.cmake
# says why): without a certificate, without a time-stamping service, with a
# self-signed certificate, and without saying where its sources are
# published. A signed file without an RFC 3161 time stamp fails the release
# check. With a certificate
# issued by an authority and a time-stamping service on loopback, both made
# here, a copy of the program is signed and passes.
#
#   release_checks.sh PROGRAM.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
program=$(realpath "$1")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2> /dev/null || true; rm -rf "$work"' EXIT
step() { echo "release-checks: $*"; }
fail() { echo "release-checks: FAILED: $*" >&2; exit 1; }
cd "$work"

# Refused, with this reason, before anything is built.
refused() {
  local reason=$1 out; shift
  out=$(env "${clean[@]}" "$@" cmake -P "$root/windows/release_ready.cmake" 2>&1) && fail "a release was allowed: $*"
  grep -qF "$reason" <<< "$(tr -s ' \n' ' ' <<< "$out")" || fail "expected \"$reason\", got: $out"   # CMake wraps lines
  step "refused: $reason"
}

step "an authority, a code-signing certificate it issued, and a time-stamping service"
quiet() { "$@" > /dev/null 2>&1; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Test CA" -keyout ca.key -out ca.pem \
  -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign"
issue() {  # name extendedKeyUsage
  quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=Test $1" -keyout "$1.key" -out "$1.csr"
  printf 'extendedKeyUsage=critical,%s\nbasicConstraints=critical,CA:false\n' "$2" > "$1.ext"
  quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile "$1.ext" -out "$1.pem"
}
issue signer codeSigning
issue tsa timeStamping
openssl rand -hex 16 > password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 -passout file:password
echo 01 > serial
printf '%s\n' '[tsa]' 'default_tsa = tsa' 'serial = serial' 'signer_cert = tsa.pem' 'signer_key = tsa.key' \
  'certs = ca.pem' 'signer_digest = sha256' 'default_policy = 1.2.3.4.1' 'digests = sha256' 'ess_cert_id_alg = sha256' \
  > tsa.cnf
python3 - > port <<'PY' &
import http.server, subprocess
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers['Content-Length']))
        reply = subprocess.run(['openssl', 'ts', '-reply', '-config', 'tsa.cnf', '-queryfile', '/dev/stdin'],
                               input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header('Content-Type', 'application/timestamp-reply')
        self.send_header('Content-Length', str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), Stamp)
print(server.server_port, flush=True)
server.serve_forever()
PY
for _ in $(seq 50); do [ -s port ] && break; sleep 0.1; done
# Only what each step names: none of the caller's signing settings.
clean=(-u TOVIK_SIGN_PKCS12 -u TOVIK_SIGN_PASSWORD_FILE -u TOVIK_SIGN_TIMESTAMP_URL -u TOVIK_SIGN_VERIFY_CA
       -u TOVIK_SOURCE_URL -u TOVIK_SOURCE_CONTACT)
good=(TOVIK_SIGN_PKCS12="$work/signer.p12" TOVIK_SIGN_PASSWORD_FILE="$work/password"
      TOVIK_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat port)")
sources=(TOVIK_SOURCE_URL=https://example.com/sources TOVIK_SOURCE_CONTACT=sources@example.com)

refused "a release needs TOVIK_SOURCE_URL and TOVIK_SOURCE_CONTACT" "${good[@]}"
refused "no certificate" "${good[@]:2}" "${sources[@]}"
refused "no time-stamping service" "${good[@]:0:2}" "${sources[@]}"
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Self" -keyout self.key -out self.pem
openssl pkcs12 -export -inkey self.key -in self.pem -out self.p12 -passout file:password
refused "the certificate is self-signed" "${good[@]}" "${sources[@]}" TOVIK_SIGN_PKCS12="$work/self.p12"

cp "$program" program.exe
osslsigncode remove-signature -in program.exe -out unsigned.exe > /dev/null 2>&1 || cp program.exe unsigned.exe
cp unsigned.exe no-stamp.exe
env "${clean[@]}" "${good[@]:0:2}" "$root/scripts/windows-sign" no-stamp.exe
out=$("$root/scripts/windows-sign" --release-check no-stamp.exe 2>&1) && fail "a file without a time stamp passed"
grep -qF "has no RFC 3161 time stamp" <<< "$out" || fail "$out"
step "refused: a signed file without an RFC 3161 time stamp"

cp unsigned.exe release.exe
env "${clean[@]}" "${good[@]}" "$root/scripts/windows-sign" --release-ready
env "${clean[@]}" "${good[@]}" TOVIK_SIGN_VERIFY_CA="$work/ca.pem" "$root/scripts/windows-sign" release.exe
"$root/scripts/windows-sign" --release-check release.exe
step "passed: signed by an authority's certificate, with an RFC 3161 time stamp"
