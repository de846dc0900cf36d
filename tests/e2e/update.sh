#!/usr/bin/env bash
# The update chain against an update server of the scenario's own, with a
# program that trusts the scenario's own signing key: Check for update
# reports an equal build, then a newer one; a file signed by another key is
# refused with a message and the window stays; the rightly signed file
# replaces the running program's file, which is restarted, and the restarted
# program deletes the updater file. Without a server the window says so
# within about 3 s. Then a hidden run with automatic update installation asks
# on its 1800th tick; a file signed by another key is not started and the run
# goes on switching the service; 1800 ticks later the signed build replaces it.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router --update-host --trust-test-key
e2e_service_install 2

DRIVE_C="$WINEPREFIX/drive_c"
SETTINGS_KEY='SOFTWARE\Nolvara'
# Control IDs: 1000 + place in the window's creation order.
L_TEXT=1000
B_UPDATE=1001
# Timers are numbered from 1 in the window's order; the probe timer is first.
T_PING=1
# "&Check for update" sits in the menu bar beside "&Control", which shares its
# letter: alt+f opens "&File", two steps right reach it, Return chooses it.
check_for_update() { e2e_keys alt+f Right Right Return; }
FILE_URL="http://$E2E_UPDATE_HOST/files/P_nolvara_new.exe"
# The "new build": the program with bytes of its own behind it, which Windows
# ignores, so that the file that was put in place can be told apart.
NEW_BUILD="$E2E_DIR/www/files/P_nolvara_new.exe"
mkdir -p "$(dirname "$NEW_BUILD")"
{ cat "$E2E_SUBJECT"; printf 'build 7 of the scenario'; } >"$NEW_BUILD"
cmp -s "$NEW_BUILD" "$E2E_SUBJECT" && e2e_fail "the new build is the running program"
UPDATER="$DRIVE_C/nolvaraupdate.exe"

# expect_label TEXT MS: L_Text shows exactly TEXT (driver's escaped form) within MS.
expect_label() {
    local got
    e2e_driver wait-text --escaped $L_TEXT "$1" "$2" >/dev/null || true
    got=$(e2e_driver text --escaped $L_TEXT) || got="(no window)"
    e2e_expect "L_Text" "$got" "$1"
}

is_new_build() { cmp -s "$1" "$NEW_BUILD"; }
# expect_unreachable_within MS SINCE WHAT: the window says that the server
# cannot be reached within MS ms of WHAT ($EPOCHREALTIME form in SINCE).
expect_unreachable_within() {
    local took
    e2e_driver wait-text --escaped $L_TEXT 'Unable to reach update server.' 20000 >/dev/null ||
        e2e_fail "no \"Unable to reach update server\" text within 20 s"
    took=$(e2e_ms_since "$2")
    [ "$took" -le "$1" ] || e2e_fail "the text came $took ms after $3"
    e2e_ok "\"Unable to reach update server...\" $took ms after $3"
}
# tools_sign KEY: the signature field of the new build, announced as build 7.
tools_sign() { "$E2E_REPO/tools/sign-update" "$1" 7 "$NEW_BUILD" || e2e_fail "tools/sign-update failed"; }
asked() { grep -c 'GET /update/' "$E2E_DIR/http.log" || true; }
fetched() { grep -c 'GET /files/' "$E2E_DIR/http.log" || true; }
# The check's answer and the download come back to the program through its
# message loop, after the ticks that started them: wait for them to be asked for.
log_reaches() { [ "$("$1")" -ge "$2" ]; }

e2e_update_server_up
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the main window is not shown within 20 s"

e2e_step "a server announcing the program's own build: nothing to do"
e2e_update_answer "#urgent#1.23#$FILE_URL#6#"
check_for_update
expect_label 'You already have the current version!' 10000

e2e_step "a newer build: the out-of-date text and the Update button"
e2e_update_answer "<html>#urgent#2.0#$FILE_URL#7#$(tools_sign "$E2E_OTHER_KEY")#</html>"
check_for_update
expect_label 'Your version of Nolvara is out of date. \r\n\r\nUpdate-Version: 2.0\r\nThis is an important update!' 10000
e2e_expect "Update button" "$(e2e_driver is-visible $B_UPDATE || true)" visible
e2e_screenshot update-available

e2e_step "a file signed by another key is refused, and the window stays"
e2e_driver click --post $B_UPDATE || e2e_fail "cannot click Update"
expect_label 'The downloaded update could not be verified and was not installed.' 20000
e2e_expect "Update button" "$(e2e_driver is-visible $B_UPDATE || true)" hidden
grep -q 'GET /files/P_nolvara_new.exe' "$E2E_DIR/http.log" || e2e_fail "the file was not fetched"
e2e_file_gone "$UPDATER" || e2e_fail "the refused file was left as C:\\nolvaraupdate.exe"
cmp -s "$DRIVE_C/e2e/P_nolvara.exe" "$E2E_SUBJECT" || e2e_fail "C:\\e2e\\P_nolvara.exe changed"
e2e_expect "programs running" "$(e2e_program_pids | wc -l | tr -d ' ')" 1
e2e_ok "nothing was started; the program file is unchanged"

e2e_step "the same build signed by the trusted key"
e2e_update_answer "#urgent#2.0#$FILE_URL#7#$(tools_sign "$E2E_TEST_KEY")#"
check_for_update
expect_label 'Your version of Nolvara is out of date. \r\n\r\nUpdate-Version: 2.0\r\nThis is an important update!' 10000

e2e_step "Update replaces the program file and restarts it; the updater file goes"
e2e_driver click --post $B_UPDATE || e2e_fail "cannot click Update"
e2e_wait_for 30 is_new_build "$DRIVE_C/e2e/P_nolvara.exe" ||
    e2e_fail "C:\\e2e\\P_nolvara.exe is not the new build after 30 s"
e2e_ok "C:\\e2e\\P_nolvara.exe is the new build"
restarted=$(e2e_wait_program 20 'C:\\e2e\\[P]_nolvara\.exe -clearupdaterest$') ||
    e2e_fail "no C:\\e2e\\P_nolvara.exe -clearupdaterest runs"
e2e_ok "C:\\e2e\\P_nolvara.exe -clearupdaterest runs (pid $restarted)"
e2e_wait_for 20 e2e_file_gone "$UPDATER" || e2e_fail "C:\\nolvaraupdate.exe is still there"
e2e_ok "C:\\nolvaraupdate.exe has been deleted"
[ -z "$(e2e_program_pids '[n]olvaraupdate\.exe')" ] || e2e_fail "the updater still runs"
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the restarted window is not shown"
e2e_ok "the restarted program shows its window"

e2e_step "without a server the window says so within about 3 s"
e2e_update_server_down
t0=$EPOCHREALTIME
check_for_update
expect_unreachable_within 4000 "$t0" "the click"
expect_label 'Unable to reach update server. Maybe the server is down, your firewall blocked access or you are not connected to the internet!' 1000

e2e_step "a server that accepts and never answers: the window answers meanwhile"
e2e_update_server_stalled
check_for_update
e2e_wait_for 10 test -s "$E2E_DIR/stalled.log" || e2e_fail "the program did not connect"
accepted=$(head -n1 "$E2E_DIR/stalled.log")
for look in 1 2 3 4; do
    t0=$EPOCHREALTIME
    got=$(e2e_driver text --escaped $L_TEXT) || e2e_fail "the window does not answer"
    took=$(e2e_ms_since "$t0")
    [ "$took" -le 3000 ] || e2e_fail "the window took $took ms to give its text"
    [ "$got" = 'Looking for a newer version of Nolvara ...' ] || break
    e2e_ok "look $look: the window answers in $took ms, \"$got\""
    sleep 1
done
expect_unreachable_within 16000 "$accepted" "the server accepted"
e2e_update_server_down
e2e_driver close >/dev/null
e2e_wait_program_gone 15 || e2e_fail "the window does not close"

e2e_step "a hidden run with automatic updates asks on its 1800th tick"
e2e_update_server_up
# The unattended installation keeps the stored choice of automatic updates.
e2e_wine reg add "HKLM\\$SETTINGS_KEY" /v checkforupdate /t REG_DWORD /d 1 /f >/dev/null 2>&1 ||
    e2e_fail "cannot switch automatic updates on"
cp "$E2E_SUBJECT" "$DRIVE_C/e2e/P_nolvara.exe"
e2e_start -noguiinst -ip "$E2E_ROUTER_IP" -delay 1
e2e_wait_started_run 30 || e2e_fail "the unattended installation still runs after 30 s"
hidden=$(e2e_wait_installed_hidden_run 10) || e2e_fail "no hidden run of the installed copy with its window"
cmp -s "$DRIVE_C/Nolvara/P_nolvara.exe" "$E2E_SUBJECT" || e2e_fail "the installed copy is not the old build"
e2e_ok "C:\\Nolvara\\P_nolvara.exe -hide runs (pid $hidden), the old build"
e2e_expect_wireless_within 4 stopped 10000 "$EPOCHREALTIME" "the hidden run's window appeared"
# Until the 1800th tick the ticks only count; the server is not asked.
e2e_update_answer "#recommended#2.0#$FILE_URL#7#$(tools_sign "$E2E_OTHER_KEY")#"
before=$(asked)
files_before=$(fetched)
e2e_driver tick $T_PING 1700 >/dev/null || e2e_fail "the hidden run did not take 1700 ticks"
e2e_expect "update checks after 1700 ticks" "$(asked)" "$before"
e2e_driver tick $T_PING 100 >/dev/null || e2e_fail "the hidden run ended on a file signed by another key"
e2e_wait_for 10 log_reaches asked "$((before + 1))" || true
e2e_expect "update checks after 1800 ticks" "$(asked)" "$((before + 1))"
e2e_wait_for 10 log_reaches fetched "$((files_before + 1))" || true
e2e_expect "files fetched" "$(fetched)" "$((files_before + 1))"
e2e_wait_for 10 e2e_file_gone "$UPDATER" || e2e_fail "the refused file was left as C:\\nolvaraupdate.exe"
e2e_expect "hidden run after a file signed by another key" "$(e2e_program_pids "$E2E_INSTALLED_HIDDEN")" "$hidden"
cmp -s "$DRIVE_C/Nolvara/P_nolvara.exe" "$E2E_SUBJECT" || e2e_fail "the installed copy changed"
e2e_ok "the refused file was not started"
e2e_expect_reconnect_cycle
e2e_ok "automatic control goes on"

e2e_step "the next period finds the signed build and hands over to it"
e2e_update_answer "#recommended#2.0#$FILE_URL#7#$(tools_sign "$E2E_TEST_KEY")#"
e2e_driver tick $T_PING 1800 >/dev/null || true
e2e_wait_for 30 is_new_build "$DRIVE_C/Nolvara/P_nolvara.exe" ||
    e2e_fail "C:\\Nolvara\\P_nolvara.exe is not the new build 30 s after the 3600th tick"
e2e_ok "C:\\Nolvara\\P_nolvara.exe is the new build"
restarted='C:\\Nolvara\\[P]_nolvara\.exe -hide -clearupdaterest$'
pids=$(e2e_wait_program 20 "$restarted") ||
    e2e_fail "no C:\\Nolvara\\P_nolvara.exe -hide -clearupdaterest runs"
e2e_ok "the new build runs hidden (pid $pids)"
[ -z "$(e2e_program_pids "$E2E_INSTALLED_HIDDEN")" ] || e2e_fail "the old hidden run still runs"
e2e_wait_for 20 e2e_file_gone "$UPDATER" || e2e_fail "C:\\nolvaraupdate.exe is still there"
e2e_ok "C:\\nolvaraupdate.exe has been deleted"
e2e_expect "number of programs running" "$(e2e_program_pids | wc -l | tr -d ' ')" 1
