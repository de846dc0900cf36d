#!/usr/bin/env bash
# File > Uninstall from a window whose program file has another name than the
# installed copy, and from one of the same name, which the uninstall must not
# end with the hidden run: the hidden automatic-control run is ended, the installed
# copy, the settings and the Run entry are removed, the remover copy and the
# batch file delete themselves, and the wireless service is set to start
# automatically. The install folder goes with the copy unless it holds
# another file, which then survives with it.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
e2e_service_install 4

SETTINGS_KEY='SOFTWARE\Nolvara'
RUN_KEY='Software\Microsoft\Windows\CurrentVersion\Run'
DRIVE_C="$WINEPREFIX/drive_c"
INSTALLED_COPY="$DRIVE_C/Nolvara/P_nolvara.exe"
# Control IDs: 1000 + place in the window's creation order.
L_TEXT=1000
UNINSTALLED='Because of uninstall, Wireless Zero was set to start automatically!'
cp "$NOLVARA_EXE" "$DRIVE_C/e2e/nolvara-setup.exe"

# uninstall_round KEEP FILE: installs unattended, then uninstalls from the
# window of C:\e2e\FILE; with KEEP=1 the install folder holds a file of the
# user's as well.
uninstall_round() {
    local keep=$1 file=$2 pids value
    local WINDOW="C:\\\\e2e\\\\[${file:0:1}]${file:1}\$"
    e2e_step "installed, with a hidden run$([ "$keep" = 0 ] || echo " and a file of the user's in C:\\Nolvara\\")"
    e2e_start -noguiinst -ip "$E2E_ROUTER_IP"
    e2e_wait_started_run 30 || e2e_fail "the unattended installation still runs after 30 s"
    pids=$(e2e_wait_installed_hidden_run 10) || e2e_fail "no hidden run of the installed copy with its window"
    e2e_ok "C:\\Nolvara\\P_nolvara.exe -hide runs (pid $pids)"
    [ "$keep" = 0 ] || echo "notes of the user's" >"$DRIVE_C/Nolvara/notes.txt"

    e2e_step "File > Uninstall in a window of $file"
    ip netns exec "$E2E_NS" wine "C:\\e2e\\$file" >>"$E2E_DIR/program.log" 2>&1 &
    e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the window is not shown within 20 s"
    e2e_keys alt+f u
    # The window waits for the installed copy to go; two more processes
    # start meanwhile, so give it the program's own bound and some.
    e2e_driver wait-text --escaped $L_TEXT "$UNINSTALLED" 45000 >/dev/null ||
        e2e_fail "the window does not show the uninstall text within 45 s (it shows: $(e2e_driver text --escaped $L_TEXT 2>/dev/null || echo nothing))"
    e2e_ok "the window shows \"$UNINSTALLED\""

    e2e_step "the installation is gone"
    e2e_wait_program_gone 10 "$E2E_INSTALLED_HIDDEN" || e2e_fail "the hidden run still runs"
    e2e_ok "the hidden run has ended"
    [ ! -e "$INSTALLED_COPY" ] || e2e_fail "C:\\Nolvara\\P_nolvara.exe is still there"
    if [ "$keep" = 1 ]; then
        [ "$(cat "$DRIVE_C/Nolvara/notes.txt" 2>/dev/null)" = "notes of the user's" ] ||
            e2e_fail "the user's file in C:\\Nolvara\\ did not survive"
        e2e_ok "C:\\Nolvara\\ survives with the user's file in it, without the installed copy"
        rm -rf "$DRIVE_C/Nolvara"
    else
        [ ! -e "$DRIVE_C/Nolvara" ] || e2e_fail "C:\\Nolvara\\ is still there: $(ls -A "$DRIVE_C/Nolvara")"
        e2e_ok "C:\\Nolvara\\ is gone"
    fi
    value=$(e2e_driver reg-key-exists "$SETTINGS_KEY" || true)
    e2e_expect "HKLM\\$SETTINGS_KEY" "$value" missing
    value=$(e2e_driver reg-get "$RUN_KEY" Nolvara 2>/dev/null || echo missing)
    e2e_expect "HKLM\\$RUN_KEY \"Nolvara\"" "$value" missing
    e2e_wait_for 20 e2e_file_gone "$DRIVE_C/nolvararemove.exe" || e2e_fail "C:\\nolvararemove.exe is still there after 20 s"
    e2e_wait_for 20 e2e_file_gone "$DRIVE_C/remove.bat" || e2e_fail "C:\\remove.bat is still there after 20 s"
    e2e_ok "the remover copy and the batch file have deleted themselves"
    value=$(e2e_service start-value) || e2e_fail "cannot read WZCSVC \"Start\""
    e2e_expect "WZCSVC \"Start\"" "$value" 2
    value=$(e2e_service state) || e2e_fail "cannot read the state of WZCSVC"
    e2e_expect "state of WZCSVC" "$value" running

    e2e_step "the window stays open until the user closes it"
    [ -n "$(e2e_program_pids "$WINDOW")" ] || e2e_fail "the window's program has ended"
    e2e_driver close >/dev/null || e2e_fail "cannot close the window"
    e2e_wait_program_gone 15 "$WINDOW" || e2e_fail "the window's program does not end when closed"
    e2e_ok "closed"
    value=$(e2e_driver reg-key-exists "$SETTINGS_KEY" || true)
    e2e_expect "HKLM\\$SETTINGS_KEY after the close" "$value" missing
    # The stand-in is left running with "Start" 2 for the next round.
    e2e_service set-start-value 4 >/dev/null || e2e_fail "cannot set WZCSVC \"Start\" back to 4"
}

uninstall_round 1 nolvara-setup.exe
uninstall_round 0 P_nolvara.exe
