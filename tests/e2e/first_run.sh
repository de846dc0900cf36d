#!/usr/bin/env bash
# A first run needs no address: no settings, and the stand-in wlanapi.dll
# lists the link to the router as the wireless interface (steps below).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
LOG=$E2E_DIR/wlan.log
# The adapter tool prints name|description|gateway per adapter.
LINK=$(e2e_wine "$NOLVARA_TOOLS/nolvara_adapters.exe" | tr -d '\r' | awk -F'|' -v d="$E2E_LINK" '$2 == d { print $1 }')
[ -n "$LINK" ] || e2e_fail "the system lists no adapter $E2E_LINK"
cp "$NOLVARA_TOOLS/wlanapi.dll" "$WINEPREFIX/drive_c/windows/system32/wlanapi.dll"
export WINEDLLOVERRIDES="mscoree,mshtml=;wlanapi=n" NOLVARA_WLAN_LOG="Z:$LOG" NOLVARA_WLAN_GUID="$LINK"

e2e_step "the settings panel proposes $E2E_LINK ($LINK); enabling stores it and hands over"
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the main window is not shown within 20 s"
e2e_keys alt+f s
e2e_expect "Auto-detect router-IP" "$(e2e_driver is-checked 1012 || true)" checked
e2e_expect "the line under it" "$(e2e_driver text 1059)" "The router is the gateway of your Wi-Fi adapter $E2E_LINK. To enter routers by hand, untick \"Auto-detect router-IP\"."
e2e_screenshot first-run
e2e_driver set-text 1006 3 >/dev/null || e2e_fail "cannot type a delay of 3 s"
e2e_keys alt+f Right e
e2e_driver dismiss-box 5000 >/dev/null || e2e_fail "no message box after Enable automatic control"
e2e_wait_installed_hidden_run 20 >/dev/null || e2e_fail "no hidden run of the installed copy within 20 s"
e2e_expect "DHCP mode and adapter" "$(e2e_driver reg-get 'SOFTWARE\Nolvara' use_dhcp) $(e2e_driver reg-get 'SOFTWARE\Nolvara' adapter)" "REG_DWORD|1 REG_SZ|$LINK"

e2e_step "the hidden run: the scan off while the gateway answers, on once the link is down"
# scan_set VALUE: the last background scan set is VALUE.
scan_set() { [ "$(grep -o 'set background_scan_enabled=[01] result=0' "$LOG" | tail -n 1)" = "set background_scan_enabled=$1 result=0" ]; }
# Its start, the first answer and the delay of 3 s; then a probe a second.
e2e_wait_for 25 scan_set 0 || e2e_fail "the scan is not off within 25 s (log: $(tail -n 4 "$LOG" | tr '\n' '|'))"
e2e_link_down
e2e_wait_for 3 scan_set 1 || e2e_fail "the scan is not on within 3 s of the link going down"
e2e_ok "off while the gateway answered, on once the link went down"
