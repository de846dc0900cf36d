#!/usr/bin/env bash
# DLLs left beside the program under the names of system DLLs that it loads
# (iphlpapi, which it once imported at start; ole32, which it loads at first
# use) are never the ones it takes, though a plain load by bare name from the
# same folder takes them. Wine prefers its own DLLs: for these names it is
# told to prefer one found as a file, as Windows does.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin

dir="$WINEPREFIX/drive_c/e2e"
planted=(iphlpapi.dll ole32.dll)
for dll in "${planted[@]}"; do cp "$NOLVARA_TOOLS/nolvara_planted.dll" "$dir/$dll"; done
cp "$NOLVARA_TOOLS/nolvara_loadbare.exe" "$dir/"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;iphlpapi,ole32=n,b"

e2e_step "the yardstick: a load by bare name from the program's folder takes the planted DLLs"
out=$(e2e_wine 'C:\e2e\nolvara_loadbare.exe' "${planted[@]}" 2>/dev/null) ||
    e2e_fail "the loading tool failed: $out"
for dll in "${planted[@]}"; do
    [ -e "$dir/$dll.loaded" ] || e2e_fail "$dll beside the tool was not loaded ($out): the check below would prove nothing"
    rm -f "$dir/$dll.loaded"
done
e2e_ok "both taken: $(tr '\n' ' ' <<<"$out")"

# loaded_from PID DLL: the file the process has that DLL mapped from, if any.
loaded_from() { grep -i "/$2\$" "/proc/$1/maps" 2>/dev/null | awk '{print $NF}' | sort -u | head -n1; }
# The planted DLL refuses to load, so a program that took it has ended.
fail_if_planted() {
    [ ! -e "$dir/$1.loaded" ] || e2e_fail "the planted $1 was loaded into the program"
}
# mapped PATTERN DLL: true once the program of that pattern has the DLL
# mapped; sets pid and from.
mapped() {
    pid=$(e2e_program_pids "$1" | head -n1)
    [ -n "$pid" ] && from=$(loaded_from "$pid" "$2") && [ -n "$from" ]
}
# expect_system_copy PATTERN DLL: once the program of that pattern has DLL
# mapped, it is Wine's own and the planted one left no mark.
expect_system_copy() {
    pid="" from=""
    if ! e2e_wait_for 20 mapped "$1" "$2"; then
        fail_if_planted "$2"
        e2e_fail "the program never loaded $2 within 20 s (pid ${pid:-none})"
    fi
    case $from in
    "$WINEPREFIX"/*) e2e_fail "$2 was mapped from the prefix: $from" ;;
    esac
    fail_if_planted "$2"
    e2e_ok "$2 from $from"
}

e2e_step "the hidden run, probing a router, takes iphlpapi from the system"
e2e_wine reg add 'HKLM\SOFTWARE\Nolvara\IPList' /v ip1 /t REG_SZ /d 127.0.0.1 /f >/dev/null 2>&1 ||
    e2e_fail "cannot store the router list"
e2e_start -hide
expect_system_copy "$E2E_PROGRAM_PATTERN -hide\$" iphlpapi.dll
e2e_kill_program

e2e_step "the window, which joins COM at its start, takes ole32 from the system"
e2e_start
e2e_driver wait-visible 20000 >/dev/null || { fail_if_planted ole32.dll; e2e_fail "the window did not show within 20 s"; }
expect_system_copy "$E2E_PROGRAM_PATTERN\$" ole32.dll
e2e_kill_program

e2e_step "the updater and the remover, run from the drive root, load no common controls"
for run in "-update silent" -kill; do
    # shellcheck disable=SC2086
    loads=$(WINEDEBUG=+loaddll e2e_wine "$E2E_PROGRAM" $run 2>&1 | grep -ci comctl32 || true)
    e2e_expect "loads of comctl32 by $run" "$loads" 0
done
