#!/usr/bin/env bash
# "-noguiinst" installs without a window: the settings from the switches, the
# router list, the installed copy in C:\Nolvara\, its Run entry, and a hidden
# automatic-control run of the installed copy; the installing run ends. Without
# a valid router address nothing is installed.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
# The hidden run probes the addresses it was given: the scenario's router and
# a loopback address.
e2e_begin --router

SETTINGS_KEY='SOFTWARE\Nolvara'
RUN_KEY='Software\Microsoft\Windows\CurrentVersion\Run'
INSTALLED_COPY="$WINEPREFIX/drive_c/Nolvara/P_nolvara.exe"
INSTALLER='C:\\e2e\\[P]_nolvara\.exe -noguiinst'

expect_value() { # KEY VALUE EXPECTED (driver's escaped TYPE|data)
    local got
    got=$(e2e_driver reg-get --escaped "$1" "$2") || got=missing
    e2e_expect "HKLM\\$1 \"$2\"" "$got" "$3"
}

e2e_step "without a valid address nothing is installed and the run ends"
e2e_start -noguiinst -ip 'bad;300.1.1.1' -lang german
e2e_wait_started_run 20 || e2e_fail "the installing run still runs after 20 s"
e2e_ok "the installing run has ended"
expect_value "$SETTINGS_KEY" autostart missing
expect_value "$RUN_KEY" Nolvara missing
[ ! -e "$INSTALLED_COPY" ] || e2e_fail "C:\\Nolvara\\P_nolvara.exe was placed"
[ -z "$(e2e_program_pids)" ] || e2e_fail "a program still runs: $(e2e_program_pids)"
e2e_ok "no setting, no Run entry, no installed copy, no process"

e2e_step "-noguiinst with every switch installs and hands over to a hidden run"
e2e_start -noguiinst -ip "$E2E_ROUTER_IP;bad;127.0.0.2" -delay 12 -lang german -reconnect 0
e2e_wait_started_run 30 || e2e_fail "the installing run still runs after 30 s"
[ -z "$(e2e_program_pids "$INSTALLER")" ] || e2e_fail "the installing run is still listed"
e2e_ok "the installing run has ended"
pids=$(e2e_wait_installed_hidden_run 10) || e2e_fail "no C:\\Nolvara\\P_nolvara.exe -hide runs with its window"
e2e_expect "number of hidden runs" "$(wc -w <<<"$pids" | tr -d ' ')" 1
e2e_ok "C:\\Nolvara\\P_nolvara.exe -hide runs (pid $pids)"
shown=$(e2e_driver is-visible || true)
e2e_expect "main window of the hidden run" "$shown" hidden

cmp -s "$INSTALLED_COPY" "$NOLVARA_EXE" || e2e_fail "C:\\Nolvara\\P_nolvara.exe is not the program under test"
e2e_ok "C:\\Nolvara\\P_nolvara.exe is byte for byte the program under test"
ips=$(e2e_driver reg-values "$SETTINGS_KEY\\IPList" | tr -d '\r' | sort | tr '\n' ' ') ||
    e2e_fail "no IPList key"
e2e_expect "IPList values" "$ips" 'ip1 ip2 '
expect_value "$SETTINGS_KEY\\IPList" ip1 "REG_SZ|$E2E_ROUTER_IP"
expect_value "$SETTINGS_KEY\\IPList" ip2 'REG_SZ|127.0.0.2'
expect_value "$SETTINGS_KEY" shutdowndelay 'REG_DWORD|12'
expect_value "$SETTINGS_KEY" language 'REG_SZ|german'
expect_value "$SETTINGS_KEY" restartservice 'REG_DWORD|0'
expect_value "$SETTINGS_KEY" autostart 'REG_DWORD|1'
# shellcheck disable=SC1003 # the backslashes are the text itself
expect_value "$SETTINGS_KEY" installpath 'REG_SZ|C:\\Nolvara\\'
expect_value "$RUN_KEY" Nolvara 'REG_SZ|C:\\Nolvara\\P_nolvara.exe -hide'
