#!/usr/bin/env bash
# The interactive run, as a person sees it: started without arguments the
# window fades in with its caption and version panel; the Help and File menus
# work from the keyboard; closing the window ends the program. The prefix is
# a Windows without WZCSVC whose Native Wifi interface (Wine's own) lists no
# wireless adapter: the window says there is nothing to switch.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin

# No argument: the interactive run.
# shellcheck disable=SC2119
e2e_start

e2e_step "the main window appears, becomes visible and fades in to full opacity"
e2e_driver wait-window 20000 >/dev/null || e2e_fail "no window of class TF_nolvara within 20 s"
e2e_driver wait-visible 10000 >/dev/null || e2e_fail "the main window exists but is not shown"
alpha=$(e2e_driver wait-opacity 255 5000) || e2e_fail "the fade-in does not reach opacity 255 (now ${alpha:-unreadable})"
e2e_ok "visible, opacity 255"

e2e_step "caption and version panel"
title=$(e2e_driver title --escaped) || e2e_fail "cannot read the caption"
e2e_expect "window caption" "$title" 'Nolvara |  Version 1.23'
version=$(e2e_driver status --escaped 1) || e2e_fail "cannot read status panel 1"
e2e_expect "status panel 1" "$version" ' Version 1.23'

e2e_step "L_Text (ID 1000) is the label and says that there is nothing to switch"
class=$(e2e_driver class 1000) || e2e_fail "no control with ID 1000"
e2e_expect "class of control 1000" "$class" 'Static'
text=$(e2e_driver text --escaped 1000) || e2e_fail "cannot read L_Text"
e2e_expect "L_Text" "$text" 'Nolvara found neither the Wireless Zero service nor a wireless adapter on this computer: there is nothing for it to switch.'
status=$(e2e_driver status --escaped 0) || e2e_fail "cannot read status panel 0"
e2e_expect "status panel 0" "$status" ' No wireless adapter found'
box=$(e2e_driver find Button Settings) || e2e_fail "no group box captioned Settings"
shown=$(e2e_driver is-visible "$box" || true)
e2e_expect "Settings group box on the main panel" "$shown" hidden

e2e_step "Help > About (alt+h, a) shows the about page"
e2e_keys alt+h a
text=$(e2e_driver wait-text --escaped 1000 'Nolvara\r\n\r\n\r\n' 5000) ||
    e2e_fail "L_Text after Help > About: \"$text\""
e2e_expect_prefix "L_Text" "$text" 'Nolvara\r\n\r\n\r\n'
e2e_screenshot about

e2e_step "Help > How to use (alt+h, h) shows the usage text"
e2e_keys alt+h h
text=$(e2e_driver wait-text --escaped 1000 'Usage:\r\n\r\nThe best way' 5000) ||
    e2e_fail "L_Text after Help > How to use: \"$text\""
e2e_expect_prefix "L_Text" "$text" 'Usage:\r\n\r\nThe best way is to enable automatic control.'

e2e_step "File > Settings (alt+f, s) shows the Settings group box over an empty L_Text"
e2e_keys alt+f s
e2e_driver wait-visible 5000 "$box" >/dev/null || e2e_fail "the Settings group box does not appear"
e2e_ok "Settings group box visible"
text=$(e2e_driver text --escaped 1000) || e2e_fail "cannot read L_Text"
e2e_expect "L_Text on the settings panel" "$text" ''
e2e_screenshot settings

e2e_step "closing the window fades it out and ends the program within 5 s"
[ -n "$(e2e_program_pids)" ] || e2e_fail "the program is not running before the close"
e2e_driver close || e2e_fail "cannot post WM_CLOSE"
start=$EPOCHREALTIME
e2e_driver wait-gone 5000 >/dev/null || e2e_fail "the window is still there 5 s after WM_CLOSE"
e2e_wait_program_gone 5 || e2e_fail "the window is gone but the process still runs: $(e2e_program_pids)"
e2e_ok "window and process gone $(( (${EPOCHREALTIME/[,.]/} - ${start/[,.]/}) / 1000 )) ms after WM_CLOSE"
