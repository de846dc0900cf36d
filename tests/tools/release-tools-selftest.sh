#!/usr/bin/env bash
# Checks tools/trust-update-key and tools/sign-update on a made-up program
# file, with a key pair made here for the purpose. Needs python3 and openssl.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
trust=$repo/tools/trust-update-key
sign=$repo/tools/sign-update
work=$(mktemp -d /tmp/release-tools-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out key.pem 2>/dev/null
openssl pkey -in key.pem -pubout -out pub.pem
# block PEM: the key block a program that trusts PEM carries.
block() {
    python3 -c 'import sys
pem = open(sys.argv[1], "rb").read().replace(b"\r\n", b"\n").strip()
sys.stdout.buffer.write((b"NOLVARA-TRUSTED-UPDATE-KEY\n" + pem).ljust(1024, b"\0"))' "$1"
}
seq 1 700 >before
seq 5000 5400 >after
cat before <(block "$repo/keys/update-release.pem") after >release.exe
cp release.exe release.orig
cat before <(block pub.pem) after >expected.exe

"$trust" release.exe pub.pem test.exe
cmp -s test.exe expected.exe || fail "the copy differs from the program in more than its key block"
cmp -s release.exe release.orig || fail "the program itself changed"
ok "the copy trusts the test key, every other byte kept"
sed 's/$/\r/' pub.pem >pub-crlf.pem
"$trust" release.exe pub-crlf.pem test-crlf.exe
cmp -s test-crlf.exe expected.exe || fail "CR LF line ends were kept"
ok "CR LF line ends become line feeds"
"$trust" test.exe "$repo/keys/update-release.pem" back.exe
cmp -s back.exe release.orig || fail "a second run on the copy did not give the program back"
ok "a second run on the copy puts the release key back"

# refused NAME ARGS...: trust-update-key fails and writes nothing.
refused() {
    local name=$1
    shift
    if "$trust" "$@" 2>err; then fail "$name: accepted"; fi
    case $3 in out*) [ ! -e "$3" ] || fail "$name: wrote $3" ;; esac
    ok "$name: refused ($(cat err))"
}
seq 1 2000 >untagged.exe
refused "no key block" untagged.exe pub.pem out1.exe
cat release.exe release.exe >twice.exe
refused "two key blocks" twice.exe pub.pem out2.exe
{ echo "-----BEGIN PUBLIC KEY-----"; head -c 800 /dev/zero | base64; echo "-----END PUBLIC KEY-----"; } >long.pem
refused "PEM too long" release.exe long.pem out3.exe
refused "private key given" release.exe key.pem out4.exe
refused "output is the input" test.exe pub.pem test.exe
refused "output is the input, by another path" test.exe pub.pem ./test.exe
cmp -s test.exe expected.exe || fail "the refused run changed its input"
ls .trust-update-key.* >/dev/null 2>&1 && fail "temporary files left behind"

sig=$("$sign" key.pem 42 release.exe)
[[ $sig =~ ^[0-9a-f]{768}$ ]] || fail "the signature is not 384 bytes of lower-case hex: $sig"
python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' "$sig" >sig.bin
# verifies BUILD: the signature holds for BUILD, a line feed and the file.
verifies() { { printf '%s\n' "$1"; cat release.exe; } | openssl dgst -sha256 -verify pub.pem -signature sig.bin >/dev/null 2>&1; }
verifies 42 || fail "the signature does not verify"
ok "the signature verifies over the build, a line feed and the file"
! verifies 43 || fail "the signature verifies for another build"
ok "the signature does not verify for another build"
for args in "key.pem 4#2 release.exe" "key.pem 42 missing.exe" "missing.pem 42 release.exe" "key.pem 42"; do
    # shellcheck disable=SC2086
    if "$sign" $args >/dev/null 2>err; then fail "sign-update $args: accepted"; fi
    ok "sign-update $args: refused ($(cat err))"
done
if "$sign" key.pem $'4\n2' release.exe >/dev/null 2>err; then fail "sign-update: a build with a line feed accepted"; fi
ok "sign-update: a build with a line feed refused"
if "$sign" key.pem $'4\t2' release.exe >/dev/null 2>err; then fail "sign-update: a build with a tab accepted"; fi
ok "sign-update: a build with another control character refused"

# program-build reads the build from a version resource's fixed part; make-dist
# refuses to sign a binary that carries another build than the source's.
build=$repo/tools/program-build
versioned() { python3 -c 'import struct, sys
fixed = struct.pack("<IIII", 0xFEEF04BD, 0x10000, (1 << 16) | 23, int(sys.argv[1]) << 16)
sys.stdout.buffer.write(b"MZ" + bytes(300) + fixed + bytes(100))' "$1"; }
versioned 5 >five.exe
[ "$("$build" five.exe)" = 5 ] || fail "program-build does not read build 5"
"$build" five.exe 5 || fail "program-build refuses the build the binary carries"
if "$build" five.exe 6 2>err; then fail "program-build: a binary of build 5 passed as build 6"; fi
ok "program-build: a binary of build 5 refused as build 6 ($(cat err))"
cat five.exe five.exe >twice-versioned.exe
for bad in release.exe twice-versioned.exe; do
    if "$build" $bad 5 2>err; then fail "program-build $bad: accepted"; fi
    ok "program-build $bad: refused ($(cat err))"
done
source_build=$(sed -n 's/.*kProgramVersion = \([0-9][0-9]*\);.*/\1/p' "$repo/src/core/ProgramState.h")
for exe in "$repo"/out/*/P_nolvara.exe; do
    [ -f "$exe" ] || continue
    "$build" "$exe" "$source_build" || fail "$exe does not carry the source's build $source_build"
    ok "$exe carries build $source_build"
done
# Both programs within 512 KiB, what every update's download is held to.
for arch in x86_64 i686; do
    exe=$repo/out/$arch/P_nolvara.exe
    [ -f "$exe" ] || fail "$exe is missing: run make build first"
    size=$(stat -c %s "$exe")
    [ "$size" -le 524288 ] || fail "$exe is $size bytes, over 512 KiB"
    ok "$exe: $size bytes, within 512 KiB"
done

# make-dist's manifests for the Windows Package Manager: the required fields
# of schema 1.6 or later, the zip's address and hash, the command inside.
NOLVARA_DIST_DIR=$work/dist NOLVARA_UPDATE_BASE_URL=https://dl.example.test/n "$repo/tools/make-dist" >dist.log 2>&1 ||
    fail "make-dist: $(cat dist.log)"
python3 - "$work/dist" <<'PY' || fail "the package manager's manifests"
import glob, hashlib, re, sys, zipfile
(archive,) = glob.glob(sys.argv[1] + "/nolvara-*.zip")
version = re.search(r"nolvara-(.+)\.zip$", archive).group(1)
text = {kind: open("%s/winget/Nolvara.Nolvara%s.yaml" % (sys.argv[1], name)).read()
        for kind, name in (("version", ""), ("installer", ".installer"), ("defaultLocale", ".locale.en-US"))}
need = {"version": ["DefaultLocale"], "installer": ["InstallerType: zip", "NestedInstallerType: portable"],
        "defaultLocale": ["PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"]}
for kind, body in text.items():
    for field in ["PackageIdentifier", "PackageVersion: " + version, "ManifestType: " + kind] + need[kind]:
        assert re.search("^" + field, body, re.M), "%s manifest: no %s" % (kind, field)
    assert tuple(map(int, re.search(r"^ManifestVersion: ([\d.]+)", body, re.M).group(1).split("."))) >= (1, 6)
listed = lambda key: re.findall(r"^[ -]*%s: (.+)$" % key, text["installer"], re.M)
sha = hashlib.sha256(open(archive, "rb").read()).hexdigest().upper()
assert listed("InstallerSha256") == [sha, sha], "hashes %s, the zip's is %s" % (listed("InstallerSha256"), sha)
assert set(listed("InstallerUrl")) == {"https://dl.example.test/n/nolvara-%s.zip" % version}, listed("InstallerUrl")
assert listed("RelativeFilePath") == ["i686/P_nolvara.exe", "x86_64/P_nolvara.exe"], listed("RelativeFilePath")
assert set(listed("RelativeFilePath")) <= set(zipfile.ZipFile(archive).namelist())
assert listed("PortableCommandAlias") == ["nolvara", "nolvara"] and listed("Architecture") == ["x86", "x64"]
print("ok: the manifests name the zip, its hash %s and the command nolvara" % sha)
PY
echo "release tools: all self-checks passed"
