#!/usr/bin/env bash
# The adapter list as the program reads it, inside a network of the
# scenario's own: the link to the router is listed with the router as its
# gateway, and an adapter without a gateway (the link down, or up without a
# default route) has the empty text where the system writes "0.0.0.0".
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin --router
[ -f "$NOLVARA_TOOLS/nolvara_adapters.exe" ] ||
    e2e_fail "not built: $NOLVARA_TOOLS/nolvara_adapters.exe"

# adapter_list [raw]: the tool's lines without the CRs of Windows line ends.
# The tool only reads; a run killed by a signal from outside (an exit status
# above 128, which nothing in the tool itself gives) is logged and made once
# more, as that has happened, rarely and without a word, under Wine.
adapter_list() {
    local out status=0
    out=$(e2e_wine "$NOLVARA_TOOLS/nolvara_adapters.exe" "$@") || status=$?
    if [ "$status" -gt 128 ]; then
        e2e_log "the adapter tool was killed (exit status $status); once more"
        status=0
        out=$(e2e_wine "$NOLVARA_TOOLS/nolvara_adapters.exe" "$@") || status=$?
    fi
    [ "$status" = 0 ] || e2e_fail "the adapter tool failed with exit status $status: $out"
    printf '%s\n' "${out//$'\r'/}"
}

# check_list WHAT GATEWAY: the namespace's own adapters and nothing else (the
# host's never show); the link to the router exactly once, with that gateway;
# loopback, when Wine lists it at all, without one. Sets LINK_NAME.
check_list() {
    local what=$1 gateway=$2 list name description rest links=0
    list=$(adapter_list)
    e2e_log "$what: $(printf '%s' "$list" | tr '\n' ';')"
    while IFS='|' read -r name description rest; do
        [ -n "$name$description$rest" ] || continue
        case $description in
        "$E2E_LINK")
            links=$((links + 1))
            [ -n "$name" ] || e2e_fail "$what: the link has no adapter name"
            LINK_NAME=$name
            e2e_expect "$what: gateway of $E2E_LINK" "$rest" "$gateway"
            ;;
        lo | *[Ll]oopback*)
            e2e_expect "$what: gateway of loopback ($description)" "$rest" ""
            ;;
        *) e2e_fail "$what: an adapter that is not the namespace's: $name|$description|$rest" ;;
        esac
    done <<<"$list"
    e2e_expect "$what: number of $E2E_LINK adapters" "$links" 1
}

e2e_step "link up, default route via the router"
check_list "link up" "$E2E_ROUTER_IP"
first_name=$LINK_NAME
raw=$(adapter_list raw)
e2e_expect "the system's own line for the link" "$raw" "$first_name|$E2E_LINK|$E2E_ROUTER_IP"

e2e_step "link down: the kernel drops the route, Wine writes 0.0.0.0, the program reads none"
e2e_link_down
raw=$(adapter_list raw)
e2e_expect "the system's own line for the link" "$raw" "$first_name|$E2E_LINK|0.0.0.0"
check_list "link down" ""
e2e_expect "adapter name, kept while down" "$LINK_NAME" "$first_name"

e2e_step "link up again: the gateway is back"
e2e_link_up
check_list "link up again" "$E2E_ROUTER_IP"
e2e_expect "adapter name, kept after the link came back" "$LINK_NAME" "$first_name"

e2e_step "link up without a default route: no gateway"
ip -n "$E2E_NS" route del default || e2e_fail "cannot delete the default route"
check_list "no default route" ""
ip -n "$E2E_NS" route replace default via "$E2E_ROUTER_IP" dev "$E2E_LINK" ||
    e2e_fail "cannot restore the default route"
check_list "default route restored" "$E2E_ROUTER_IP"
