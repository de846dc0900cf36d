#!/usr/bin/env bash
# Checks tests/tools/check-imports against small programs built here with
# imports that are known in advance: by name and by ordinal only, for both
# architectures, and one that declares delay-loaded imports. Needs the
# mingw-w64 cross tools and python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check=$here/check-imports
work=$(mktemp -d /tmp/check-imports-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS PATTERN -- ARGS...: check-imports ARGS exits with STATUS and
# its output contains PATTERN (a fixed string; empty for none).
expect() {
    local want=$1 pattern=$2 out status=0
    shift 3
    out=$("$check" "$@" 2>&1) || status=$?
    if [ "$status" != "$want" ] || ! grep -qF -- "$pattern" <<<"$out"; then
        echo "FAIL: check-imports $* -> status $status (want $want), output:" >&2
        printf '    %s\n' "$out" >&2
        [ -z "$pattern" ] || echo "    (expected to contain: $pattern)" >&2
        failures=$((failures + 1))
    else
        echo "ok: check-imports $(basename "$1") $(basename "${2:-}") -> $status${pattern:+, \"$pattern\"}"
    fi
}

cd "$work"
cat >imports.def <<'DEF'
LIBRARY sample.dll
EXPORTS
  named
  numbered @17 NONAME
DEF
cat >main.c <<'C'
void named(void);
void numbered(void);
int main(void) { named(); numbered(); return 0; }
C
for arch in i686 x86_64; do
    cc=$arch-w64-mingw32-gcc
    dump=$arch-w64-mingw32-objdump
    $arch-w64-mingw32-dlltool -d imports.def -l libsample-$arch.a
    $cc -o plain-$arch.exe main.c -L. -lsample-$arch
    # GNU ld leaves the delay-import directory empty even for dlltool's delay
    # libraries, so a program that declares delay-loaded imports is made by
    # filling in that directory entry (number 13) of a copy.
    python3 - plain-$arch.exe delay-$arch.exe <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
opt = pe + 24
dirs = opt + (96 if struct.unpack_from("<H", data, opt)[0] == 0x10B else 112)
struct.pack_into("<II", data, dirs + 13 * 8, 0x1000, 0x40)
open(sys.argv[2], "wb").write(data)
PY
    # The runtime's own imports, so that only the sample DLL is in question.
    { "$check" plain-$arch.exe /dev/null "$dump" || true; } |
        sed -n 's/^  \(.*\)!\(.*\)$/\1 \2/p' | { grep -v '^sample\.dll ' || true; } >runtime-$arch.txt
    [ -s runtime-$arch.txt ] || { echo "FAIL: no runtime imports listed for $arch" >&2; exit 1; }

    { cat runtime-$arch.txt; echo "sample.dll named"; echo "sample.dll #17  # by number"; } >all-$arch.txt
    expect 0 "all on the list" -- plain-$arch.exe all-$arch.txt "$dump"
    { cat runtime-$arch.txt; echo "sample.dll named"; } >no-ordinal-$arch.txt
    expect 1 "sample.dll!#17" -- plain-$arch.exe no-ordinal-$arch.txt "$dump"
    { cat runtime-$arch.txt; echo "# sample.dll named"; echo "sample.dll #17"; } >no-name-$arch.txt
    expect 1 "sample.dll!named" -- plain-$arch.exe no-name-$arch.txt "$dump"
    other=$([ $arch = i686 ] && echo x86_64 || echo i386)
    own=$([ $arch = i686 ] && echo i386 || echo x86_64)
    { cat runtime-$arch.txt; echo "sample.dll named $other"; echo "sample.dll #17"; } >other-arch-$arch.txt
    expect 1 "sample.dll!named" -- plain-$arch.exe other-arch-$arch.txt "$dump"
    { cat runtime-$arch.txt; echo "sample.dll named $own"; echo "sample.dll #17"; } >own-arch-$arch.txt
    expect 0 "all on the list" -- plain-$arch.exe own-arch-$arch.txt "$dump"
    expect 1 "delay-loaded" -- delay-$arch.exe all-$arch.txt "$dump"
    # Once the list names DLLs that may be imported at start, any other fails.
    runtime_dlls=$(cut -d' ' -f1 runtime-$arch.txt | sort -u | sed 's/^/static /')
    { cat all-$arch.txt; echo "$runtime_dlls"; } >static-runtime-$arch.txt
    expect 1 "sample.dll at start" -- plain-$arch.exe static-runtime-$arch.txt "$dump"
    { cat static-runtime-$arch.txt; echo "static sample.dll"; } >static-all-$arch.txt
    expect 0 "all on the list" -- plain-$arch.exe static-all-$arch.txt "$dump"
done
# The checked-in list must not let a function that Vista added slip through.
cat >vista.c <<'C'
#define _WIN32_WINNT 0x0600
#include <windows.h>
int main(void) { return (int)GetTickCount64(); }
C
for arch in i686 x86_64; do
    $arch-w64-mingw32-gcc -o vista-$arch.exe vista.c
    expect 1 "kernel32.dll!GetTickCount64" -- vista-$arch.exe "$here/xp-sp2-imports.txt" $arch-w64-mingw32-objdump
done
expect 1 "not a readable" -- "$work/missing.exe" all-x86_64.txt x86_64-w64-mingw32-objdump
expect 1 "not a readable" -- main.c all-x86_64.txt x86_64-w64-mingw32-objdump
echo "Sample.dll named" >bad-list.txt
expect 2 "bad-list.txt:1" -- plain-x86_64.exe bad-list.txt x86_64-w64-mingw32-objdump
expect 2 "usage" -- plain-x86_64.exe

if [ "$failures" != 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "check-imports: all self-checks passed"
