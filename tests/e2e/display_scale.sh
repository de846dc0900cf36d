#!/usr/bin/env bash
# The window at a display scale of 150 % (144 DPI, which Wine takes from its
# registry when its server starts): the program draws itself at that scale,
# so the window and every control on the settings panel are half as large
# again as at 100 %, each within a pixel, and the screenshots in both
# languages show crisp, larger text.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin

# settings_panel NAME BOX KEY...: starts the window, opens the settings panel
# with the keys, waits for the group box captioned BOX, and keeps the
# controls' rectangles in $E2E_DIR/NAME and the window's size in
# $E2E_DIR/NAME.size.
settings_panel() {
    local name=$1 caption=$2
    shift 2
    e2e_start
    e2e_driver wait-visible 20000 >/dev/null || e2e_fail "the window does not show within 20 s"
    e2e_driver wait-opacity 255 5000 >/dev/null || e2e_fail "the window does not fade in"
    local box
    box=$(e2e_driver find Button "$caption") || e2e_fail "no group box captioned $caption"
    e2e_keys "$@"
    e2e_driver wait-visible 5000 "$box" >/dev/null || e2e_fail "the settings panel does not appear"
    e2e_driver list >"$E2E_DIR/$name" || e2e_fail "cannot list the controls"
    local win
    win=$(timeout 10 xdotool search --onlyvisible --name '^Nolvara' | head -n1)
    timeout 10 xdotool getwindowgeometry --shell "$win" | grep -E '^(WIDTH|HEIGHT)=' >"$E2E_DIR/$name.size"
}

close_window() {
    e2e_driver close >/dev/null || e2e_fail "cannot close the window"
    e2e_wait_started_run 20 || e2e_fail "the window does not end within 20 s"
}

e2e_step "the settings panel at 100 %"
settings_panel at96 Settings alt+f s
e2e_ok "$(wc -l <"$E2E_DIR/at96") windows, $(tr '\n' ' ' <"$E2E_DIR/at96.size")"
close_window

e2e_step "the display at 150 %: Wine's server reads LogPixels anew"
for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    e2e_wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null ||
        e2e_fail "cannot set LogPixels under $key"
done
timeout -k 5 30 ip netns exec "$E2E_NS" wineserver -k || true
timeout -k 5 30 ip netns exec "$E2E_NS" wineserver -w || e2e_fail "the wine server does not end"
ip netns exec "$E2E_NS" wineserver -p || e2e_fail "cannot start the wine server again"

e2e_step "every rectangle is 1.5 times as large, within a pixel"
settings_panel at144 Settings alt+f s
python3 - "$E2E_DIR/at96" "$E2E_DIR/at144" "$E2E_DIR/at96.size" "$E2E_DIR/at144.size" \
    >"$E2E_DIR/scaled" <<'PY' ||
import sys

def windows(path):
    rows = []
    for line in open(path, encoding="utf-8", errors="replace"):
        fields = line.split(" ", 4)
        rows.append((fields[0], fields[1], fields[2], [int(v) for v in fields[3].split(",")]))
    return rows

def size(path):
    return dict(line.strip().split("=") for line in open(path))

before, after = windows(sys.argv[1]), windows(sys.argv[2])
faults = []
if len(before) != len(after):
    faults.append("%d windows at 100 %%, %d at 150 %%" % (len(before), len(after)))
for (id96, cls, shown, r96), (id144, cls144, shown144, r144) in zip(before, after):
    name = "%s %s" % (id96, cls)
    if (id96, cls, shown) != (id144, cls144, shown144):
        faults.append("%s %s became %s %s %s" % (name, shown, id144, cls144, shown144))
        continue
    left, top, width, height = r144
    edges96 = (r96[0], r96[1], r96[0] + r96[2], r96[1] + r96[3])
    edges = (left, top, left + width, top + height)
    # The status bar lies along the client area's bottom edge, whose height
    # is the window's less a frame that Wine draws at its own scale.
    checked = (2, 3) if cls == "msctls_statusbar32" else range(4)
    if cls == "msctls_statusbar32":
        edges96, edges = (0, 0, 0, r96[3]), (0, 0, 0, height)
    for i in checked:
        if abs(edges[i] - edges96[i] * 1.5) > 1:
            faults.append("%s: %s at 100 %%, %s at 150 %%" % (name, r96, r144))
            break
s96, s144 = size(sys.argv[3]), size(sys.argv[4])
for d in ("WIDTH", "HEIGHT"):
    if abs(int(s144[d]) - int(s96[d]) * 1.5) > 1:
        faults.append("window %s %s at 100 %%, %s at 150 %%" % (d, s96[d], s144[d]))
print("\n".join(faults) or "%d windows checked" % len(after))
sys.exit(1 if faults else 0)
PY
    e2e_fail "not scaled: $(cat "$E2E_DIR/scaled")"
e2e_ok "$(cat "$E2E_DIR/scaled") and the window itself, $(tr '\n' ' ' <"$E2E_DIR/at144.size")"
e2e_screenshot settings-150-en
close_window

e2e_step "the German settings panel at 150 %"
e2e_reg_add 'SOFTWARE\Nolvara' language REG_SZ german
settings_panel de144 Einstellungen alt+d e
e2e_ok "shown"
e2e_screenshot settings-150-de
close_window
