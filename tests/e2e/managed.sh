#!/usr/bin/env bash
# A managed machine: a delay and a router list under Policies govern a hidden
# run whose own settings say otherwise; -noguiinst ends with 2 for a bad
# argument and installs nothing; -noguiuninst ends with 0 and leaves nothing.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install 2
OWN='SOFTWARE\Nolvara'
C="$WINEPREFIX/drive_c"
expect_exit() { # SECONDS CODE: the last started run ends within SECONDS with CODE
    e2e_wait_started_run "$1" || e2e_fail "the run still runs after $1 s"
    local code=0
    wait "$E2E_STARTED_PID" || code=$?
    e2e_expect "exit code" "$code" "$2"
}

e2e_step "the policy's router and 2 s govern, not the user's own (nobody, 30 s)"
e2e_reg_add "$OWN\\IPList" ip1 REG_SZ "${E2E_ROUTER_IP%.1}.99"
e2e_reg_add "$OWN" shutdowndelay REG_DWORD 30
e2e_reg_add 'SOFTWARE\Policies\Nolvara\IPList' ip1 REG_SZ "$E2E_ROUTER_IP"
e2e_reg_add 'SOFTWARE\Policies\Nolvara' shutdowndelay REG_DWORD 2
e2e_start -hide
e2e_expect_switched_off_after 2
e2e_expect "own delay" "$(e2e_driver reg-get "$OWN" shutdowndelay)" 'REG_DWORD|30'
e2e_kill_program

e2e_step "-noguiinst: 2 and nothing for a bad argument, 0 once installed; -noguiuninst: 0, nothing left"
e2e_start -noguiinst -ip "$E2E_ROUTER_IP" -path 'relative\folder'
expect_exit 30 2
[ ! -e "$C/Nolvara" ] && [ -z "$(e2e_program_pids)" ] || e2e_fail "something was installed or started"
e2e_start -noguiinst -ip "$E2E_ROUTER_IP"
expect_exit 30 0
e2e_wait_installed_hidden_run 10 >/dev/null || e2e_fail "no hidden run of the installed copy"
e2e_start -noguiuninst
expect_exit 60 0 # it waits up to 30 s for the remover
e2e_wait_for 20 e2e_file_gone "$C/nolvararemove.exe" && e2e_wait_for 20 e2e_file_gone "$C/remove.bat" &&
    [ ! -e "$C/Nolvara" ] || e2e_fail "the remover, its batch file or C:\\Nolvara\\ stays"
e2e_expect "HKLM\\$OWN" "$(e2e_driver reg-key-exists "$OWN" || true)" missing
e2e_expect "Run entry" "$(e2e_driver reg-get 'Software\Microsoft\Windows\CurrentVersion\Run' Nolvara || echo missing)" missing
e2e_wait_program_gone 10 || e2e_fail "a program still runs: $(e2e_program_pids)"
e2e_ok "no copy, folder, remover, batch, setting, Run entry or process left"
