#!/usr/bin/env bash
# A day in the life of automatic control, with the real program and a router
# that really goes away. The hidden run ("-hide") probes the router once a
# second; the stand-in wireless service is WZCSVC with "Start" 2 and running.
#   1. The router answers: the shutdown delay (3 s here) after its first
#      answer the service is disabled ("Start" 4) and stopped.
#   2. The router ignores echo requests while the service is disabled:
#      nothing changes, replies are not judged while "Start" is 4.
#   3. The link goes down, so requests cannot be sent: the service is set to
#      start automatically ("Start" 2) and runs again.
#   4. The link comes back and the router answers: disabled and stopped at
#      once, without the delay.
#   5. The session ends (WM_QUERYENDSESSION to the hidden window): "Start" is
#      2 again, so Windows starts the service at the next boot, and the
#      program ends.
# Everything is read from outside: the registry and the service manager of
# the prefix, the hidden window's status bar, the process list.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install 2

DELAY=3
HIDDEN="$E2E_PROGRAM_PATTERN -hide\$"

expect_running() {
    [ -n "$(e2e_program_pids "$HIDDEN")" ] || e2e_fail "P_nolvara.exe -hide is no longer running"
    e2e_ok "P_nolvara.exe -hide runs"
}

# The program's settings: one router, the short delay, and the version of
# the program that saved them, as the settings panel would leave them.
e2e_store_router "$DELAY"

# A failure of the test network must not pass for one of the program.
e2e_step "the test network: an echo request from Wine reaches the router"
reply=$(e2e_driver ping "$E2E_ROUTER_IP" 1000) ||
    e2e_fail "the router $E2E_ROUTER_IP does not answer Wine's echo request ($reply)"
e2e_ok "router $E2E_ROUTER_IP: $reply"

e2e_start -hide
e2e_driver wait-window 20000 >/dev/null || e2e_fail "no window of class TF_nolvara within 20 s"
shown=$(e2e_driver is-visible || true)
e2e_expect "main window of the -hide run" "$shown" hidden

# ---------------------------------------------------------------------------
e2e_step "1. the router answers: $DELAY s after its first answer WZCSVC is disabled and stopped"
seen=$(e2e_driver wireless) || e2e_fail "cannot read WZCSVC"
e2e_expect "\"Start\" and state right after the start" "$seen" "2 running"
e2e_expect_switched_off_after "$DELAY"
e2e_expect_tip 'Nolvara: Wireless Zero is disabled'
e2e_expect_no_controls

# ---------------------------------------------------------------------------
e2e_step "2. the router falls silent while WZCSVC is disabled: nothing changes for 4 s"
e2e_router_silent
reply=$(e2e_driver ping "$E2E_ROUTER_IP" 300) || true
e2e_expect "Wine's echo request to the silent router (IP_REQ_TIMED_OUT)" "$reply" "failed 11010"
seen=$(e2e_driver hold-wireless 4 stopped 4000) ||
    e2e_fail "WZCSVC changed while the router was silent (ms, Start, state: $seen)"
e2e_ok "still \"Start\" 4 and stopped after 4 s"
expect_running
e2e_expect_tip 'Nolvara: Wireless Zero is disabled'

# ---------------------------------------------------------------------------
e2e_step "3. the router answers again and the link goes down: WZCSVC automatic and running within 3 s"
e2e_router_answers
e2e_link_down
down=$EPOCHREALTIME
e2e_expect_wireless_within 2 running 3000 "$down" "the link went down"
e2e_expect_tip 'Nolvara: Wireless Zero is running, link lost'

# ---------------------------------------------------------------------------
# The delay is armed once per run: a switch that waited for it again could
# come no sooner than 3 s after the first answer, so 2.5 s tells them apart.
e2e_step "4. the link comes back and the router answers: WZCSVC disabled and stopped at once"
e2e_link_up
up=$EPOCHREALTIME
e2e_expect_wireless_within 4 stopped 2500 "$up" "the link came back"
e2e_expect_tip 'Nolvara: Wireless Zero is disabled'

# ---------------------------------------------------------------------------
e2e_step "5. the session ends: \"Start\" back to 2, the service left alone, the program ends"
e2e_expect_session_end "$HIDDEN"
# Only the stored start mode goes back; Windows starts the service at boot.
state=$(e2e_service state) || e2e_fail "cannot read the state of WZCSVC"
e2e_expect "WZCSVC state" "$state" stopped
