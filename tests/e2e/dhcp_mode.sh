#!/usr/bin/env bash
# DHCP mode with the real program, in a network of the scenario's own whose
# default route goes through a router that can fall silent or go away.
#   1. The DHCP panel lists the link to the router, shows the router as its
#      gateway and pings it: the gateway answers.
#   2. The router ignores echo requests: the test ping fails.
#   3. The link is down: the system reports no gateway, nothing is pinged.
#   4. Save and Apply store DHCP mode with the adapter's name and no router
#      list.
#   5. A hidden run ("-hide") with that store probes the adapter's gateway:
#      the stand-in wireless service WZCSVC is disabled and stopped after the
#      delay, set to start automatically and running when the link goes
#      down, disabled and stopped at once when it comes back; at the end of
#      the session "Start" is 2 again and the program ends.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install 2
[ -f "$NOLVARA_TOOLS/nolvara_adapters.exe" ] ||
    e2e_fail "not built: $NOLVARA_TOOLS/nolvara_adapters.exe"

# Control IDs: 1000 + place in the window's creation order.
L_TEXT=1000
BOX_SETTINGS=1002
B_APPLY=1010
CHK_DHCP=1012
B_DHCPCONFIG=1013
BOX_DHCP=1024
COMBO_DHCPADAPTER=1025
LIST_ADAPTERINFO=1026
L_DHCPINFO=1027
B_DHCPSAVE=1028

SETTINGS_KEY='SOFTWARE\Nolvara'
IPLIST_KEY='SOFTWARE\Nolvara\IPList'
DELAY=3
HIDDEN="$E2E_PROGRAM_PATTERN -hide\$"

SUCCEED_EN='The device responded. If you chose the correct adapter, all settings are correct, too.'
ERROR_EN='The device did not respond. Please check whether the chosen adapter is correct and the access to the network is allowed for Nolvara.'
GETIPERROR_EN='Could not read IP. Please check, whether the chosen adapter is correct and a gateway is assigned.'

click() { e2e_driver click "$1" || e2e_fail "cannot click control $1"; }

# expect_text WHAT ID EXPECTED (escaped form)
expect_text() {
    local text
    text=$(e2e_driver text --escaped "$2") || e2e_fail "cannot read $1 (control $2)"
    e2e_expect "$1" "$text" "$3"
}

# info_lines: the information list, each line ended by |.
info_lines() {
    e2e_driver items --escaped $LIST_ADAPTERINFO | tr '\n' '|' ||
        e2e_fail "cannot read the information list"
}

# expect_info_failed GATEWAY_LINE VERDICT: a test that did not get an answer.
expect_info_failed() {
    local lines
    lines=$(info_lines)
    e2e_expect "information list lines (each ended by |)" "$lines" "Informationen:||$1|Ping: Error|"
    expect_text "verdict label" $L_DHCPINFO "$2"
}

# expect_info_answered: the four lines of a test that the router answered,
# the time in whole milliseconds right before "ms".
expect_info_answered() {
    local lines rest
    lines=$(info_lines)
    rest=${lines#"Informationen:||Gateway: $E2E_ROUTER_IP|"}
    [ "$rest" != "$lines" ] ||
        e2e_fail "information list: expected \"Informationen:||Gateway: $E2E_ROUTER_IP|Ping: <digits>ms|\", got \"$lines\""
    [[ $rest =~ ^Ping:\ [0-9]+ms\|$ ]] ||
        e2e_fail "information list: expected the line \"Ping: <digits>ms\" after the gateway, got \"$lines\""
    e2e_ok "information list is \"$lines\""
    expect_text "verdict label" $L_DHCPINFO "$SUCCEED_EN"
}

# pick_link: picks the link's entry in the adapter box as the user does,
# which runs the test again.
pick_link() {
    e2e_driver select $COMBO_DHCPADAPTER "$LINK_INDEX" ||
        e2e_fail "cannot pick entry $LINK_INDEX of the adapter box"
}

# expect_reg KEY VALUE EXPECTED: TYPE|data, data escaped.
expect_reg() {
    local value
    value=$(e2e_driver reg-get --escaped "$1" "$2") || e2e_fail "HKLM\\$1 has no value \"$2\""
    e2e_expect "HKLM\\$1 \"$2\"" "$value" "$3"
}


# The system's own name of the link (the adapter tool prints
# name|description|gateway per adapter); the panel shows only descriptions,
# and the stored setting must be this name.
e2e_step "the test network: the link to the router as the system lists it, and an echo request"
adapters=$(e2e_wine "$NOLVARA_TOOLS/nolvara_adapters.exe") || e2e_fail "the adapter tool failed: $adapters"
adapters=${adapters//$'\r'/}
e2e_log "adapters: $(printf '%s' "$adapters" | tr '\n' ';')"
LINK_NAME=
while IFS='|' read -r name description rest; do
    if [ "$description" = "$E2E_LINK" ]; then
        [ -z "$LINK_NAME" ] || e2e_fail "the system lists $E2E_LINK twice"
        LINK_NAME=$name
        e2e_expect "gateway of $E2E_LINK" "$rest" "$E2E_ROUTER_IP"
    fi
done <<<"$adapters"
[ -n "$LINK_NAME" ] || e2e_fail "the system lists no adapter $E2E_LINK with a name"
e2e_ok "$E2E_LINK is the adapter \"$LINK_NAME\""
reply=$(e2e_driver ping "$E2E_ROUTER_IP" 1000) ||
    e2e_fail "the router $E2E_ROUTER_IP does not answer Wine's echo request ($reply)"
e2e_ok "router $E2E_ROUTER_IP: $reply"

# ---------------------------------------------------------------------------
e2e_step "1. the DHCP panel: the link is listed, its gateway shown and answering"
e2e_reg_add "$SETTINGS_KEY" use_dhcp REG_DWORD 0 # chosen off once: no first run's proposal
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the main window is not shown within 20 s"
e2e_keys alt+f s
e2e_driver wait-visible 5000 $BOX_SETTINGS >/dev/null || e2e_fail "File > Settings shows no settings panel"
enabled=$(e2e_driver is-enabled $B_DHCPCONFIG || true)
e2e_expect "\"Choose Wireless-LAN device\" before DHCP mode" "$enabled" disabled
click $CHK_DHCP
enabled=$(e2e_driver is-enabled $B_DHCPCONFIG || true)
e2e_expect "\"Choose Wireless-LAN device\" in DHCP mode" "$enabled" enabled
click $B_DHCPCONFIG
e2e_driver wait-visible 5000 $BOX_DHCP >/dev/null || e2e_fail "the DHCP panel does not appear"

# One entry per adapter of the namespace: the link once, loopback at most.
entries=$(e2e_driver items --escaped $COMBO_DHCPADAPTER) || e2e_fail "cannot read the adapter box"
e2e_log "adapter box: $(printf '%s' "$entries" | tr '\n' '|')"
LINK_INDEX=
index=0
while IFS= read -r entry; do
    case $entry in
    " $E2E_LINK")
        [ -z "$LINK_INDEX" ] || e2e_fail "the adapter box lists \" $E2E_LINK\" twice"
        LINK_INDEX=$index
        ;;
    " "*[Ll]oopback* | " lo") ;;
    *) e2e_fail "the adapter box lists \"$entry\", which is no adapter of the namespace" ;;
    esac
    index=$((index + 1))
done <<<"$entries"
[ -n "$LINK_INDEX" ] || e2e_fail "the adapter box has no entry \" $E2E_LINK\""
e2e_ok "the adapter box lists \" $E2E_LINK\" as entry $LINK_INDEX of $index"
enabled=$(e2e_driver is-enabled $COMBO_DHCPADAPTER || true)
e2e_expect "adapter box" "$enabled" enabled
selected=$(e2e_driver selected $COMBO_DHCPADAPTER) || e2e_fail "cannot read the adapter box's selection"
# Without a stored adapter the panel opens on the first entry and tests it;
# that is the link unless Wine lists loopback first.
e2e_expect "entry selected when the panel opens" "$selected" 0
if [ "$LINK_INDEX" != 0 ]; then
    e2e_log "loopback comes first: picking the link"
    pick_link
fi
expect_info_answered
e2e_screenshot dhcp

# ---------------------------------------------------------------------------
e2e_step "2. the router falls silent: the test ping fails"
e2e_router_silent
pick_link
expect_info_failed "Gateway: $E2E_ROUTER_IP" "$ERROR_EN"
e2e_router_answers
pick_link
expect_info_answered

# ---------------------------------------------------------------------------
e2e_step "3. the link is down: no gateway, no ping"
e2e_link_down
pick_link
expect_info_failed "Gateway: Not available!" "$GETIPERROR_EN"
e2e_link_up
pick_link
expect_info_answered

# ---------------------------------------------------------------------------
e2e_step "4. Save and Apply store DHCP mode with the link's adapter name and no router list"
click $B_DHCPSAVE
e2e_driver wait-visible 5000 $BOX_SETTINGS >/dev/null || e2e_fail "Save does not lead back to the settings panel"
click $B_APPLY
expect_text "L_Text after Apply" $L_TEXT 'New settings have been applied!'
expect_reg "$SETTINGS_KEY" use_dhcp 'REG_DWORD|1'
expect_reg "$SETTINGS_KEY" adapter "REG_SZ|$LINK_NAME"
names=$(e2e_driver reg-values "$IPLIST_KEY" | tr '\n' ' ') || e2e_fail "HKLM\\$IPLIST_KEY is missing"
e2e_expect "values of HKLM\\$IPLIST_KEY" "$names" ""
e2e_driver close || e2e_fail "cannot post WM_CLOSE"
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window is still there 5 s after WM_CLOSE"
e2e_wait_program_gone 5 || e2e_fail "a program process still runs after the window closed: $(e2e_program_pids)"
e2e_ok "closed and ended"
seen=$(e2e_driver wireless) || e2e_fail "cannot read WZCSVC"
e2e_expect "\"Start\" and state before the hidden run" "$seen" "2 running"

# ---------------------------------------------------------------------------
e2e_step "5. the hidden run probes the adapter's gateway"
e2e_wine reg add "HKLM\\$SETTINGS_KEY" /v shutdowndelay /t REG_DWORD /d $DELAY /f >/dev/null 2>&1 ||
    e2e_fail "cannot store \"shutdowndelay\""
e2e_wine reg add "HKLM\\$SETTINGS_KEY" /v version /t REG_DWORD /d 6 /f >/dev/null 2>&1 ||
    e2e_fail "cannot store \"version\""
e2e_start -hide
e2e_driver wait-window 20000 >/dev/null || e2e_fail "no window of class TF_nolvara within 20 s"
e2e_expect_switched_off_after "$DELAY"
e2e_expect_tip 'Nolvara: Wireless Zero is disabled'

# The router list is empty: only the adapter's gateway can have answered.
e2e_expect_reconnect_cycle
e2e_expect_tip 'Nolvara: Wireless Zero is disabled'

e2e_expect_session_end "$HIDDEN"
