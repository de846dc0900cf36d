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

reg_add() {
    e2e_wine reg add "HKLM\\$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 ||
        e2e_fail "cannot store HKLM\\$1 \"$2\""
}

# expect_status PART TEXT: a part of the hidden window's status bar.
expect_status() {
    local text
    text=$(e2e_driver status --escaped "$1") || e2e_fail "cannot read status bar part $1"
    e2e_expect "status bar part $1" "$text" "$2"
}

expect_running() {
    [ -n "$(e2e_program_pids "$HIDDEN")" ] || e2e_fail "P_nolvara.exe -hide is no longer running"
    e2e_ok "P_nolvara.exe -hide runs"
}

ms_since() { echo $(((${EPOCHREALTIME/[,.]/} - ${1/[,.]/}) / 1000)); }

# The program's settings: one router, the short delay, and the version of
# the program that saved them, as the settings panel would leave them.
reg_add 'SOFTWARE\Nolvara\IPList' ip1 REG_SZ "$E2E_ROUTER_IP"
reg_add 'SOFTWARE\Nolvara' shutdowndelay REG_DWORD "$DELAY"
reg_add 'SOFTWARE\Nolvara' version REG_DWORD 6

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
# The first tick comes 1 s into the run and arms the delay, so the switch
# comes 4 s after the program's process started at the earliest; 3 s leaves
# a second for the clocks and still fails a switch without the delay.
seen=$(e2e_driver wait-wireless 4 stopped 8000) ||
    e2e_fail "WZCSVC is not disabled and stopped within 8 s of the window's appearance" \
        "(ms waited, ms since the program started, Start, state: $seen)"
read -r waited since _ <<<"$seen"
[ "$since" -ge 3000 ] ||
    e2e_fail "WZCSVC was disabled only $since ms after the program started, before its first" \
        "answer and the $DELAY s delay could have passed"
e2e_ok "disabled and stopped $since ms after the program started ($waited ms of waiting)"
expect_status 0 ' Wireless Zero is disabled'
expect_status 1 'Static'

# ---------------------------------------------------------------------------
e2e_step "2. the router falls silent while WZCSVC is disabled: nothing changes for 4 s"
e2e_router_silent
reply=$(e2e_driver ping "$E2E_ROUTER_IP" 300) || true
e2e_expect "Wine's echo request to the silent router (IP_REQ_TIMED_OUT)" "$reply" "failed 11010"
seen=$(e2e_driver hold-wireless 4 stopped 4000) ||
    e2e_fail "WZCSVC changed while the router was silent (ms, Start, state: $seen)"
e2e_ok "still \"Start\" 4 and stopped after 4 s"
expect_running
expect_status 0 ' Wireless Zero is disabled'

# ---------------------------------------------------------------------------
e2e_step "3. the router answers again and the link goes down: WZCSVC automatic and running within 3 s"
e2e_router_answers
e2e_link_down
down=$EPOCHREALTIME
seen=$(e2e_driver wait-wireless 2 running 3000) ||
    e2e_fail "WZCSVC is not set to automatic and running within 3 s of the link going down" \
        "(ms waited, ms since the program started, Start, state: $seen)"
e2e_ok "automatic and running $(ms_since "$down") ms after the link went down"
expect_status 0 ' Wireless Zero starts automatically'

# ---------------------------------------------------------------------------
# The delay is armed once per run: a switch that waited for it again could
# come no sooner than 3 s after the first answer, so 2.5 s tells them apart.
e2e_step "4. the link comes back and the router answers: WZCSVC disabled and stopped at once"
e2e_link_up
up=$EPOCHREALTIME
seen=$(e2e_driver wait-wireless 4 stopped 2500) ||
    e2e_fail "WZCSVC is not disabled and stopped within 2.5 s of the link coming back" \
        "(ms waited, ms since the program started, Start, state: $seen)"
e2e_ok "disabled and stopped $(ms_since "$up") ms after the link came back"
expect_status 0 ' Wireless Zero is disabled'

# ---------------------------------------------------------------------------
e2e_step "5. the session ends: \"Start\" back to 2, the service left alone, the program ends"
answer=$(e2e_driver send-queryendsession logoff) || e2e_fail "the hidden window does not answer WM_QUERYENDSESSION"
e2e_expect "answer to WM_QUERYENDSESSION" "$answer" 1
e2e_wait_program_gone 10 "$HIDDEN" || e2e_fail "P_nolvara.exe -hide still runs 10 s after the session ended"
e2e_ok "P_nolvara.exe -hide has ended"
value=$(e2e_service start-value) || e2e_fail "cannot read WZCSVC \"Start\""
e2e_expect "WZCSVC \"Start\"" "$value" 2
# Only the stored start mode goes back; Windows starts the service at boot.
state=$(e2e_service state) || e2e_fail "cannot read the state of WZCSVC"
e2e_expect "WZCSVC state" "$state" stopped
