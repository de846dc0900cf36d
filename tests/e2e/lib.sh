#!/usr/bin/env bash
# Shared helpers of the end-to-end scenarios, which source this file. Run by
# itself it checks the rig (see e2e_selfcheck at the end).
#
# A scenario calls e2e_begin and from then on owns, for itself alone:
#   - a network namespace with nothing but loopback, in which the Wine prefix
#     is created and every wine command runs, so the program can reach no
#     host that the scenario did not make;
#   - a private X display (Xvfb), which Wine needs for windows of one process
#     to be seen by another;
#   - a fresh Wine prefix holding a copy of the program under test.
# All of it, and every process started in it, is removed again when the
# scenario's shell exits, however it exits.
#
# Environment (set by CTest; the defaults suit a run by hand from the tree):
#   NOLVARA_EXE    the program under test
#   NOLVARA_TOOLS  folder of the tests' own Windows tools (nolvara_driver.exe)
#   NOLVARA_BUILD  folder for screenshots

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${NOLVARA_EXE:=$E2E_REPO/out/x86_64/P_nolvara.exe}"
: "${NOLVARA_TOOLS:=$E2E_REPO/build/x86_64/e2e-tools}"
: "${NOLVARA_BUILD:=$E2E_REPO/build}"

E2E_NAME=$(basename "$0" .sh)
E2E_T0=$EPOCHREALTIME
E2E_NS=
E2E_DIR=
E2E_XVFB_PID=
E2E_IN_FAIL=0
# Upper bound for any single wine command, so that a hang fails the scenario
# instead of running into the test timeout (which would skip the clean-up).
E2E_WINE_TIMEOUT=${E2E_WINE_TIMEOUT:-60}
# Where the program lives inside the prefix (the copy, not the build output:
# the program deletes and replaces program files in some kinds of run).
E2E_PROGRAM_DIR='C:\e2e'
E2E_PROGRAM="$E2E_PROGRAM_DIR\\P_nolvara.exe"
# The program as `ps` shows a Wine process: file name, then the arguments.
E2E_PROGRAM_PATTERN='[P]_nolvara\.exe'

e2e_elapsed() {
    local now=${EPOCHREALTIME/[,.]/} start=${E2E_T0/[,.]/}
    local ms=$(((now - start) / 1000))
    printf '%d.%01d' $((ms / 1000)) $((ms % 1000 / 100))
}

e2e_log() { printf '[%s %6ss] %s\n' "$E2E_NAME" "$(e2e_elapsed)" "$*"; }
e2e_step() { e2e_log "check: $*"; }
e2e_ok() { e2e_log "  ok: $*"; }

# Reports the failure with what the window showed at that moment, then ends
# the scenario (the EXIT trap cleans up).
e2e_fail() {
    printf '[%s %6ss] FAIL: %s\n' "$E2E_NAME" "$(e2e_elapsed)" "$*" >&2
    if [ "$E2E_IN_FAIL" = 0 ] && [ -n "${DISPLAY:-}" ] && [ -n "$E2E_NS" ]; then
        E2E_IN_FAIL=1
        echo "--- controls of the main window at the failure:" >&2
        e2e_driver list >&2 2>&1 || echo "(no main window)" >&2
        e2e_screenshot "$E2E_NAME-failure" >&2 || true
    fi
    exit 1
}

# e2e_expect WHAT ACTUAL EXPECTED: exact comparison.
e2e_expect() {
    if [ "$2" != "$3" ]; then
        e2e_fail "$1: expected \"$3\", got \"$2\""
    fi
    e2e_ok "$1 is \"$3\""
}

# e2e_expect_prefix WHAT ACTUAL PREFIX
e2e_expect_prefix() {
    if [ "${2:0:${#3}}" != "$3" ]; then
        e2e_fail "$1: expected a text beginning with \"$3\", got \"$2\""
    fi
    e2e_ok "$1 begins with \"$3\""
}

e2e_require() {
    local tool
    [ "$(id -u)" = 0 ] || e2e_fail "must run as root (network namespaces)"
    for tool in wine wineserver Xvfb xdotool import ip pgrep timeout; do
        command -v "$tool" >/dev/null || e2e_fail "$tool is not installed"
    done
    [ -f "$NOLVARA_EXE" ] || e2e_fail "program not built: $NOLVARA_EXE"
    [ -f "$NOLVARA_TOOLS/nolvara_driver.exe" ] ||
        e2e_fail "driver not built: $NOLVARA_TOOLS/nolvara_driver.exe"
}

# Runs a wine command inside the scenario's namespace, bounded in time.
e2e_wine() {
    timeout -k 5 "$E2E_WINE_TIMEOUT" ip netns exec "$E2E_NS" wine "$@"
}

e2e_driver() {
    e2e_wine "$NOLVARA_TOOLS/nolvara_driver.exe" "$@"
}

# Xvfb picks a free display itself and reports it once it accepts clients;
# clients inside the namespace reach it through the socket file.
e2e_private_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$E2E_DIR/display" >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$E2E_DIR/display" ] && break
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb did not start: $(cat "$E2E_DIR/xvfb.log")"
        sleep 0.1
    done
    [ -s "$E2E_DIR/display" ] || e2e_fail "Xvfb reported no display within 10 s"
    DISPLAY=":$(head -n1 "$E2E_DIR/display")"
    export DISPLAY
}

e2e_begin() {
    e2e_require
    trap e2e_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    E2E_DIR=$(mktemp -d /tmp/nolvara-e2e.XXXXXX)
    mkdir "$E2E_DIR/tmp" "$E2E_DIR/prefix"

    # The namespace is named after this shell; one left over from a killed
    # earlier shell of the same number is stale.
    E2E_NS=nolvara-e2e-$$
    if ip netns list | grep -qw "^$E2E_NS"; then ip netns del "$E2E_NS"; fi
    ip netns add "$E2E_NS"
    ip netns exec "$E2E_NS" ip link set lo up

    # With E2E_USE_DISPLAY=1 and a display at hand (make run on a desktop) the
    # program shows there; otherwise on a private Xvfb.
    if [ "${E2E_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        E2E_OWN_DISPLAY=0
    else
        E2E_OWN_DISPLAY=1
        e2e_private_display
    fi

    export WINEPREFIX="$E2E_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine keeps its server socket folder under TMPDIR: inside the scenario's
    # folder it goes away with the prefix.
    export TMPDIR="$E2E_DIR/tmp"
    export LC_ALL=C.UTF-8
    e2e_log "namespace $E2E_NS, display $DISPLAY, prefix $WINEPREFIX"
    timeout -k 5 120 ip netns exec "$E2E_NS" wineboot -i >"$E2E_DIR/wineboot.log" 2>&1 ||
        e2e_fail "wineboot -i failed: $(tail -n 5 "$E2E_DIR/wineboot.log")"
    # Xvfb has no window manager; unmanaged windows spare Wine its wait for
    # one on every window that closes.
    if [ "$E2E_OWN_DISPLAY" = 1 ]; then
        timeout -k 5 60 ip netns exec "$E2E_NS" wine reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /d N /f >/dev/null 2>&1 || e2e_fail "cannot configure the prefix"
    fi
    mkdir -p "$WINEPREFIX/drive_c/e2e"
    cp "$NOLVARA_EXE" "$WINEPREFIX/drive_c/e2e/P_nolvara.exe"
    e2e_log "prefix ready"
}

# Starts the program with the given arguments in the background; its output
# goes to program.log in the scenario's folder.
e2e_start() {
    e2e_log "start: P_nolvara.exe $*"
    ip netns exec "$E2E_NS" wine "$E2E_PROGRAM" "$@" >>"$E2E_DIR/program.log" 2>&1 &
}

# Process IDs of running programs of this scenario whose command line matches
# the extended regular expression (default: any P_nolvara.exe). Only processes
# in the scenario's namespace count, so a scenario running in parallel is
# never seen.
e2e_program_pids() {
    local pattern=${1:-$E2E_PROGRAM_PATTERN} ours pid
    ours=" $(ip netns pids "$E2E_NS" 2>/dev/null | tr '\n' ' ') "
    for pid in $(pgrep -f -- "$pattern" || true); do
        case $ours in *" $pid "*) echo "$pid" ;; esac
    done
}

# e2e_wait_program_gone SECONDS [PATTERN]: succeeds once no matching program
# of this scenario runs.
e2e_wait_program_gone() {
    local deadline=$((${EPOCHREALTIME/[,.]/} + $1 * 1000000))
    while [ -n "$(e2e_program_pids "${2:-}")" ]; do
        [ "${EPOCHREALTIME/[,.]/}" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Ends matching programs of this scenario by process ID.
e2e_kill_program() {
    local pids
    pids=$(e2e_program_pids "${1:-}")
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null || true
    if ! e2e_wait_program_gone 5 "${1:-}"; then
        pids=$(e2e_program_pids "${1:-}")
        # shellcheck disable=SC2086
        kill -KILL $pids 2>/dev/null || true
        e2e_wait_program_gone 5 "${1:-}" || e2e_fail "program $pids does not end"
    fi
}

# e2e_keys KEY...: gives the program's window the keyboard focus and types
# the keys one after the other, as a person does (e.g. alt+h h).
e2e_keys() {
    local win
    win=$(timeout 10 xdotool search --onlyvisible --name '^Nolvara' | head -n1) || true
    [ -n "$win" ] || e2e_fail "no visible X window named Nolvara for the keyboard"
    timeout 10 xdotool windowfocus --sync "$win" || e2e_fail "cannot focus the window"
    timeout 10 xdotool key --delay 150 "$@" || e2e_fail "xdotool key $* failed"
}

# e2e_screenshot NAME: the whole display into $NOLVARA_BUILD/screenshot-NAME.png.
e2e_screenshot() {
    local file="$NOLVARA_BUILD/screenshot-$1.png"
    mkdir -p "$NOLVARA_BUILD"
    # Let the program paint what it has just shown.
    sleep 0.5
    timeout 20 import -display "$DISPLAY" -window root "$file" || e2e_fail "screenshot $file failed"
    e2e_log "screenshot $file"
}

e2e_cleanup() {
    local status=$?
    set +e
    trap - EXIT INT TERM
    if [ -n "$E2E_NS" ]; then
        if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
            timeout 20 ip netns exec "$E2E_NS" wineserver -k >/dev/null 2>&1
            timeout 20 ip netns exec "$E2E_NS" wineserver -w >/dev/null 2>&1
        fi
        # Whatever still runs in the namespace was started by this scenario.
        local pids
        pids=$(ip netns pids "$E2E_NS" 2>/dev/null)
        # shellcheck disable=SC2086
        [ -z "$pids" ] || kill -KILL $pids 2>/dev/null
        ip netns del "$E2E_NS" 2>/dev/null
    fi
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
    fi
    [ -z "$E2E_DIR" ] || rm -rf "$E2E_DIR"
    if [ "$status" = 0 ]; then
        e2e_log "passed"
    else
        e2e_log "failed (exit status $status)"
    fi
    exit "$status"
}

# Run directly rather than sourced (CTest registers every *.sh of this folder),
# the file checks the rig itself: the namespace offers nothing but loopback,
# Wine and the driver work inside it on the private display, and the clean-up
# leaves no namespace, display, process or file behind.
e2e_selfcheck() {
    local lib state ns xvfb dir display pids pid
    lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lib.sh
    state=$(mktemp /tmp/nolvara-e2e-state.XXXXXX)
    bash -c '
        set -euo pipefail
        . "$1"
        e2e_begin
        e2e_step "the namespace has only loopback, up, and no route elsewhere"
        links=$(ip netns exec "$E2E_NS" ip -o link show | awk -F": " "{print \$2}" | tr "\n" " ")
        e2e_expect "links in the namespace" "$links" "lo "
        ip netns exec "$E2E_NS" ip -o link show lo | grep -q "[<,]UP[,>]" || e2e_fail "lo is down"
        e2e_ok "lo is up"
        routes=$(ip netns exec "$E2E_NS" ip -4 route show)
        e2e_expect "IPv4 routes in the namespace" "$routes" ""
        e2e_step "the driver runs under Wine inside the namespace and sees the display"
        count=$(e2e_driver count) || e2e_fail "the driver does not run"
        e2e_expect "TF_nolvara windows before any start" "$count" 0
        status=0
        e2e_driver wait-window 300 >/dev/null 2>&1 || status=$?
        e2e_expect "exit status of a wait that times out" "$status" 1
        status=0
        e2e_driver no-such-command >/dev/null 2>&1 || status=$?
        e2e_expect "exit status of a wrong command" "$status" 2
        echo "$E2E_NS $E2E_XVFB_PID $E2E_DIR ${DISPLAY#:} $(ip netns pids "$E2E_NS" | tr "\n" " ")" >"$2"
    ' lib_selfcheck "$lib" "$state" || { rm -f "$state"; return 1; }
    read -r ns xvfb dir display pids <"$state"
    rm -f "$state"
    E2E_NAME=lib_selfcheck
    e2e_step "the clean-up left nothing behind"
    ! ip netns list | grep -qw "^$ns" || { echo "FAIL: namespace $ns is left" >&2; return 1; }
    ! kill -0 "$xvfb" 2>/dev/null || { echo "FAIL: Xvfb $xvfb still runs" >&2; return 1; }
    [ ! -e "/tmp/.X11-unix/X$display" ] || { echo "FAIL: display :$display is left" >&2; return 1; }
    [ ! -e "$dir" ] || { echo "FAIL: $dir is left" >&2; return 1; }
    for pid in $pids; do
        # A zombie has ended; only its parent has not collected it yet.
        case $(ps -o stat= -p "$pid" || true) in
        "" | Z*) ;;
        *) echo "FAIL: process $pid of the namespace still runs: $(ps -o args= -p "$pid")" >&2; return 1 ;;
        esac
    done
    e2e_ok "no namespace, display, Wine process or folder left"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    e2e_selfcheck
fi
