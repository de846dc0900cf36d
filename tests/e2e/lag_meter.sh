#!/usr/bin/env bash
# The lag meter from outside: a router that answers late while the stand-in
# service runs (while Windows would scan), a hidden run that records every
# second, the report of that record, and the lag test asked for on the
# window's page, in both languages.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install 2

# Long enough after the first answer for a good number of scanning seconds.
DELAY=20
e2e_store_router "$DELAY"
REPORT='C:\e2e\lag.csv'
REPORT_FILE=$WINEPREFIX/drive_c/e2e/lag.csv
MARKER=$WINEPREFIX/drive_c/e2e/wzc_standin.scanning
# Control IDs: 1000 + place in the window's creation order.
BOX_LAG=1034
L_LAGSCAN=1037
B_LAGTEST=1039
L_LAGSTATE=1041

# lag_report PATH: the report run's exit status.
lag_report() {
    local status=0
    e2e_wine "$E2E_PROGRAM" -lagreport "$1" >>"$E2E_DIR/program.log" 2>&1 || status=$?
    echo "$status"
}
# The report's figures: seconds, lag spikes (answers of 50 ms or more, late
# seconds) and answers per scan state, lines more than a second after the one
# before, lines not after it at all, and lines that do not read as the report's.
report_figures() {
    python3 - "$REPORT_FILE" <<'PY'
import datetime, sys
data = open(sys.argv[1], "rb").read().decode("ascii")
lines = data.split("\r\n")
assert lines[0] == "time,scan,result,rtt_ms,signal,scans" and lines[-1] == "", "header or line ends"
seconds = {"on": 0, "off": 0}; spikes = dict(seconds); answers = dict(seconds)
steps = back = bad = 0; last = None
for line in lines[1:-1]:
    t, scan, result, rtt, signal, scans = line.split(",")
    when = datetime.datetime.strptime(t, "%Y-%m-%d %H:%M:%S")
    if last is not None and (when - last).total_seconds() > 1: steps += 1
    if last is not None and (when - last).total_seconds() < 1: back += 1
    last = when
    # The service way hears no scans: the column stays empty.
    ok = scan in seconds and signal == "" and scans == "" and (
        (result == "answer" and rtt.isdigit()) or (result in ("late", "nolink") and rtt == ""))
    if not ok: bad += 1; continue
    seconds[scan] += 1
    answers[scan] += result == "answer"
    spikes[scan] += result == "late" or (result == "answer" and int(rtt) >= 50)
print(seconds["on"], spikes["on"], answers["on"], seconds["off"], spikes["off"], answers["off"], steps, back, bad)
PY
}
off_seconds_at_least() {
    [ "$(lag_report "$REPORT")" = 0 ] && [ "$(report_figures | awk '{print $4}')" -ge "$1" ]
}

e2e_step "without a hidden run there is no record to report"
e2e_expect "report without a record" "$(lag_report "$REPORT")" 1
[ ! -e "$REPORT_FILE" ] || e2e_fail "a report was written without a record"
e2e_ok "exit status 1, no file"

e2e_step "the router answers late on a schedule while Windows would scan"
[ -e "$MARKER" ] || e2e_fail "the running stand-in service shows no scanning marker"
e2e_router_silent
# While scanning, every fourth answer is a spike of 70 ms and every fourth is late.
ip netns exec "$E2E_RT_NS" python3 "$(dirname "$0")/tools/late_router.py" "$MARKER" \
    "$E2E_DIR/router.log" 0 70 0 400 >>"$E2E_DIR/router.err" 2>&1 &
# The clean-up ends it with the namespace; no word of the shell about it then.
disown
router_answers() { e2e_driver ping "$E2E_ROUTER_IP" 1000 >/dev/null; }
e2e_wait_for 10 router_answers ||
    e2e_fail "the late router does not answer within 10 s: $(cat "$E2E_DIR/router.err")"
e2e_ok "the responder answers"

e2e_step "a hidden run records every second; the report shows spikes while scanning and none without"
started=$EPOCHREALTIME
e2e_start -hide
# The first answer a second in, the delay, and slack for the switch.
e2e_expect_wireless_within 4 stopped $(((DELAY + 5) * 1000)) "$started" "the hidden run's start"
[ ! -e "$MARKER" ] || e2e_fail "the stand-in still says it scans"
e2e_wait_for 30 off_seconds_at_least 12 || e2e_fail "no 12 seconds without scanning within 30 s"
read -r on on_spikes on_answers off off_spikes off_answers steps back bad <<<"$(report_figures)"
e2e_log "report: $on s scanning ($on_spikes spikes, $on_answers answers), $off s not ($off_spikes spikes, $off_answers answers)"
sed -n '1,4p;$p' "$REPORT_FILE" | tr -d '\r' | sed 's/^/    /'
[ "$bad" = 0 ] || e2e_fail "$bad lines do not read as the report's"
# A tick that a switch of the service held back past the next second skips
# that second; a busy machine may slow the router's answer now and then.
[ "$back" = 0 ] || e2e_fail "$back lines are not after the one before"
[ "$steps" -le 1 ] || e2e_fail "$steps lines are more than a second after the one before"
[ "$on" -ge $((DELAY - 3)) ] || e2e_fail "only $on scanning seconds in a delay of $DELAY s"
[ "$on_spikes" -ge $((on / 4)) ] || e2e_fail "only $on_spikes spikes in $on scanning seconds"
[ "$off_spikes" -le 1 ] && [ "$off_answers" -ge $((off - 1)) ] ||
    e2e_fail "$off_spikes spikes and $((off - off_answers)) silent seconds without scanning"
e2e_ok "one line per second, spikes only while Windows could scan"
e2e_expect "report into a folder that does not exist" "$(lag_report 'C:\no-such-folder\lag.csv')" 2
e2e_expect "report in place of a folder" "$(lag_report 'C:\e2e')" 2
[ -d "$WINEPREFIX/drive_c/e2e" ] || e2e_fail "the report replaced the folder"
leftover=$(find "$WINEPREFIX/drive_c" -maxdepth 2 -name '*.part*')
[ -z "$leftover" ] || e2e_fail "a report that failed left $leftover"

e2e_step "the lag test from the window's page: a minute scanning, a minute not, and the verdict"
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the window does not show within 20 s"
e2e_keys alt+c l
e2e_driver wait-visible 5000 "$BOX_LAG" >/dev/null || e2e_fail "the lag page does not show"
e2e_driver wait-text "$L_LAGSCAN" 'Windows scanning\r\n' 3000 >/dev/null ||
    e2e_fail "the table does not show: $(e2e_driver text --escaped "$L_LAGSCAN")"
e2e_screenshot lag-meter-en
e2e_driver click "$B_LAGTEST" >/dev/null || e2e_fail "cannot click Lag test"
e2e_driver wait-text "$L_LAGSTATE" 'Lag test: ' 5000 >/dev/null ||
    e2e_fail "the test does not start: $(e2e_driver text "$L_LAGSTATE")"
e2e_wait_for 5 test -e "$MARKER" || e2e_fail "Windows may not scan in the test's first minute"
e2e_driver click "$B_LAGTEST" >/dev/null
e2e_driver wait-text "$L_LAGSTATE" 'A lag test is running already.' 3000 >/dev/null ||
    e2e_fail "a second request is not refused: $(e2e_driver text "$L_LAGSTATE")"
# Two minutes, a second of slack for each switch, and the page's refresh;
# in turns, as no command of the scenario may take a minute.
verdict_shown() { e2e_driver wait-text "$L_LAGSTATE" 'Lag spikes in 60 s: ' 10000 >/dev/null 2>&1; }
e2e_wait_for 180 verdict_shown || e2e_fail "no verdict: $(e2e_driver text "$L_LAGSTATE")"
verdict=$(e2e_driver text "$L_LAGSTATE")
e2e_log "verdict: $verdict"
[[ $verdict =~ ^Lag\ spikes\ in\ 60\ s:\ ([0-9]+)\ with\ Windows\ scanning,\ ([0-9]+)\ without\.$ ]] ||
    e2e_fail "the verdict does not read as one"
[ "${BASH_REMATCH[1]}" -ge 15 ] && [ "${BASH_REMATCH[2]}" -le 1 ] ||
    e2e_fail "not many spikes with scanning and next to none without"
e2e_expect "WZCSVC after the test" "$(e2e_driver wireless)" "4 stopped"
e2e_screenshot lag-test-en

e2e_step "the page in German"
e2e_driver close >/dev/null
e2e_wait_started_run 20 || e2e_fail "the window does not close"
e2e_reg_add 'SOFTWARE\Nolvara' language REG_SZ german
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the window does not show within 20 s"
e2e_keys alt+s l
e2e_driver wait-text "$L_LAGSTATE" 'Lag-Spitzen in 60 s: ' 3000 >/dev/null ||
    e2e_fail "no German verdict: $(e2e_driver text "$L_LAGSTATE")"
e2e_ok "$(e2e_driver text "$L_LAGSTATE" | iconv -f CP1252 -t UTF-8)"
e2e_screenshot lag-test-de
