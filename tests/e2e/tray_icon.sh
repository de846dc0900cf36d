#!/usr/bin/env bash
# The hidden run's notification icon as a person uses it: it appears in the
# notification area (Wine's tray window) while the run controls the wireless
# service; its menu, opened with a right click and walked from the keyboard,
# pauses automatic control (the service runs again), resumes it (off again at
# once, the router answering) and ends the run as a log-off does, the icon
# going with it and the start at log-on staying.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install
e2e_store_router 2
# Installed with the start at log-on, as "Enable automatic control" leaves it.
e2e_reg_add 'SOFTWARE\Nolvara' autostart REG_DWORD 1
hidden="$E2E_PROGRAM_PATTERN -hide\$"
e2e_start -hide

icons() { e2e_driver tray-icons | tr -d '\r'; }
has_icon() { [ "$(icons)" = 1 ]; }
has_none() { [ "$(icons)" = 0 ]; }

# menu KEY [SCREENSHOT]: opens the icon's menu with a right click on it and
# chooses the item of that mnemonic letter. The menu is a window of the
# program's own: the keys reach it once it has the X focus, which the tray
# window of Wine's explorer keeps otherwise.
menu() {
    local tray geometry at popup= w
    tray=$(timeout 10 xdotool search --name '^Wine System Tray$' | head -n1) || true
    [ -n "$tray" ] || e2e_fail "Wine's tray window is not on the display"
    geometry=$(timeout 10 xdotool getwindowgeometry --shell "$tray") ||
        e2e_fail "cannot read the tray window's place"
    eval "$(grep -E '^(X|Y|HEIGHT)=[0-9]+$' <<<"$geometry")"
    # The icon lies at the tray window's bottom left, below its caption; the
    # pointer comes from elsewhere, or the move would never be seen.
    timeout 10 xdotool mousemove 600 400 mousemove --sync $((X + 12)) $((Y + HEIGHT - 12)) click 3 ||
        e2e_fail "cannot right-click the icon"
    at=$(e2e_driver wait-menu 3000 | tr -d '\r') || e2e_fail "no menu opened within 3 s of the right click"
    # Its X window is the visible one at the menu's place.
    for w in $(timeout 10 xdotool search --onlyvisible --name ''); do
        geometry=$(timeout 10 xdotool getwindowgeometry --shell "$w") || continue
        if [ "$(grep -E '^[XY]=' <<<"$geometry" | cut -d= -f2 | tr '\n' ' ')" = "$at " ]; then
            popup=$w
            break
        fi
    done
    [ -n "$popup" ] || e2e_fail "no X window at the menu's place $at"
    timeout 10 xdotool windowfocus --sync "$popup" || e2e_fail "cannot give the menu the focus"
    [ -z "${2:-}" ] || e2e_screenshot "$2"
    timeout 10 xdotool key "$1" || e2e_fail "cannot press $1 in the menu"
}

# expect_tip TEXT: the icon's tooltip begins with TEXT within 3 s.
expect_tip() {
    local tip
    tip_is() { tip=$(e2e_driver tray-tip | tr -d '\r') && [ "${tip:0:${#1}}" = "$1" ]; }
    e2e_wait_for 3 tip_is "$1" || e2e_fail "the icon's tooltip is \"$tip\", not \"$1...\""
    e2e_ok "tooltip \"${tip//$'\n'/ / }\""
}

e2e_step "the icon is in the notification area, the service switched off"
e2e_wait_for 20 has_icon || e2e_fail "no icon in Wine's tray window within 20 s (icons: $(icons))"
e2e_ok "one icon"
e2e_expect_switched_off_after 2
expect_tip "Nolvara: Wireless Zero is disabled"

e2e_step "Pause for 1 hour: Windows may scan again"
menu p tray-menu
start=$EPOCHREALTIME
e2e_expect_wireless_within 2 running 5000 "$start" "the pause was chosen"
held=$(e2e_driver hold-wireless 2 running 3000) ||
    e2e_fail "the router's answers switched the service during the pause: $held"
e2e_ok "still running 3 s later, the router answering"
expect_tip "Nolvara: Wireless Zero is running, paused for 60 min"

e2e_step "Resume now: the probe loop decides again, off at once"
menu r
start=$EPOCHREALTIME
e2e_expect_wireless_within 4 stopped 3000 "$start" "the resume was chosen"
expect_tip "Nolvara: Wireless Zero is disabled"

e2e_step "End automatic control: the run ends as at a log-off, its icon with it"
menu e
e2e_wait_program_gone 10 "$hidden" || e2e_fail "P_nolvara.exe -hide still runs 10 s after the choice"
e2e_expect "WZCSVC after the end" "$(e2e_driver wireless | tr -d '\r')" "2 running"
e2e_wait_for 5 has_none || e2e_fail "the icon stayed behind (icons: $(icons))"
e2e_ok "no icon left"
run=$(e2e_driver reg-get 'Software\Microsoft\Windows\CurrentVersion\Run' Nolvara | tr -d '\r') ||
    e2e_fail "the start at log-on is gone"
e2e_expect "the start at log-on" "$run" 'REG_SZ|C:\Nolvara\P_nolvara.exe -hide'
