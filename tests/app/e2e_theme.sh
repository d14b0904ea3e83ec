#!/usr/bin/env bash
# The real program follows the desktop theme while it runs: a private X server, a
# private session bus with the fake portal, xdotool for the user, and the pixels of
# screenshots as the evidence.
#
#   e2e_theme.sh PROGRAM FAKE_PORTAL X11_PIXELS
#
# Light -> dark with a green accent while the selector is open; the main window,
# its empty table area and selected row; the disabled Delete icon; a newly opened
# editor and its completion list (contrast); back to light while the editor is
# open; a burst of 500 changes; Qt's own save dialog. Exit codes: 0 pass, 1 fail,
# 77 skipped.

set -u -o pipefail

program=${1:-}
portal=${2:-}
pixels=${3:-}
if [[ ! -x $program || ! -x $portal || ! -x $pixels ]]; then
    echo "usage: $0 PROGRAM FAKE_PORTAL X11_PIXELS" >&2
    exit 2
fi
for tool in Xvfb xdotool xdpyinfo dbus-daemon dbus-send timeout; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool not found"
        exit 77
    fi
done

readonly title='Silent Install Helper'
work=$(mktemp -d "${TMPDIR:-/tmp}/sih-e2e-theme.XXXXXX") || exit 1
failure_shot="$PWD/e2e_theme-failure.png"
rm -f "$failure_shot"
pids=()
program_pid=

# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    local pid
    for pid in "$program_pid" "${pids[@]}"; do
        [[ -n $pid ]] && kill "$pid" 2>/dev/null
    done
    for pid in "$program_pid" "${pids[@]}"; do
        [[ -n $pid ]] && timeout 5 tail --pid="$pid" -f /dev/null 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    [[ -n ${DISPLAY:-} ]] && command -v import >/dev/null && timeout 10 import -window root "$failure_shot" \
        2>/dev/null && echo "screenshot: $failure_shot" >&2
    [[ -s $work/program.err ]] && { echo "--- program standard error:" >&2; cat "$work/program.err" >&2; }
    exit 1
}

# --- a private X server, bus and portal ------------------------------------------
source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
start_xvfb "$work" || fail "no X server could be started"
pids+=("$xvfb_pid")

mkdir -p "$work/home" "$work/runtime" "$work/bus" && chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION QT_QPA_PLATFORMTHEME \
    GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION QT_STYLE_OVERRIDE QDBUS_DEBUG

# Without service activation, so that only the fake portal can answer.
cat >"$work/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:dir=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile --print-address=3 3>"$work/bus.address" &
pids+=($!)
for _ in {1..50}; do [[ -s $work/bus.address ]] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus.address")
[[ -n $DBUS_SESSION_BUS_ADDRESS ]] || fail "the private bus did not start"
export DBUS_SESSION_BUS_ADDRESS
"$portal" >"$work/portal.out" 2>&1 &
pids+=($!)
for _ in {1..50}; do grep -q ready "$work/portal.out" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/portal.out" || fail "the fake portal did not start"

portal_call() { # method args...
    timeout 10 dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop "org.example.FakePortalControl.$1" "${@:2}" >/dev/null
}
set_scheme() { portal_call Set string:org.freedesktop.appearance string:color-scheme "variant:uint32:$1"; }

# --- windows and pixels ----------------------------------------------------------

visible_windows() { timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n; }
window_width() { timeout 5 xdotool getwindowgeometry --shell "$1" 2>/dev/null | sed -n 's/^WIDTH=//p'; }

# Prints the id of a mapped window titled like $1, exactly $2 pixels wide, not in
# the list $3, once one appears within $4 seconds.
wait_new_window() {
    local tries=$(($4 * 10)) id
    while ((tries-- > 0)); do
        kill -0 "$program_pid" 2>/dev/null || return 1
        for id in $(visible_windows "$1"); do
            grep -qx "$id" <<<"$3" && continue
            [[ $(window_width "$id") == "$2" ]] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

focus_window() {
    local tries=30
    while ((tries-- > 0)); do
        timeout 5 xdotool windowfocus --sync "$1" >/dev/null 2>&1
        [[ $(timeout 5 xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
        sleep 0.1
    done
    return 1
}

# Each check names a window, a point in it and what the colour there must be:
# a colour (RRGGBB, within 6 per channel), "green" (the accent) or "changed".
colour_is() { # actual expected
    local r=$((16#${1:0:2})) g=$((16#${1:2:2})) b=$((16#${1:4:2}))
    case $2 in
        green) ((g > r + 40 && g > b + 40)) ;;
        *)
            local er=$((16#${2:0:2})) eg=$((16#${2:2:2})) eb=$((16#${2:4:2}))
            ((${r#-} - er <= 6 && er - r <= 6 && g - eg <= 6 && eg - g <= 6 && b - eb <= 6 && eb - b <= 6))
            ;;
    esac
}

# Polls for up to $1 seconds until every "window x y colour" check of the
# remaining arguments holds; on failure prints what was seen last.
expect_colours() {
    local deadline=$((SECONDS + $1)) seen check w x y want got ok
    shift
    while true; do
        ok=1
        seen=
        for check in "$@"; do
            read -r w x y want <<<"$check"
            got=$("$pixels" "$w" "$x" "$y") || got=000000
            seen+=" [$x,$y]=$got (want $want)"
            colour_is "$got" "$want" || ok=0
        done
        ((ok)) && return 0
        ((SECONDS < deadline)) || { echo "$seen"; return 1; }
        sleep 0.1
    done
}

keys() { timeout 10 xdotool key --delay 60 "$@"; }

# --- the run ---------------------------------------------------------------------

"$program" >"$work/program.out" 2>"$work/program.err" &
program_pid=$!

selector=$(wait_new_window "$title" 331 "" 15) || fail "the language selector did not appear"
# The selector's panel, its window background and the Select button.
expect_colours 10 "$selector 15 140 ffffff" "$selector 5 168 f3f3f3" ||
    fail "the selector did not start light"

portal_call SetAccent double:0.1 double:0.6 double:0.2 || fail "the portal did not take the accent"
set_scheme 1 || fail "the portal did not take the theme"
expect_colours 2 "$selector 15 140 2b2b2b" "$selector 5 168 202020" "$selector 35 186 green" ||
    fail "the selector did not turn dark with a green Select button within 2 s"

focus_window "$selector" || fail "the selector did not take the keyboard focus"
keys Return || fail "xdotool could not press Return"
main=$(wait_new_window "$title" 860 "$selector" 15) || fail "the main window did not appear"
# The empty table area below the single row and the title strip.
expect_colours 5 "$main 400 400 2b2b2b" "$main 20 20 2b2b2b" || fail "the main window is not dark"
# The Delete button's icon, disabled while no row is selected: faint against its background.
read -r disabled_contrast _ < <("$pixels" --contrast "$main" 758 17 29 29)

# Opens the editor with the Add button; sets editor.
open_editor() {
    local known
    focus_window "$main" || fail "the main window did not take the keyboard focus"
    known=$(visible_windows "$title")
    timeout 5 xdotool mousemove --window "$main" 662 31 click 1 mousemove 1270 790 || fail "xdotool could not click Add"
    editor=
    for _ in {1..100}; do
        editor=$(visible_windows "$title" | grep -vxF "$known" | head -1)
        [[ -n $editor ]] && break
        sleep 0.1
    done
    [[ -n $editor ]] || fail "the editor did not open"
    focus_window "$editor" || fail "the editor did not take the keyboard focus"
}
open_editor
# The editor opened after the change is dark as well.
expect_colours 2 "$editor 10 10 2b2b2b" "$editor 10 300 202020" || fail "a newly opened editor is not dark"

# The completion list: dark, with readable text.
before=$(visible_windows "")
timeout 10 xdotool type --delay 60 -- Sa || fail "xdotool could not type"
popup=
for _ in {1..50}; do
    popup=$(visible_windows "" | grep -vxF "$before" | head -1)
    [[ -n $popup ]] && break
    sleep 0.1
done
[[ -n $popup ]] || fail "no completion list appeared"
sleep 0.3
read -r ratio background < <("$pixels" --contrast "$popup")
awk -v r="$ratio" -v b="$background" 'BEGIN { exit !(r >= 4.5 && b < 0.05) }' ||
    fail "the completion list is not dark with readable text: contrast $ratio, background luminance $background"

# Finish the setting, so that there is a row that may be deleted.
timeout 10 xdotool type --delay 60 -- veSpool || fail "xdotool could not type"
sleep 0.5
keys Escape Tab 1 Return || fail "xdotool could not type into the editor"
for _ in {1..50}; do visible_windows "" | grep -qx "$editor" || break; sleep 0.1; done
visible_windows "" | grep -qx "$editor" && fail "the editor did not accept SaveSpool=1"

# Its row (the second) selected: green, and Delete enabled, its icon clearly brighter.
timeout 5 xdotool mousemove --window "$main" 150 148 click 1 mousemove 1270 790 || fail "xdotool could not click"
expect_colours 2 "$main 60 140 green" || fail "the selected row is not in the accent colour"
read -r enabled_contrast _ < <("$pixels" --contrast "$main" 758 17 29 29)
awk -v d="$disabled_contrast" -v e="$enabled_contrast" 'BEGIN { exit !(e >= 7 && d <= e / 2) }' ||
    fail "the disabled Delete icon does not look disabled: contrast $disabled_contrast, enabled $enabled_contrast"

# Back to light while the editor is open: the editor and the main window follow.
open_editor
set_scheme 2 || fail "the portal did not take the theme"
expect_colours 2 "$editor 10 10 ffffff" "$editor 10 300 f3f3f3" "$main 20 20 ffffff" "$main 400 400 ffffff" ||
    fail "the editor and the main window did not turn light within 2 s"

# A burst of 500 changes ending on dark: the program answers within 3 s and shows
# the last theme.
portal_call Toggle uint32:500 || fail "the portal did not send the burst"
burst_start=$SECONDS
expect_colours 3 "$editor 10 10 2b2b2b" "$editor 10 300 202020" "$main 20 20 2b2b2b" || fail "the last theme of the burst is not shown within 3 s"
focus_window "$editor" || fail "the editor did not take the keyboard focus after the burst"
keys Escape || fail "xdotool could not press Escape"
for _ in {1..30}; do visible_windows "" | grep -qx "$editor" || break; sleep 0.1; done
visible_windows "" | grep -qx "$editor" && fail "the editor did not close on Escape after the burst"
((SECONDS - burst_start <= 4)) || fail "the program took $((SECONDS - burst_start)) s to answer after the burst"
# Qt's own save dialog, which no style sheet covers, is dark as well.
known=$(visible_windows "")
timeout 5 xdotool mousemove --window "$main" 826 31 click 1 mousemove 1270 790 || fail "xdotool could not click Export"
save_dialog=
for _ in {1..100}; do
    save_dialog=$(visible_windows "" | grep -vxF "$known" | head -1)
    [[ -n $save_dialog ]] && break
    sleep 0.1
done
[[ -n $save_dialog ]] || fail "the save dialog did not open"
expect_colours 3 "$save_dialog 400 200 2b2b2b" "$save_dialog 5 5 202020" || fail "the save dialog is not dark"
focus_window "$save_dialog" && keys Escape

kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
echo "PASS: the program followed light -> dark -> light and a burst of 500 changes (completion list contrast $ratio, Delete icon contrast disabled $disabled_contrast, enabled $enabled_contrast)"
exit 0
