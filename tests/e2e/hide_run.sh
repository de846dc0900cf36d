#!/usr/bin/env bash
# The automatic-control run: "-hide" makes the window but never shows it and
# keeps running, and a second one beside it ends by itself; the switch is
# case-sensitive, so "-HIDE" is an interactive run.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin

hidden_pattern="$E2E_PROGRAM_PATTERN -hide\$"
e2e_start -hide

e2e_step "-hide: the main window exists with its caption"
e2e_driver wait-window 20000 >/dev/null || e2e_fail "no window of class TF_nolvara within 20 s"
title=$(e2e_driver title --escaped) || e2e_fail "cannot read the caption"
e2e_expect "window caption" "$title" 'Nolvara |  Version 1.23'

e2e_step "-hide: the window stays hidden and the program keeps running for 3 s"
for i in 1 2 3 4 5 6; do
    shown=$(e2e_driver is-visible || true)
    e2e_expect "main window, look $i of 6" "$shown" hidden
    sleep 0.5
done
[ -n "$(e2e_program_pids "$hidden_pattern")" ] ||
    e2e_fail "P_nolvara.exe -hide is no longer running"
e2e_ok "P_nolvara.exe -hide still running"
count=$(e2e_driver count) || e2e_fail "cannot count the windows"
e2e_expect "number of TF_nolvara windows" "$count" 1
first=$(e2e_program_pids "$hidden_pattern")

e2e_step "a second -hide run ends on its own while the first one runs on"
e2e_start -hide
e2e_wait_started_run 15 || e2e_fail "the second -hide run still runs after 15 s"
e2e_expect "hidden runs" "$(e2e_program_pids "$hidden_pattern")" "$first"

e2e_kill_program "$hidden_pattern"
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window of the ended -hide run is still there"

e2e_step "-HIDE (capitals) is not the switch: the window is shown and can be closed"
e2e_start -HIDE
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the window of the -HIDE run is not shown within 20 s"
[ -n "$(e2e_program_pids "$E2E_PROGRAM_PATTERN -HIDE\$")" ] || e2e_fail "P_nolvara.exe -HIDE is not running"
e2e_ok "visible"
title=$(e2e_driver title --escaped) || e2e_fail "cannot read the caption"
e2e_expect "window caption" "$title" 'Nolvara |  Version 1.23'
e2e_driver close || e2e_fail "cannot post WM_CLOSE"
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window is still there 5 s after WM_CLOSE"
e2e_wait_program_gone 5 || e2e_fail "the -HIDE run still runs after its window closed"
e2e_ok "closed and ended"
