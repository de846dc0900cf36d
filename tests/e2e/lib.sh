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
# With `e2e_begin --router` the namespace also gets a router of its own: a
# second namespace joined to it by a veth pair, which answers echo requests
# or ignores them on command (e2e_router_*, e2e_link_*). A scenario that
# needs the wireless service installs the tests' stand-in as WZCSVC with
# e2e_service_install and inspects it with e2e_service.
#
# With `e2e_begin --trust-test-key` the program in the prefix is a copy made
# by tools/trust-update-key that trusts a key pair of the scenario's own
# ($E2E_TEST_KEY), as no test has the release key's private half; a second
# pair ($E2E_OTHER_KEY) signs what the program must refuse. The release
# build itself is never changed.
#
# Environment (set by CTest; the defaults suit a run by hand from the tree):
#   NOLVARA_EXE    the program under test
#   NOLVARA_TOOLS  folder of the tests' own Windows tools (nolvara_driver.exe,
#                  nolvara_service.exe, wzc_standin.exe)
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
E2E_PREFIX_UP=0
E2E_STARTED_PID=
# The update server's host name as the program has it, and the scenario's
# stand-in for the server (e2e_update_server_up).
E2E_UPDATE_HOST=www.nolvara.net
E2E_HTTP_PID=
# The program file that the prefix gets (e2e_begin) and the scenario's own
# signing keys (e2e_begin --trust-test-key).
E2E_SUBJECT=
E2E_TEST_KEY=
E2E_OTHER_KEY=
# The scenario's router (e2e_router_up): its namespace, its address and the
# program's address on the link between them. The link is called eth0 on
# both sides; each end lives in its own namespace, so the names never meet.
E2E_RT_NS=
E2E_ROUTER_IP=
E2E_HOST_IP=
E2E_LINK=eth0
# Upper bound for any single wine command, so that a hang fails the scenario
# instead of running into the test timeout (which would skip the clean-up).
E2E_WINE_TIMEOUT=${E2E_WINE_TIMEOUT:-60}
# Where the program lives inside the prefix (the copy, not the build output:
# the program deletes and replaces program files in some kinds of run).
E2E_PROGRAM_DIR='C:\e2e'
E2E_PROGRAM="$E2E_PROGRAM_DIR\\P_nolvara.exe"
# The program as `ps` shows a Wine process: file name, then the arguments.
E2E_PROGRAM_PATTERN='[P]_nolvara\.exe'
# The hidden run of the installed copy that an unattended installation starts.
E2E_INSTALLED_HIDDEN='C:\\Nolvara\\[P]_nolvara\.exe -hide$'

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

# e2e_begin [--router] [--update-host] [--trust-test-key]
e2e_begin() {
    local router=0 update_host=0 trust=0
    while [ $# -gt 0 ]; do
        case $1 in
        --router) router=1 ;;
        --update-host) update_host=1 ;;
        --trust-test-key) trust=1 ;;
        *) e2e_fail "e2e_begin: unknown option $1" ;;
        esac
        shift
    done
    e2e_require
    trap e2e_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    E2E_DIR=$(mktemp -d /tmp/nolvara-e2e.XXXXXX)
    mkdir "$E2E_DIR/tmp" "$E2E_DIR/prefix"
    E2E_SUBJECT=$NOLVARA_EXE
    [ "$trust" = 0 ] || e2e_trust_test_key

    # The namespace is named after this shell; one left over from a killed
    # earlier shell of the same number is stale.
    E2E_NS=nolvara-e2e-$$
    if ip netns list | grep -qw "^$E2E_NS"; then ip netns del "$E2E_NS"; fi
    ip netns add "$E2E_NS"
    ip netns exec "$E2E_NS" ip link set lo up
    # The program's update server is a name; inside the namespace it names
    # the namespace's own loopback, where e2e_update_server_up serves.
    # `ip netns exec` puts this file in place of /etc/hosts for what it starts.
    # The machine's own entries stay: without its own name, every lookup of
    # it would wait for a name server that the namespace cannot reach.
    if [ "$update_host" = 1 ]; then
        mkdir -p "/etc/netns/$E2E_NS"
        { cat /etc/hosts; printf '127.0.0.1 %s\n' "$E2E_UPDATE_HOST"; } >"/etc/netns/$E2E_NS/hosts"
    fi
    # Before the prefix boots: its network helpers start with it and should
    # find the namespace's links as the program will.
    [ "$router" = 0 ] || e2e_router_up

    # With E2E_USE_DISPLAY=1 and a display at hand (make run on a desktop) the
    # program shows there; otherwise on a private Xvfb.
    if [ "${E2E_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        E2E_OWN_DISPLAY=0
    else
        E2E_OWN_DISPLAY=1
        e2e_private_display
    fi

    export WINEPREFIX="$E2E_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Debian's Wine keeps its server socket folder under TMPDIR: inside the
    # scenario's folder it goes away with the prefix.
    export TMPDIR="$E2E_DIR/tmp"
    export LC_ALL=C.UTF-8
    e2e_log "namespace $E2E_NS, display $DISPLAY, prefix $WINEPREFIX"
    E2E_PREFIX_UP=1
    # Making the prefix is the rig's set-up, not a check: a boot that fails
    # (it has, rarely, within 0.1 s and without a word) gets one more try
    # with a clean prefix.
    if ! e2e_prefix_boot; then
        e2e_log "making the prefix failed with exit status $E2E_BOOT_STATUS: $(tail -n 5 "$E2E_DIR/wineboot.log"); once more"
        timeout 20 ip netns exec "$E2E_NS" wineserver -k >/dev/null 2>&1 || true # none may run
        rm -rf "$WINEPREFIX" "$TMPDIR"
        mkdir "$WINEPREFIX" "$TMPDIR"
        e2e_prefix_boot ||
            e2e_fail "making the prefix failed with exit status $E2E_BOOT_STATUS: $(tail -n 5 "$E2E_DIR/wineboot.log")"
    fi
    # The first boot's session goes on for some seconds with a service
    # manager of its own, beside the one a later command would start; let it
    # end. Then one server serves the whole scenario until the clean-up:
    # Debian's wine server otherwise ends with the last program, and a
    # command started in that moment is killed with it, silently.
    timeout -k 5 60 ip netns exec "$E2E_NS" wineserver -w ||
        e2e_fail "the prefix's first sessions do not end within 60 s"
    ip netns exec "$E2E_NS" wineserver -p || e2e_fail "cannot start the scenario's wine server"
    mkdir -p "$WINEPREFIX/drive_c/e2e"
    cp "$E2E_SUBJECT" "$WINEPREFIX/drive_c/e2e/P_nolvara.exe"
    e2e_log "prefix ready"
}

# From the program's first start to the scenario's end, the driver stands in
# for the desktop shell (Explorer), whose rights a hidden run gets.
e2e_desktop_shell_up() {
    [ -z "${E2E_SHELL_UP:-}" ] || return 0
    E2E_SHELL_UP=1
    ip netns exec "$E2E_NS" wine "$NOLVARA_TOOLS/nolvara_driver.exe" desktop-shell \
        >"$E2E_DIR/desktop-shell.log" 2>&1 &
    e2e_wait_for 30 grep -q ready "$E2E_DIR/desktop-shell.log" ||
        e2e_fail "the tests' desktop shell is not up within 30 s: $(tail -n 3 "$E2E_DIR/desktop-shell.log")"
}

# e2e_prefix_boot: makes the prefix, lets its first session end (nothing
# started meanwhile would live on) and makes windows unmanaged on a private
# Xvfb, which has no window manager to wait for. Sets E2E_BOOT_STATUS.
e2e_prefix_boot() {
    E2E_BOOT_STATUS=0
    {
        timeout -k 5 120 ip netns exec "$E2E_NS" wineboot -i &&
            timeout -k 5 60 ip netns exec "$E2E_NS" wineserver -w &&
            { [ "$E2E_OWN_DISPLAY" = 0 ] || timeout -k 5 60 ip netns exec "$E2E_NS" wine reg add \
                'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f; }
    } >"$E2E_DIR/wineboot.log" 2>&1 || E2E_BOOT_STATUS=$?
    [ "$E2E_BOOT_STATUS" = 0 ]
}

# Starts the program with the given arguments in the background; its output
# goes to program.log in the scenario's folder.
e2e_start() {
    e2e_desktop_shell_up
    e2e_log "start: P_nolvara.exe $*"
    ip netns exec "$E2E_NS" wine "$E2E_PROGRAM" "$@" >>"$E2E_DIR/program.log" 2>&1 &
    E2E_STARTED_PID=$!
}

# e2e_wait_started_run SECONDS: succeeds once the run of the last e2e_start
# has ended (wine returns when the Windows process does). A run that ends
# very quickly is never missed, as a look at the process list could be.
e2e_wait_started_run() { e2e_wait_for "$1" e2e_started_run_ended; }
e2e_started_run_ended() { ! kill -0 "$E2E_STARTED_PID" 2>/dev/null; }

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

# e2e_wait_for SECONDS COMMAND...: succeeds once the command does, trying
# every 100 ms; fails when it has not within the time.
e2e_wait_for() {
    local deadline=$((${EPOCHREALTIME/[,.]/} + $1 * 1000000))
    shift
    until "$@"; do
        [ "${EPOCHREALTIME/[,.]/}" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

e2e_program_runs() { [ -n "$(e2e_program_pids "${1:-}")" ]; }
e2e_program_ended() { ! e2e_program_runs "${1:-}"; }
e2e_file_gone() { [ ! -e "$1" ]; }

# e2e_wait_program_gone SECONDS [PATTERN]: succeeds once no matching program
# of this scenario runs.
e2e_wait_program_gone() { e2e_wait_for "$1" e2e_program_ended "${2:-}"; }

# e2e_wait_program SECONDS PATTERN: prints the process IDs of the matching
# programs once one runs; fails when none does within the time.
e2e_wait_program() {
    e2e_wait_for "$1" e2e_program_runs "$2" || return 1
    e2e_program_pids "$2"
}

# e2e_wait_installed_hidden_run SECONDS: prints the process IDs of the
# installed copy's hidden runs once one runs and has its window; the process
# is listed before the window exists, and the driver needs the window.
e2e_wait_installed_hidden_run() {
    local pids
    pids=$(e2e_wait_program "$1" "$E2E_INSTALLED_HIDDEN") || return 1
    e2e_driver wait-window 20000 >/dev/null || return 1
    echo "$pids"
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

# ---- The scenario's router ------------------------------------------------

# e2e_router_up: the router namespace, the veth pair between it and the
# scenario's namespace, the router at .1 and the program at .2 of a /24, and
# a default route through the router (so the program's side has a gateway
# as a home network gives one). Called by `e2e_begin --router`, before the
# prefix boots.
e2e_router_up() {
    [ -n "$E2E_NS" ] || e2e_fail "e2e_router_up needs the scenario's namespace: use e2e_begin --router"
    [ "$E2E_PREFIX_UP" = 0 ] ||
        e2e_fail "e2e_router_up after the prefix booted: use e2e_begin --router"
    [ -z "$E2E_RT_NS" ] || e2e_fail "the scenario has a router already"
    E2E_RT_NS=nolvara-rt-$$
    if ip netns list | grep -qw "^$E2E_RT_NS"; then ip netns del "$E2E_RT_NS"; fi
    ip netns add "$E2E_RT_NS"
    # The link exists only between the two namespaces of this scenario, so
    # the same range in a parallel scenario could not clash; a third octet
    # of its own per shell only keeps the logs of parallel runs apart.
    local net=10.213.$(($$ % 200 + 20))
    E2E_ROUTER_IP=$net.1
    E2E_HOST_IP=$net.2
    ip -n "$E2E_RT_NS" link set lo up
    ip -n "$E2E_NS" link add "$E2E_LINK" type veth peer name "$E2E_LINK" netns "$E2E_RT_NS" ||
        e2e_fail "cannot make the veth pair to the router"
    ip -n "$E2E_RT_NS" addr add "$E2E_ROUTER_IP/24" dev "$E2E_LINK"
    ip -n "$E2E_RT_NS" link set "$E2E_LINK" up
    e2e_router_answers
    e2e_link_up
    e2e_log "router $E2E_ROUTER_IP in namespace $E2E_RT_NS; the program's side is $E2E_HOST_IP"
}

e2e_require_router() {
    [ -n "$E2E_RT_NS" ] || e2e_fail "the scenario has no router: use e2e_begin --router"
}

# The router ignores echo requests (the kernel setting is per namespace, so
# the host and other scenarios keep answering); the link stays up.
e2e_router_silent() {
    e2e_require_router
    ip netns exec "$E2E_RT_NS" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 ||
        e2e_fail "cannot make the router ignore echo requests"
    e2e_log "router: ignores echo requests"
}

e2e_router_answers() {
    e2e_require_router
    ip netns exec "$E2E_RT_NS" sysctl -qw net.ipv4.icmp_echo_ignore_all=0 ||
        e2e_fail "cannot make the router answer echo requests"
    e2e_log "router: answers echo requests"
}

# The program's side of the link goes down: the kernel drops its routes, so
# a request to the router cannot even be sent.
e2e_link_down() {
    e2e_require_router
    ip -n "$E2E_NS" link set "$E2E_LINK" down || e2e_fail "cannot take the link down"
    e2e_log "link: down"
}

# Up again with the address and the default route, which the kernel dropped
# with the link; returns once the route to the router is back.
e2e_link_up() {
    e2e_require_router
    ip -n "$E2E_NS" link set "$E2E_LINK" up || e2e_fail "cannot bring the link up"
    if ! ip -n "$E2E_NS" -4 -o addr show dev "$E2E_LINK" | grep -q " $E2E_HOST_IP/24 "; then
        ip -n "$E2E_NS" addr add "$E2E_HOST_IP/24" dev "$E2E_LINK" || e2e_fail "cannot set $E2E_HOST_IP"
    fi
    local _
    for _ in $(seq 50); do
        ip -n "$E2E_NS" -4 route show dev "$E2E_LINK" | grep -q "proto kernel" && break
        sleep 0.1
    done
    ip -n "$E2E_NS" route replace default via "$E2E_ROUTER_IP" dev "$E2E_LINK" ||
        e2e_fail "cannot set the default route via $E2E_ROUTER_IP"
    e2e_log "link: up"
}

# ---- The update server --------------------------------------------------

# e2e_update_server_up: serves $E2E_DIR/www on port 80 of the namespace's
# loopback, where the program's update host points (e2e_begin --update-host).
e2e_update_server_up() {
    mkdir -p "$E2E_DIR/www"
    ip netns exec "$E2E_NS" python3 -m http.server 80 --bind 127.0.0.1 \
        --directory "$E2E_DIR/www" >>"$E2E_DIR/http.log" 2>&1 &
    E2E_HTTP_PID=$!
    local _
    for _ in $(seq 50); do
        ip netns exec "$E2E_NS" bash -c 'exec 3<>/dev/tcp/127.0.0.1/80' 2>/dev/null && return 0
        kill -0 "$E2E_HTTP_PID" 2>/dev/null || break
        sleep 0.1
    done
    e2e_fail "the update server does not listen: $(tail -n 3 "$E2E_DIR/http.log")"
}

# e2e_update_server_stalled: a server on the update host's port that accepts
# every connection and never answers; each accept's time ($EPOCHREALTIME
# form) goes to stalled.log. e2e_update_server_down ends it.
e2e_update_server_stalled() {
    : >"$E2E_DIR/stalled.log"
    ip netns exec "$E2E_NS" python3 -c '
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 80))
server.listen(8)
held = []
while True:
    client, _ = server.accept()
    held.append(client)
    print("%.6f" % time.time(), flush=True)
' >>"$E2E_DIR/stalled.log" 2>&1 &
    E2E_HTTP_PID=$!
    local _
    for _ in $(seq 50); do
        ip netns exec "$E2E_NS" bash -c 'exec 3<>/dev/tcp/127.0.0.1/80' 2>/dev/null && break
        kill -0 "$E2E_HTTP_PID" 2>/dev/null || e2e_fail "the stalled server does not start"
        sleep 0.1
    done
    # The probe connection above was accepted too; only later ones count.
    sleep 0.2
    : >"$E2E_DIR/stalled.log"
}

e2e_update_server_down() {
    [ -n "$E2E_HTTP_PID" ] || return 0
    kill "$E2E_HTTP_PID" 2>/dev/null || true
    wait "$E2E_HTTP_PID" 2>/dev/null || true
    E2E_HTTP_PID=
}

# e2e_update_answer BODY: what the server answers at the program's update address.
e2e_update_answer() {
    mkdir -p "$E2E_DIR/www/update"
    printf '%s' "$1" >"$E2E_DIR/www/update/index.html"
}

# e2e_trust_test_key: the scenario's key pairs, and the program copy that
# trusts the first as $E2E_SUBJECT.
e2e_trust_test_key() {
    local name
    mkdir "$E2E_DIR/keys"
    for name in test other; do
        openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 \
            -out "$E2E_DIR/keys/$name.pem" 2>/dev/null || e2e_fail "openssl cannot make a key pair"
    done
    E2E_TEST_KEY=$E2E_DIR/keys/test.pem
    E2E_OTHER_KEY=$E2E_DIR/keys/other.pem
    openssl pkey -in "$E2E_TEST_KEY" -pubout -out "$E2E_DIR/keys/test-public.pem" ||
        e2e_fail "openssl cannot write the public key"
    E2E_SUBJECT=$E2E_DIR/P_nolvara.exe
    "$E2E_REPO/tools/trust-update-key" "$NOLVARA_EXE" "$E2E_DIR/keys/test-public.pem" \
        "$E2E_SUBJECT" || e2e_fail "tools/trust-update-key failed"
    cmp -s "$NOLVARA_EXE" "$E2E_SUBJECT" && e2e_fail "the copy that trusts the test key is the release build"
    e2e_log "the program under test trusts the scenario's own key"
}

# e2e_announce_update BUILD FILE URL [KEY]: the update server announces BUILD
# at URL, signed for FILE's bytes with KEY (default: the key the program
# trusts).
e2e_announce_update() {
    local signature
    signature=$("$E2E_REPO/tools/sign-update" "${4:-$E2E_TEST_KEY}" "$1" "$2") ||
        e2e_fail "tools/sign-update failed"
    e2e_update_answer "#recommended#2.0#$3#$1#$signature#"
}

# e2e_reg_add KEY NAME TYPE DATA: a value under HKLM\KEY of the prefix.
e2e_reg_add() {
    # A busy machine has seen reg fail once, with nothing of the program's
    # in the way: tried three times, and what it said is shown.
    local said attempt
    for attempt in 1 2 3; do
        said=$(e2e_wine reg add "HKLM\\$1" /v "$2" /t "$3" /d "$4" /f 2>&1) && return 0
        e2e_log "  reg add, attempt $attempt: $said"
    done
    e2e_fail "cannot store HKLM\\$1 \"$2\""
}

# e2e_store_router DELAY: the settings the panel leaves for the scenario's
# router, a delay of DELAY s after its first answer, and the program's version.
e2e_store_router() {
    e2e_reg_add 'SOFTWARE\Nolvara\IPList' ip1 REG_SZ "$E2E_ROUTER_IP"
    e2e_reg_add 'SOFTWARE\Nolvara' shutdowndelay REG_DWORD "$1"
    e2e_reg_add 'SOFTWARE\Nolvara' version REG_DWORD 6
}

# ---- The wireless service -------------------------------------------------

# e2e_service COMMAND...: the tests' service tool inside the scenario's
# namespace (install, state, start, stop, start-value, set-start-value,
# uninstall); its output without the CRs of Windows line ends.
e2e_service() {
    local out status=0
    out=$(e2e_wine "$NOLVARA_TOOLS/nolvara_service.exe" "$@") || status=$?
    [ -z "$out" ] || printf '%s\n' "${out//$'\r'/}"
    return "$status"
}

# e2e_service_install [START]: the stand-in registered as WZCSVC, running,
# with "Start" = START (default 2).
e2e_service_install() {
    local start=${1:-2} state value tool
    for tool in nolvara_service.exe wzc_standin.exe; do
        [ -f "$NOLVARA_TOOLS/$tool" ] || e2e_fail "not built: $NOLVARA_TOOLS/$tool"
    done
    cp "$NOLVARA_TOOLS/wzc_standin.exe" "$WINEPREFIX/drive_c/e2e/wzc_standin.exe"
    e2e_service install 'C:\e2e\wzc_standin.exe' "$start" >"$E2E_DIR/service-install.log" 2>&1 ||
        e2e_fail "the stand-in service does not install: $(tail -n 3 "$E2E_DIR/service-install.log")"
    state=$(e2e_service state) || e2e_fail "cannot read the state of WZCSVC"
    value=$(e2e_service start-value) || e2e_fail "cannot read WZCSVC \"Start\""
    [ "$state $value" = "running $start" ] ||
        e2e_fail "after the install WZCSVC is $state with \"Start\" $value, not running with $start"
    e2e_log "stand-in service WZCSVC installed: running, \"Start\" $start"
}

e2e_cleanup() {
    local status=$? pids
    set +e
    trap - EXIT INT TERM
    e2e_update_server_down
    if [ -n "$E2E_NS" ]; then
        if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
            timeout 20 ip netns exec "$E2E_NS" wineserver -k >/dev/null 2>&1
            timeout 20 ip netns exec "$E2E_NS" wineserver -w >/dev/null 2>&1
        fi
        # Whatever still runs in the namespace was started by this scenario.
        pids=$(ip netns pids "$E2E_NS" 2>/dev/null)
        # shellcheck disable=SC2086
        [ -z "$pids" ] || kill -KILL $pids 2>/dev/null
        ip netns del "$E2E_NS" 2>/dev/null
        rm -rf "/etc/netns/$E2E_NS"
    fi
    if [ -n "$E2E_RT_NS" ]; then
        # What a scenario started there (a late-answering router) goes with it.
        pids=$(ip netns pids "$E2E_RT_NS" 2>/dev/null)
        # shellcheck disable=SC2086
        [ -z "$pids" ] || kill -KILL $pids 2>/dev/null
        ip netns del "$E2E_RT_NS" 2>/dev/null
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

# ---- Checks of a hidden automatic-control run against the stand-in service ----

# e2e_expect_status PART TEXT: a part of the program window's status bar.
# e2e_expect_status PART TEXT: the status bar's part shows TEXT, at once or
# within 2 s: the program updates it once its switch of the service is done,
# and it looks at a pending service at most once a second.
e2e_expect_status() {
    local text deadline=$((${EPOCHREALTIME/[,.]/} + 2000000))
    while :; do
        text=$(e2e_driver status --escaped "$1") || e2e_fail "cannot read status bar part $1"
        [ "$text" != "$2" ] && [ "${EPOCHREALTIME/[,.]/}" -lt "$deadline" ] || break
        sleep 0.1
    done
    e2e_expect "status bar part $1" "$text" "$2"
}

# e2e_expect_tip TEXT: the tooltip of the hidden run's notification icon, the
# one thing of that run a person sees, begins with TEXT, at once or within
# 3 s: it follows a switch at the next tick.
e2e_expect_tip() {
    local tip deadline=$((${EPOCHREALTIME/[,.]/} + 3000000))
    while :; do
        tip=$(e2e_driver tray-tip | tr -d '\r') || tip=""
        [ "${tip:0:${#1}}" != "$1" ] && [ "${EPOCHREALTIME/[,.]/}" -lt "$deadline" ] || break
        sleep 0.1
    done
    e2e_expect_prefix "the icon's tooltip" "${tip//$'\n'/ \/ }" "$1"
}

# e2e_expect_no_controls: the hidden run's window, which never shows, has
# made none of its controls.
e2e_expect_no_controls() {
    local listed
    listed=$(e2e_driver list) || e2e_fail "cannot list the hidden window's controls"
    e2e_expect "controls of the hidden window" "$(printf '%s' "$listed" | grep -c . || true)" 0
}

e2e_ms_since() { echo $(((${EPOCHREALTIME/[,.]/} - ${1/[,.]/}) / 1000)); }

# e2e_expect_switched_off_after DELAY: the hidden run disables and stops
# WZCSVC DELAY seconds after the router's first answer. The first tick comes
# 1 s into the run and arms the delay, so the switch comes DELAY + 1 s after
# the process started at the earliest; DELAY s leaves a second for the clocks
# and still fails a switch without the delay.
e2e_expect_switched_off_after() {
    local seen waited since
    seen=$(e2e_driver wait-wireless 4 stopped 8000) ||
        e2e_fail "WZCSVC is not disabled and stopped within 8 s of the window's appearance" \
            "(ms waited, ms since the program started, Start, state: $seen)"
    read -r waited since _ <<<"$seen"
    [ "$since" -ge $(($1 * 1000)) ] ||
        e2e_fail "WZCSVC was disabled only $since ms after the program started, before the" \
            "first answer and the $1 s delay could have passed"
    e2e_ok "disabled and stopped $since ms after the program started ($waited ms of waiting)"
}

# e2e_expect_wireless_within START STATE MS SINCE WHAT: WZCSVC reaches the
# "Start" value and state within MS ms; SINCE is the $EPOCHREALTIME of WHAT.
e2e_expect_wireless_within() {
    local seen
    seen=$(e2e_driver wait-wireless "$1" "$2" "$3") ||
        e2e_fail "WZCSVC is not \"Start\" $1 and $2 within $3 ms of $5" \
            "(ms waited, ms since the program started, Start, state: $seen)"
    e2e_ok "\"Start\" $1 and $2 $(e2e_ms_since "$4") ms after $5"
}

# e2e_expect_reconnect_cycle: the link goes down and WZCSVC is automatic and
# running within 3 s; it comes back and WZCSVC is disabled and stopped
# within 2.5 s. The delay is armed once per run: 2.5 s tells a switch at once
# from one that waited for a delay of 3 s or more again.
e2e_expect_reconnect_cycle() {
    local down up
    e2e_link_down
    down=$EPOCHREALTIME
    e2e_expect_wireless_within 2 running 3000 "$down" "the link went down"
    e2e_link_up
    up=$EPOCHREALTIME
    e2e_expect_wireless_within 4 stopped 2500 "$up" "the link came back"
}

# e2e_expect_session_end PATTERN: the query before log-off reaches the hidden
# window; the run answers yes, sets "Start" back to 2 and ends.
e2e_expect_session_end() {
    local answer value
    answer=$(e2e_driver send-queryendsession logoff) ||
        e2e_fail "the hidden window does not answer WM_QUERYENDSESSION"
    e2e_expect "answer to WM_QUERYENDSESSION" "$answer" 1
    e2e_wait_program_gone 10 "$1" || e2e_fail "P_nolvara.exe -hide still runs 10 s after the session ended"
    e2e_ok "P_nolvara.exe -hide has ended"
    value=$(e2e_service start-value) || e2e_fail "cannot read WZCSVC \"Start\""
    e2e_expect "WZCSVC \"Start\"" "$value" 2
}

# Run directly rather than sourced (by hand: `bash tests/e2e/lib.sh`; CTest leaves it out),
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
    e2e_selfcheck_router
}

# The router and the stand-in service as the scenarios use them, seen from
# Wine inside the namespace the way the program sees them; and both
# namespaces gone afterwards.
e2e_selfcheck_router() {
    local lib state ns rt dir
    lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lib.sh
    state=$(mktemp /tmp/nolvara-e2e-state.XXXXXX)
    bash -c '
        set -euo pipefail
        . "$1"
        e2e_begin --router
        echo "$E2E_NS $E2E_RT_NS $E2E_DIR" >"$2"
        e2e_step "the namespace has loopback and the link to the router, routed through it"
        links=$(ip -n "$E2E_NS" -o link show | awk -F": " "{print \$2}" | sed "s/@.*//" | tr "\n" " ")
        e2e_expect "links in the namespace" "$links" "lo $E2E_LINK "
        gateway=$(ip -n "$E2E_NS" -4 route show default)
        e2e_expect "default route" "${gateway% }" "default via $E2E_ROUTER_IP dev $E2E_LINK"
        e2e_step "echo requests from Wine: answered, ignored, unsendable, answered again"
        reply=$(e2e_driver ping "$E2E_ROUTER_IP" 1000) || e2e_fail "the router does not answer: $reply"
        e2e_expect_prefix "router answering" "$reply" "reply "
        e2e_router_silent
        reply=$(e2e_driver ping "$E2E_ROUTER_IP" 300) || true
        e2e_expect "router silent (IP_REQ_TIMED_OUT)" "$reply" "failed 11010"
        e2e_router_answers
        e2e_link_down
        reply=$(e2e_driver ping "$E2E_ROUTER_IP" 300) || true
        e2e_expect "link down (IP_GENERAL_FAILURE)" "$reply" "failed 11050"
        e2e_link_up
        gateway=$(ip -n "$E2E_NS" -4 route show default)
        e2e_expect "default route after the link came back" "${gateway% }" \
            "default via $E2E_ROUTER_IP dev $E2E_LINK"
        reply=$(e2e_driver ping "$E2E_ROUTER_IP" 1000) || e2e_fail "the router does not answer: $reply"
        e2e_expect_prefix "router answering after the link came back" "$reply" "reply "
        e2e_step "the stand-in service, stopped and started, seen by the driver"
        e2e_service_install 2
        seen=$(e2e_driver wireless) || e2e_fail "the driver cannot read the service"
        e2e_expect "Start and state" "$seen" "2 running"
        e2e_service stop >/dev/null || e2e_fail "the stand-in does not stop"
        e2e_service set-start-value 4 || e2e_fail "cannot write \"Start\""
        seen=$(e2e_driver wait-wireless 4 stopped 2000) || e2e_fail "wait-wireless misses 4 stopped: $seen"
        e2e_ok "wait-wireless: $seen"
        e2e_driver hold-wireless 4 stopped 500 || e2e_fail "hold-wireless sees a change that did not happen"
        e2e_ok "hold-wireless holds"
        status=0
        seen=$(e2e_driver wait-wireless 2 running 300) || status=$?
        e2e_expect "exit status of a wait that times out" "$status" 1
        e2e_service start >/dev/null || e2e_fail "the stand-in does not start"
        status=0
        seen=$(e2e_driver hold-wireless 4 stopped 500) || status=$?
        e2e_expect "exit status of a hold that sees the change" "$status" 1
        e2e_expect_prefix "what the hold saw" "${seen#* }" "4 running"
    ' lib_selfcheck "$lib" "$state" || { rm -f "$state"; return 1; }
    read -r ns rt dir <"$state"
    rm -f "$state"
    E2E_NAME=lib_selfcheck
    e2e_step "the clean-up left neither namespace behind"
    ! ip netns list | grep -qw "^$ns" || { echo "FAIL: namespace $ns is left" >&2; return 1; }
    ! ip netns list | grep -qw "^$rt" || { echo "FAIL: router namespace $rt is left" >&2; return 1; }
    [ ! -e "$dir" ] || { echo "FAIL: $dir is left" >&2; return 1; }
    e2e_ok "no namespace or folder left"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    e2e_selfcheck
fi
