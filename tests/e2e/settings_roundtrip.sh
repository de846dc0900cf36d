#!/usr/bin/env bash
# Settings survive a restart, and the defaults leave nothing behind: the
# settings panel and the router list are changed through the window, Apply
# stores them in the registry, installs the program and writes the Run entry;
# a new start shows them again, in German; setting everything back to the
# defaults removes the settings key and the Run entry again.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin

# Control IDs: 1000 + place in the window's creation order.
L_TEXT=1000
BOX_SETTINGS=1002
CHK_AUTOSTART=1003
CHK_RESTARTSERVICE=1004
CHK_UPDATE=1005
E_SHUTDOWNDELAY=1006
RADIO_GERMAN=1008
RADIO_ENGLISH=1009
B_APPLY=1010
B_MANAGEIP=1011
CHK_DHCP=1012
SPEED_INSTALLPATH=1014
BOX_ROUTERIP=1015
E_ROUTERIP=1016
B_ADDIP=1017
LIST_IP=1018
B_IPUP=1019
B_IPDELETE=1021
B_SAVEIP=1022

SETTINGS_KEY='SOFTWARE\Nolvara'
IPLIST_KEY='SOFTWARE\Nolvara\IPList'
RUN_KEY='Software\Microsoft\Windows\CurrentVersion\Run'
# Expected texts are in the driver's escaped form: a backslash shows doubled.
# shellcheck disable=SC1003
INSTALL_FOLDER='C:\\Nolvara\\'
RUN_ENTRY='REG_SZ|C:\\Nolvara\\P_nolvara.exe -hide'
INSTALLED_COPY="$WINEPREFIX/drive_c/Nolvara/P_nolvara.exe"
NOVALIDIP_EN="$(printf '%24s' '')No valid IP was inserted!\\r\\nIn order to do this, open the IP address-management."

click() { e2e_driver click "$1" || e2e_fail "cannot click control $1"; }

set_text() { e2e_driver set-text "$1" "$2" || e2e_fail "cannot set the text of control $1 to \"$2\""; }

# expect_text WHAT ID EXPECTED (escaped form)
expect_text() {
    local text
    text=$(e2e_driver text --escaped "$2") || e2e_fail "cannot read $1 (control $2)"
    e2e_expect "$1" "$text" "$3"
}

# expect_checks EXPECTED: the check states of autostart, reconnect, updates,
# German and English, in that order, on one line.
expect_checks() {
    local states
    states=$(e2e_driver is-checked $CHK_AUTOSTART $CHK_RESTARTSERVICE $CHK_UPDATE \
        $RADIO_GERMAN $RADIO_ENGLISH | tr '\n' ' ') || true
    e2e_expect "autostart, reconnect, updates, German, English" "${states% }" "$1"
}

# expect_items EXPECTED...: the router list box, line by line.
expect_items() {
    local items expected
    items=$(e2e_driver items --escaped $LIST_IP | tr '\n' '|') || e2e_fail "cannot read the router list"
    expected=
    [ $# = 0 ] || expected=$(printf '%s|' "$@")
    e2e_expect "router list lines (each ended by |)" "$items" "$expected"
}

# expect_reg KEY VALUE EXPECTED: TYPE|data, data escaped.
expect_reg() {
    local value
    value=$(e2e_driver reg-get --escaped "$1" "$2") || e2e_fail "HKLM\\$1 has no value \"$2\""
    e2e_expect "HKLM\\$1 \"$2\"" "$value" "$3"
}

# expect_reg_names KEY NAME...: exactly these values, in any order.
expect_reg_names() {
    local key=$1 names expected
    shift
    names=$(e2e_driver reg-values "$key" | sort | tr '\n' ' ') || e2e_fail "HKLM\\$key is missing"
    expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    e2e_expect "values of HKLM\\$key" "$names" "$expected"
}

expect_no_run_entry() {
    local value
    if value=$(e2e_driver reg-get --escaped "$RUN_KEY" Nolvara 2>/dev/null); then
        e2e_fail "the Run value \"Nolvara\" is still there: $value"
    fi
    e2e_ok "no Run value \"Nolvara\""
}

# The router list panel, from the settings panel.
open_router_list() {
    click $B_MANAGEIP
    e2e_driver wait-visible 5000 $BOX_ROUTERIP >/dev/null || e2e_fail "the router list panel does not appear"
}

# B_saveip stores the list and returns to the settings panel.
save_router_list() {
    click $B_SAVEIP
    e2e_driver wait-visible 5000 $BOX_SETTINGS >/dev/null ||
        e2e_fail "Save does not lead back to the settings panel"
}

add_address() {
    set_text $E_ROUTERIP "$1"
    click $B_ADDIP
}

# Apply without a router target stops at a message box; OK lets it go on.
apply_expecting_novalidip() {
    local box
    e2e_driver click --post $B_APPLY || e2e_fail "cannot click Apply"
    box=$(e2e_driver dismiss-box --escaped 5000 | tr '\n' '|') || e2e_fail "no message box after Apply"
    e2e_expect "title and text of the message box" "$box" "Nolvara|$NOVALIDIP_EN|"
    # The program reads no message of ours before Apply has finished, so the
    # next reading of a control also waits for the rest of Apply.
}

# File > Settings from the keyboard, in the language of the menu.
open_settings_by_keys() {
    local focus answer
    focus=$(e2e_driver focus || true)
    e2e_keys "$@"
    if ! e2e_driver wait-visible 5000 $BOX_SETTINGS >/dev/null; then
        answer=$(e2e_driver responds 2000 || true)
        e2e_fail "the settings panel does not appear after $* (main window: ${answer:-gone};" \
            "keyboard focus before the keys: control ${focus:-unknown})"
    fi
}

start_and_open_settings() {
    # shellcheck disable=SC2119
    e2e_start
    e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the main window is not shown within 20 s"
    open_settings_by_keys "$@"
}

# ---------------------------------------------------------------------------
e2e_step "a fresh start shows the default settings (File > Settings)"
start_and_open_settings alt+f s
expect_checks "unchecked checked unchecked unchecked checked"
expect_text "delay edit" $E_SHUTDOWNDELAY 30
expect_text "install folder" $SPEED_INSTALLPATH "$INSTALL_FOLDER"
expect_no_run_entry

e2e_step "changing the panel: autostart on, reconnect off, updates on, delay 4x5, German"
click $CHK_AUTOSTART
click $CHK_RESTARTSERVICE
click $CHK_UPDATE
set_text $E_SHUTDOWNDELAY 4x5
click $RADIO_GERMAN
expect_checks "checked unchecked checked checked unchecked"
enabled=$(e2e_driver is-enabled $SPEED_INSTALLPATH || true)
e2e_expect "install folder button with autostart checked" "$enabled" enabled

e2e_step "router list: three addresses added, the last moved up, saved as shown"
open_router_list
expect_text "address edit before typing" $E_ROUTERIP 'Insert an IP'
add_address 192.168.1.1
add_address 010.000.000.002
add_address 10.0.0.3
expect_items ' 192.168.1.1' ' 010.000.000.002' ' 10.0.0.3'
e2e_driver select $LIST_IP 2 || e2e_fail "cannot select line 2 of the router list"
click $B_IPUP
expect_items ' 192.168.1.1' ' 10.0.0.3' ' 010.000.000.002'
selected=$(e2e_driver selected $LIST_IP) || e2e_fail "cannot read the selection"
e2e_expect "selected line after Up" "$selected" 1
save_router_list
expect_reg_names "$IPLIST_KEY" ip1 ip2 ip3
expect_reg "$IPLIST_KEY" ip1 'REG_SZ|192.168.1.1'
expect_reg "$IPLIST_KEY" ip2 'REG_SZ|10.0.0.3'
expect_reg "$IPLIST_KEY" ip3 'REG_SZ|010.000.000.002'

# ---------------------------------------------------------------------------
e2e_step "Apply stores the settings, installs the program and switches to German"
click $B_APPLY
expect_text "L_Text after Apply" $L_TEXT 'Neue Einstellungen wurden \xfcbernommen!'
expect_text "settings group box caption" $BOX_SETTINGS 'Einstellungen'
expect_text "delay edit, reduced to its digits" $E_SHUTDOWNDELAY 45
# Apply reloads the list before saving it again: the stored form is now normal.
expect_items ' 192.168.1.1' ' 10.0.0.3' ' 10.0.0.2'
expect_reg_names "$SETTINGS_KEY" language autostart restartservice use_dhcp installpath \
    shutdowndelay checkforupdate version
expect_reg "$SETTINGS_KEY" language 'REG_SZ|german'
expect_reg "$SETTINGS_KEY" autostart 'REG_DWORD|1'
expect_reg "$SETTINGS_KEY" restartservice 'REG_DWORD|0'
expect_reg "$SETTINGS_KEY" checkforupdate 'REG_DWORD|1'
expect_reg "$SETTINGS_KEY" shutdowndelay 'REG_DWORD|45'
expect_reg "$SETTINGS_KEY" use_dhcp 'REG_DWORD|0'
expect_reg "$SETTINGS_KEY" installpath "REG_SZ|$INSTALL_FOLDER"
expect_reg "$SETTINGS_KEY" version 'REG_DWORD|6'
expect_reg_names "$IPLIST_KEY" ip1 ip2 ip3
expect_reg "$IPLIST_KEY" ip1 'REG_SZ|192.168.1.1'
expect_reg "$IPLIST_KEY" ip2 'REG_SZ|10.0.0.3'
expect_reg "$IPLIST_KEY" ip3 'REG_SZ|10.0.0.2'
expect_reg "$RUN_KEY" Nolvara "$RUN_ENTRY"
[ -f "$INSTALLED_COPY" ] || e2e_fail "no installed copy C:\\Nolvara\\P_nolvara.exe"
cmp -s "$INSTALLED_COPY" "$NOLVARA_EXE" || e2e_fail "C:\\Nolvara\\P_nolvara.exe differs from the program under test"
e2e_ok "C:\\Nolvara\\P_nolvara.exe is byte for byte the program under test"
e2e_screenshot settings-applied
# Apply installs and registers the copy but starts nothing; a hidden start
# would have shown up by now.
sleep 0.5
pids=$(e2e_program_pids | tr '\n' ' ')
e2e_expect "program processes after Apply" "$(wc -w <<<"$pids" | tr -d ' ')" 1
windows=$(e2e_driver count) || e2e_fail "cannot count the windows"
e2e_expect "TF_nolvara windows after Apply" "$windows" 1

# ---------------------------------------------------------------------------
e2e_step "a new start reads everything back, in German (Datei > Einstellungen)"
e2e_driver close || e2e_fail "cannot post WM_CLOSE"
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window is still there 5 s after WM_CLOSE"
e2e_wait_program_gone 5 || e2e_fail "the process still runs after its window closed: $(e2e_program_pids)"
start_and_open_settings alt+d e
expect_text "settings group box caption" $BOX_SETTINGS 'Einstellungen'
expect_text "DHCP check box caption" $CHK_DHCP 'Automatisches Auslesen der Router-IP'
expect_text "Apply button caption" $B_APPLY '\xdcbernehmen'
expect_checks "checked unchecked checked checked unchecked"
expect_text "delay edit" $E_SHUTDOWNDELAY 45
expect_text "install folder" $SPEED_INSTALLPATH "$INSTALL_FOLDER"
enabled=$(e2e_driver is-enabled $SPEED_INSTALLPATH || true)
e2e_expect "install folder button with autostart stored on" "$enabled" enabled
expect_items ' 192.168.1.1' ' 10.0.0.3' ' 10.0.0.2'
# Loading stored addresses empties the address edit.
expect_text "address edit after the load" $E_ROUTERIP ''

# ---------------------------------------------------------------------------
e2e_step "back to the defaults with an empty list: the box comes, start with Windows stays as stored"
click $CHK_AUTOSTART
click $CHK_RESTARTSERVICE
click $CHK_UPDATE
set_text $E_SHUTDOWNDELAY 30
click $RADIO_ENGLISH
expect_checks "unchecked checked unchecked unchecked checked"
open_router_list
e2e_driver select $LIST_IP 0 || e2e_fail "cannot select line 0 of the router list"
click $B_IPDELETE
expect_items ' 10.0.0.3' ' 10.0.0.2'
click $B_IPDELETE
click $B_IPDELETE
expect_items
selected=$(e2e_driver selected $LIST_IP) || e2e_fail "cannot read the selection"
e2e_expect "selection of the empty list" "$selected" -1
save_router_list
expect_reg_names "$IPLIST_KEY"
apply_expecting_novalidip
expect_text "settings group box caption" $BOX_SETTINGS 'Settings'
# Without a router target Apply does not store a change of start with
# Windows: the reload checks the box again and the Run entry comes back.
expect_checks "checked checked unchecked unchecked checked"
expect_reg_names "$SETTINGS_KEY" language autostart restartservice use_dhcp installpath \
    shutdowndelay checkforupdate version
expect_reg "$SETTINGS_KEY" language 'REG_SZ|english'
expect_reg "$SETTINGS_KEY" autostart 'REG_DWORD|1'
expect_reg "$SETTINGS_KEY" restartservice 'REG_DWORD|1'
expect_reg "$SETTINGS_KEY" checkforupdate 'REG_DWORD|0'
expect_reg "$SETTINGS_KEY" shutdowndelay 'REG_DWORD|30'
expect_reg_names "$IPLIST_KEY"
expect_reg "$RUN_KEY" Nolvara "$RUN_ENTRY"

e2e_step "start with Windows off needs a router target: Apply with one address"
open_router_list
add_address 192.168.1.1
save_router_list
click $CHK_AUTOSTART
click $B_APPLY
expect_text "L_Text after Apply" $L_TEXT 'New settings have been applied!'
expect_checks "unchecked checked unchecked unchecked checked"
expect_reg "$SETTINGS_KEY" autostart 'REG_DWORD|0'
expect_no_run_entry
[ -f "$INSTALLED_COPY" ] || e2e_fail "switching start with Windows off removed the installed copy"
e2e_ok "the installed copy stays"

e2e_step "the last address deleted and saved, Apply leaves no settings key and no Run entry"
open_settings_by_keys alt+f s
open_router_list
e2e_driver select $LIST_IP 0 || e2e_fail "cannot select line 0 of the router list"
click $B_IPDELETE
expect_items
save_router_list
# The last load emptied the address edit, so it does not hold the prompt:
# saving the empty list leaves the key in place until Apply puts it back.
expect_reg_names "$IPLIST_KEY"
apply_expecting_novalidip
expect_checks "unchecked checked unchecked unchecked checked"
expect_text "address edit" $E_ROUTERIP 'Insert an IP'
if state=$(e2e_driver reg-key-exists "$SETTINGS_KEY"); then
    e2e_fail "HKLM\\$SETTINGS_KEY is still there, with: $(e2e_driver reg-values "$SETTINGS_KEY" | tr '\n' ' ')"
fi
e2e_expect "HKLM\\$SETTINGS_KEY" "$state" missing
expect_no_run_entry

e2e_step "closing the window ends the program"
e2e_driver close || e2e_fail "cannot post WM_CLOSE"
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window is still there 5 s after WM_CLOSE"
e2e_wait_program_gone 5 || e2e_fail "the process still runs after its window closed: $(e2e_program_pids)"
e2e_ok "closed and ended"
