#!/usr/bin/env bash
# Control > Enable automatic control hands over from the interactive run to a
# hidden one: with a router list stored, the program installs itself in
# C:\Nolvara\, says so in a message box, starts the installed copy with
# "-hide" and closes; the new process stores start with Windows and its Run
# entry at its start-up.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
# Automatic control is offered only while the service's start mode can be
# read, so the stand-in must be there.
e2e_service_install 2

SETTINGS_KEY='SOFTWARE\Nolvara'
RUN_KEY='Software\Microsoft\Windows\CurrentVersion\Run'
# Expected texts are in the driver's escaped form: a backslash shows doubled.
RUN_ENTRY='REG_SZ|C:\\Nolvara\\P_nolvara.exe -hide'
INSTALLED_COPY="$WINEPREFIX/drive_c/Nolvara/P_nolvara.exe"
# As `ps` shows the interactive run: from the scenario's folder, without
# arguments (the hidden one is E2E_INSTALLED_HIDDEN).
INTERACTIVE='C:\\e2e\\[P]_nolvara\.exe$'

e2e_wine reg add "HKLM\\$SETTINGS_KEY\\IPList" /v ip1 /t REG_SZ /d "$E2E_ROUTER_IP" /f >/dev/null 2>&1 ||
    e2e_fail "cannot store the router list"

# shellcheck disable=SC2119
e2e_start
e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the main window is not shown within 20 s"
status=$(e2e_driver status --escaped 0) || e2e_fail "cannot read status bar part 0"
e2e_expect "status bar part 0" "$status" ' Wireless Zero starts automatically'

e2e_step "code of the user's cannot rename the running file aside and take its name"
# Wine's cmd moves as Windows does, share modes honoured.
! e2e_wine cmd /c move "$E2E_PROGRAM" 'C:\e2e\aside.exe' >/dev/null 2>&1 ||
    e2e_fail "the running program's file could be renamed aside"
e2e_ok "it is held"

e2e_step "Control > Enable automatic control from the keyboard shows the message box"
# "&Control" and "&Check for update" share the letter C, and Wine's menu bar
# does not settle on one of them for alt+c. So: alt+f opens "&File", whose
# letter is its own; Right moves on to the next menu, "&Control", and opens
# it; in there "e" belongs to "&Enable automatic control" alone.
e2e_keys alt+f Right e
box=$(e2e_driver dismiss-box --escaped 5000 | tr '\n' '|') ||
    e2e_fail "no message box after Control > Enable automatic control (seen: ${box:-nothing})"
e2e_expect "title and text of the message box" "$box" \
    'Nolvara|Automatic control enabled! Nolvara will now close.|'

e2e_step "the interactive run ends and the installed copy runs hidden"
e2e_wait_program_gone 10 "$INTERACTIVE" ||
    e2e_fail "the interactive run still runs 10 s after the message box: $(e2e_program_pids "$INTERACTIVE")"
e2e_ok "the interactive run has ended"
pids=$(e2e_program_pids "$E2E_INSTALLED_HIDDEN")
[ -n "$pids" ] || e2e_fail "no C:\\Nolvara\\P_nolvara.exe -hide runs; programs now: $(ps -o args= -p "$(e2e_program_pids | tr '\n' ',' | sed 's/,$//')" 2>/dev/null || true)"
e2e_ok "C:\\Nolvara\\P_nolvara.exe -hide runs (pid $pids)"
e2e_expect "number of hidden runs" "$(wc -w <<<"$pids" | tr -d ' ')" 1
cmp -s "$INSTALLED_COPY" "$NOLVARA_EXE" || e2e_fail "C:\\Nolvara\\P_nolvara.exe is not the program under test"
e2e_ok "C:\\Nolvara\\P_nolvara.exe is byte for byte the program under test"
count=$(e2e_driver count) || e2e_fail "cannot count the windows"
e2e_expect "TF_nolvara windows" "$count" 1
shown=$(e2e_driver is-visible || true)
e2e_expect "main window of the hidden run" "$shown" hidden

e2e_step "start with Windows is stored, and the hidden run writes its Run entry"
value=$(e2e_driver reg-get --escaped "$SETTINGS_KEY" autostart) || e2e_fail "HKLM\\$SETTINGS_KEY has no \"autostart\""
e2e_expect "HKLM\\$SETTINGS_KEY \"autostart\"" "$value" 'REG_DWORD|1'
# Its first load of the settings writes the entry before the install folder
# is read, so the entry may name the bare file for a moment; the start-up
# writes it again once the folder is known.
value=
for _ in $(seq 50); do
    value=$(e2e_driver reg-get --escaped "$RUN_KEY" Nolvara 2>/dev/null) || value=missing
    [ "$value" != "$RUN_ENTRY" ] || break
    sleep 0.1
done
e2e_expect "HKLM\\$RUN_KEY \"Nolvara\"" "$value" "$RUN_ENTRY"

