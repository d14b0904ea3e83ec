#!/usr/bin/env bash
# Renews the README's screenshots: runs the real program under Xvfb, once in the
# light and once in the dark theme (served by the test portal on a private bus),
# drives it with xdotool and captures the language selector, the main window and
# the editor with a validation message into docs/screenshots/.
#
# Usage: scripts/screenshots.sh [build-folder]   (default ./build, built if needed)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
out="$root/docs/screenshots"
[ -x "$build/app/silent-install-helper" ] && [ -x "$build/tests/ui/fake_portal" ] || SIH_BUILD_DIR="$build" "$root/scripts/build.sh"
mkdir -p "$out"

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

free_display() {
    for n in $(seq 80 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    echo "no free X display" >&2
    exit 1
}

wait_for() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "timed out: $*" >&2; return 1; }
        sleep 0.1
    done
}

shoot() { # theme
    local theme="$1" scheme=0
    [ "$theme" = dark ] && scheme=1

    local display
    display=":$(free_display)"
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY="$display"
    wait_for 10 xdpyinfo

    # A private session bus, so that only the test portal answers for the desktop.
    cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
    local bus
    bus="$(dbus-daemon --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1 | tr '\n' ' ')"
    export DBUS_SESSION_BUS_ADDRESS="${bus%% *}"
    pids+=("$(echo "$bus" | awk '{print $2}')")
    "$build/tests/ui/fake_portal" >"$work/portal.log" &
    pids+=($!)
    wait_for 10 grep -q ready "$work/portal.log"
    dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.example.FakePortalControl.Set \
        string:org.freedesktop.appearance string:color-scheme variant:uint32:"$scheme" >/dev/null

    HOME="$work" "$build/app/silent-install-helper" &
    local app=$!
    pids+=("$app")

    local selector
    selector="$(timeout 10 xdotool search --sync --onlyvisible --name 'Silent Install Helper' | head -1)"
    sleep 0.5
    import -window "$selector" "$out/language-selector-$theme.png"
    xdotool windowfocus --sync "$selector" key Return

    wait_for 10 bash -c "xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx $selector"
    local main
    main="$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$selector" | head -1)"
    xdotool windowfocus --sync "$main"

    add_setting() { # name value
        xdotool mousemove --window "$main" 662 31 click 1
        wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
        xdotool type --delay 20 "$1"
        xdotool key Escape Tab
        xdotool type --delay 20 "$2"
        xdotool key Return
        wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -eq 1 ]"
    }
    add_setting ReleaserAddress 'https://10.0.0.20:8443'
    add_setting SaveSpool 1
    add_setting BlockCopies 5
    add_setting WorkFolder 'C:\Orvane\Work'
    add_setting HttpTimeout 30
    xdotool mousemove --window "$main" 200 150 click 1
    sleep 0.5
    import -window "$main" "$out/main-window-$theme.png"

    xdotool mousemove --window "$main" 662 31 click 1
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    local editor
    editor="$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)"
    xdotool type --delay 20 ContingencyPrinterCache
    xdotool key Escape Tab
    xdotool type --delay 20 25
    sleep 0.5
    import -window "$editor" "$out/editor-validation-$theme.png"
    xdotool key Escape
    sleep 0.3
    kill "$app" 2>/dev/null || true
}

shoot light
shoot dark
echo "Screenshots written to $out"
