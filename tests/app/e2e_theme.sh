#!/usr/bin/env bash
# The real program follows the desktop theme while it runs: a private X server, a
# private session bus with the fake portal, xdotool for the user, and the pixels of
# the screen as the evidence.
#   e2e_theme.sh PROGRAM FAKE_PORTAL X11_PIXELS      exit 0 pass, 1 fail, 77 skipped
set -u -o pipefail

program=$1 portal=$2 pixels=$3
for tool in Xvfb xdotool xdpyinfo dbus-daemon dbus-send timeout; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool not found"; exit 77; }
done
readonly title='Silent Install Helper'
work=$(mktemp -d "${TMPDIR:-/tmp}/sih-e2e-theme.XXXXXX") || exit 1
pids=()
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    kill "${pids[@]}" 2>/dev/null
    for pid in "${pids[@]}"; do timeout 5 tail --pid="$pid" -f /dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
fail() {
    echo "FAIL: $*" >&2
    command -v import >/dev/null && timeout 10 import -window root "$PWD/e2e_theme-failure.png" 2>/dev/null &&
        echo "screenshot: $PWD/e2e_theme-failure.png" >&2
    cat "$work/program.err" >&2 2>/dev/null
    exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
start_xvfb "$work" || fail "no X server could be started"
pids+=("$xvfb_pid")
mkdir -p "$work/home" "$work/runtime" "$work/bus" && chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
# Without service activation, so that only the fake portal can answer.
cat >"$work/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:dir=$work/bus</listen><auth>EXTERNAL</auth><policy context="default">
<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/bus.address" 2>/dev/null &
pids+=($!)
for _ in {1..50}; do [[ -s $work/bus.address ]] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
"$portal" >"$work/portal.out" 2>&1 &
pids+=($!)
for _ in {1..50}; do grep -q ready "$work/portal.out" && break; sleep 0.1; done
grep -q ready "$work/portal.out" || fail "the fake portal did not start"

portal_call() { # method args...
    timeout 10 dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop "org.freedesktop.portal.Settings.$1" "${@:2}" >/dev/null ||
        fail "portal call $*"
}
set_scheme() { portal_call Set string:org.freedesktop.appearance string:color-scheme "variant:uint32:$1"; }
windows() { timeout 5 xdotool search --onlyvisible --name "${1:-}" 2>/dev/null | sort -n; }
# Waits up to 10 s for a visible window not in the list $1 (titled $2) and prints its id.
new_window() {
    local id
    for _ in {1..100}; do
        id=$(windows "${2:-}" | grep -vxF "$1" | head -1)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
focus() {
    for _ in {1..30}; do
        timeout 5 xdotool windowfocus --sync "$1" >/dev/null 2>&1
        [[ $(timeout 5 xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
        sleep 0.1
    done
    fail "window $1 did not take the keyboard focus"
}
click() { timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 1270 790 || fail "xdotool click"; }

# Polls for up to $1 seconds until every "window x y colour" check holds; the colour is
# RRGGBB (within 6 per channel) or "green" (the accent).
expect() {
    local deadline=$((SECONDS + $1)) check w x y want got ok seen
    shift
    while true; do
        ok=1 seen=
        for check in "$@"; do
            read -r w x y want <<<"$check"
            got=$("$pixels" "$w" "$x" "$y") || got=000000
            seen+=" [$x,$y]=$got (want $want)"
            local r=$((16#${got:0:2})) g=$((16#${got:2:2})) b=$((16#${got:4:2}))
            if [[ $want == green ]]; then
                ((g > r + 40 && g > b + 40)) || ok=0
            else
                local er=$((16#${want:0:2})) eg=$((16#${want:2:2})) eb=$((16#${want:4:2}))
                (((r - er) ** 2 <= 36 && (g - eg) ** 2 <= 36 && (b - eb) ** 2 <= 36)) || ok=0
            fi
        done
        ((ok)) && return 0
        ((SECONDS < deadline)) || { echo "$seen"; return 1; }
        sleep 0.1
    done
}

"$program" >/dev/null 2>"$work/program.err" &
pids+=($!)
selector=$(new_window "" "$title") || fail "the language selector did not appear"
# Its panel, its window background and the Select button.
expect 10 "$selector 15 140 ffffff" "$selector 5 168 f3f3f3" || fail "the selector did not start light"
portal_call SetAccent double:0.1 double:0.6 double:0.2
set_scheme 1
expect 2 "$selector 15 140 2b2b2b" "$selector 5 168 202020" "$selector 35 186 green" ||
    fail "the selector did not turn dark with a green Select button within 2 s"

focus "$selector"
timeout 10 xdotool key Return || fail "xdotool key"
main=$(new_window "$selector" "$title") || fail "the main window did not appear"
# The title strip and the empty table area below the single row, which only the palette colours.
expect 5 "$main 20 20 2b2b2b" "$main 400 400 2b2b2b" || fail "the main window is not dark"
# Icons: Delete, disabled while no row is selected, is faint beside Add.
read -r disabled _ < <("$pixels" "$main" 758 17 29 29)
read -r enabled _ < <("$pixels" "$main" 648 17 29 29)
awk -v d="$disabled" -v e="$enabled" 'BEGIN { exit !(e >= 7 && d <= e / 2) }' ||
    fail "the disabled Delete icon does not look disabled: contrast $disabled, Add $enabled"

focus "$main"
known=$(windows "$title")
click "$main" 662 31
editor=$(new_window "$known" "$title") || fail "the editor did not open"
focus "$editor"
# A new editor is dark, and its focused name field shows the accent along its bottom edge.
expect 2 "$editor 10 10 2b2b2b" "$editor 10 300 202020" "$editor 100 160 green" ||
    fail "the editor is not dark with the accent on the focused field"
# The completion list: dark, with readable text.
known=$(windows)
timeout 10 xdotool type --delay 60 -- Sa || fail "xdotool type"
popup=$(new_window "$known") || fail "no completion list appeared"
sleep 0.3
read -r ratio background < <("$pixels" "$popup" 0 0 0 0)
awk -v r="$ratio" -v b="$background" 'BEGIN { exit !(r >= 4.5 && b < 0.05) }' ||
    fail "the completion list is not dark with readable text: contrast $ratio, background luminance $background"
timeout 10 xdotool key Escape

# Back to light while the editor is open: the editor and the main window follow.
set_scheme 2
expect 2 "$editor 10 10 ffffff" "$editor 10 300 f3f3f3" "$main 20 20 ffffff" "$main 700 400 ffffff" ||
    fail "the editor and the main window did not turn light within 2 s"
# A burst of 500 changes, light first: the last (dark) shows within 3 s.
portal_call Toggle uint32:500
expect 3 "$editor 10 10 2b2b2b" "$editor 10 300 202020" "$main 20 20 2b2b2b" ||
    fail "the last theme of the burst is not shown within 3 s"
kill -0 "${pids[-1]}" 2>/dev/null || fail "the program ended"
echo "PASS: completion list contrast $ratio; Delete icon contrast $disabled disabled, Add $enabled"
