#!/usr/bin/env bash
# Makes a release of the built programs as a publisher would, into a folder of
# its own, with a throwaway code-signing certificate and update key pair: both
# programs carry an Authenticode signature that verifies and names the
# program, the served file's update signature holds over those signed bytes,
# and a changed byte breaks the Authenticode signature. Without a certificate
# the release is made all the same, unsigned, and says so.
# Needs `make build`, osslsigncode, openssl and python3.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/codesign-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Nolvara test publisher" \
    -addext extendedKeyUsage=codeSigning -days 2 -keyout cert.key -out cert.pem 2>/dev/null
printf 'throwaway secret\n' >password
openssl pkcs12 -export -inkey cert.key -in cert.pem -out cert.pfx -passout file:password
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out update.key 2>/dev/null
openssl pkey -in update.key -pubout -out update.pem

# dist DIR [PFX]: make-dist into DIR, its output in DIR.log.
dist() {
    NOLVARA_DIST_DIR=$work/$1 NOLVARA_SIGNING_KEY=$work/update.key NOLVARA_RELEASE_KEY_PEM=$work/update.pem \
        NOLVARA_CODESIGN_PFX=${2:-} NOLVARA_CODESIGN_PASSWORD_FILE=$work/password \
        "$repo/tools/make-dist" >"$1.log" 2>&1
}
# unpacked DIR: the archive's programs under DIR/zip.
unpacked() { python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$1"/nolvara-*.zip "$1/zip"; }
verifies() { osslsigncode verify -CAfile cert.pem -in "$1" >verify.log 2>&1; }

dist signed "$work/cert.pfx" || fail "make-dist with a certificate: $(cat signed.log)"
grep -q 'Authenticode-signed' signed.log || fail "make-dist does not say that it signed: $(cat signed.log)"
unpacked signed
for exe in signed/files/P_nolvara.exe signed/zip/x86_64/P_nolvara.exe signed/zip/i686/P_nolvara.exe; do
    verifies "$exe" || fail "$exe: the Authenticode signature does not verify: $(tail -n 5 verify.log)"
    grep -q 'SHA256' verify.log || fail "$exe: not signed with SHA-256"
    grep -q 'Nolvara' verify.log && grep -q 'http://www.nolvara.net/' verify.log ||
        fail "$exe: the signature names neither the program nor its address"
    ok "$exe: Authenticode, SHA-256, program name and address"
done
cmp -s signed/files/P_nolvara.exe signed/zip/i686/P_nolvara.exe ||
    fail "the served program is not the archive's 32-bit one"

IFS='#' read -r _ _ _ _ build signature _ <signed/update/index.html || true  # no line end
python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' "$signature" >update.sig
{ printf '%s\n' "$build"; cat signed/files/P_nolvara.exe; } |
    openssl dgst -sha256 -verify update.pem -signature update.sig >/dev/null 2>&1 ||
    fail "the update signature does not hold over the Authenticode-signed file"
ok "the update signature holds over the served, Authenticode-signed bytes"

python3 - signed/files/P_nolvara.exe changed.exe <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[0x1000] ^= 1  # inside the code, which the signature covers
open(sys.argv[2], "wb").write(data)
PY
if verifies changed.exe; then fail "a program with a changed byte still verifies"; fi
ok "a changed byte breaks the Authenticode signature"

printf 'wrong\n' >password
if dist refused "$work/cert.pfx"; then fail "make-dist signed with a wrong certificate password"; fi
[ ! -e refused ] || fail "a failed signing left a release folder"
ok "a wrong password is refused and leaves no release ($(tail -n 1 refused.log))"

dist unsigned || fail "make-dist without a certificate: $(cat unsigned.log)"
grep -q 'NOT Authenticode-signed' unsigned.log || fail "make-dist does not say that the programs are unsigned"
unpacked unsigned
cmp -s unsigned/zip/x86_64/P_nolvara.exe "$repo/out/x86_64/P_nolvara.exe" ||
    fail "the unsigned release's program differs from the build"
ok "without a certificate the programs are the built ones and make-dist says so"
echo "code signing: all self-checks passed"
