#!/usr/bin/env bash
# Renews the README's screenshots: runs the real program under Xvfb, once in the
# light and once in the dark theme (served by the test portal on a private bus),
# drives it with xdotool and captures every window into docs/screenshots/: the
# language selector (also with its list open), the main window, the editor with its
# completion list and with a validation message, the remove confirmation, the save
# dialog, the export notice, the question on closing with changes that were not
# exported (also in German, dark), the notice of a failed export (German, dark),
# and the notice after opening a file with problems
# in English, German and French.
#
# Usage: scripts/screenshots.sh [build-folder]   (default ./build, built if needed)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/tests/support/xvfb.sh"
build="${1:-$root/build}"
out="$root/docs/screenshots"
[ -x "$build/app/silent-install-helper" ] && [ -x "$build/tests/ui/fake_portal" ] && [ -x "$build/tests/app/x11_close_window" ] ||
    SIH_BUILD_DIR="$build" "$root/scripts/build.sh"
mkdir -p "$out"

work="$(mktemp -d)"
pids=()
# A hand-written file with one entry of each kind of problem, and no HostAddress.
printf '%s\n' '{' \
    '  "ReleaserAddress": "https://releaser.example.com:8443/print",' \
    '  "ContingencyPrinterCache": "25",' \
    '  "HttpTimout": "30",' \
    '  "BlockCopies": "5",' \
    '  "blockcopies": "9",' \
    '  "HttpTimeout": 30,' \
    '  "SaveSpool": "yes",' \
    '  "enableproxy": "true",' \
    '  "WorkFolder": "",' \
    '  "": "1",' \
    '  "EnabledDriverList": null,' \
    '  "Comment": "Built for site A by the print team; see https://wiki.example.com/print/agents/site-a/settings"' \
    '}' >"$work/problems.json"
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

wait_for() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "timed out: $*" >&2; return 1; }
        sleep 0.1
    done
}

# Captures the screen area at x, y (w x h) relative to window $1 into file $6.
shoot_area() {
    local X Y
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
    import -window root -crop "$4x$5+$((X + $2))+$((Y + $3))" +repage "$6"
}

shoot() { # theme
    local theme="$1" scheme=0
    [ "$theme" = dark ] && scheme=1

    start_xvfb "$work" || { echo "no X server could be started" >&2; exit 1; }
    pids+=("$xvfb_pid")

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
    "$build/tests/ui/fake_portal" --color-scheme "$scheme" >"$work/portal.log" &
    pids+=($!)
    wait_for 10 grep -q ready "$work/portal.log"

    # A home of its own per theme, so that the save dialog opens on an empty folder.
    mkdir -p "$work/home-$theme"
    HOME="$work/home-$theme" "$build/app/silent-install-helper" &
    local app=$!
    pids+=("$app")

    local selector
    selector="$(timeout 10 xdotool search --sync --onlyvisible --name 'Silent Install Helper' | head -1)"
    sleep 0.5
    import -window "$selector" "$out/language-selector-$theme.png"
    # The list open: the selector with the list below it, from the screen.
    xdotool mousemove --window "$selector" 200 105 click 1
    sleep 0.7
    shoot_area "$selector" 0 0 331 420 "$out/language-list-$theme.png"
    xdotool key Escape
    sleep 0.3
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
    xdotool mousemove --window "$main" 200 178 click 1 mousemove 1270 790
    sleep 0.5
    import -window "$main" "$out/main-window-$theme.png"

    # Delete on the selected row: the confirmation.
    xdotool mousemove --window "$main" 772 31 click 1 mousemove 1270 790
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    sleep 0.5
    import -window "$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)" \
        "$out/remove-confirmation-$theme.png"
    xdotool key Escape
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -eq 1 ]"

    # Export: the save dialog, then the notice.
    local known
    known="$(xdotool search --onlyvisible --name '' | sort)"
    xdotool mousemove --window "$main" 826 31 click 1 mousemove 1270 790
    wait_for 10 bash -c "xdotool search --onlyvisible --name 'Save' | grep -q ."
    sleep 0.7
    import -window "$(xdotool search --onlyvisible --name 'Save' | head -1)" "$out/save-dialog-$theme.png"
    xdotool type --delay 20 "$work/home-$theme/settings.json"
    xdotool key Return
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    sleep 0.5
    import -window "$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)" \
        "$out/export-notice-$theme.png"
    xdotool key Return
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -eq 1 ]"

    xdotool mousemove --window "$main" 662 31 click 1
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    local editor
    editor="$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)"
    # The completion list under the name field, from the screen; it opens only
    # in the active window.
    xdotool windowfocus --sync "$editor"
    known="$(xdotool search --onlyvisible --name '' | sort)"
    xdotool type --delay 20 Con
    wait_for 10 bash -c "xdotool search --onlyvisible --name '' | sort | grep -vxF '$known' | grep -q ."
    sleep 0.5
    shoot_area "$editor" 0 0 350 460 "$out/editor-completion-$theme.png"
    xdotool key Escape
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '' | sort | grep -vxF '$known' | grep -q ."
    xdotool key ctrl+a
    xdotool type --delay 20 ContingencyPrinterCache
    xdotool key Escape Tab
    xdotool type --delay 20 25
    sleep 0.5
    import -window "$editor" "$out/editor-validation-$theme.png"
    xdotool key Escape
    sleep 0.3

    # A change after the export, then the window's close button: the question.
    add_setting EnableSecurePrint true
    shoot_question "$out/unexported-changes-$theme.png"
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true

    # The notice after opening a file with problems, in English, German and French
    # (the first, fourth and fifth languages of the list), the first row reached with Tab.
    shoot_notice 0 "$out/open-problems-en-$theme.png"
    shoot_notice 3 "$out/open-problems-de-$theme.png"
    shoot_notice 4 "$out/open-problems-fr-$theme.png"

    # The question in German, once, in the dark theme.
    [ "$theme" = dark ] || return 0
    start_in_language 3
    add_setting SaveSpool 1
    shoot_question "$out/unexported-changes-de.png"
    # An export into a folder that does not exist (Ctrl+S): the failure notice.
    xdotool windowfocus --sync "$main" key ctrl+s
    wait_for 10 bash -c "xdotool search --onlyvisible --name '' getwindowname %@ | grep -v 'Silent Install Helper' | grep -q ."
    sleep 0.7
    xdotool type --delay 20 "/srv/Orvane/Verteilung/Standort 42/agent-settings.json"
    xdotool key Return
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    sleep 0.5
    import -window "$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)" \
        "$out/export-failure-de.png"
    kill "$app" 2>/dev/null || true
}

# Starts the program (with the arguments after the first), picks the language $1
# places down the selector's list and sets main to the main window.
start_in_language() {
    local downs="$1" keys=() i
    shift
    HOME="$work/home-$theme" "$build/app/silent-install-helper" "$@" &
    app=$!
    pids+=("$app")
    selector="$(timeout 10 xdotool search --sync --onlyvisible --name 'Silent Install Helper' | head -1)"
    sleep 0.5
    if [ "$downs" -gt 0 ]; then
        xdotool mousemove --window "$selector" 200 105 click 1
        sleep 0.7
        for ((i = 0; i < downs; i++)); do keys+=(Down); done
        xdotool key "${keys[@]}" Return
        sleep 0.3
    fi
    xdotool windowfocus --sync "$selector" key Return
    wait_for 10 bash -c "xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx $selector"
    main="$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$selector" | head -1)"
    xdotool windowfocus --sync "$main"
}

# Opens problems.json in the language $1 places down the list and captures the
# notice into file $2, its first row reached with Tab.
shoot_notice() {
    start_in_language "$1" "$work/problems.json"
    wait_for 10 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx $selector | wc -l) -ge 2 ]"
    local notice width window
    for window in $(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$selector"); do
        width="$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')"
        [ "$width" -gt 860 ] && notice="$window"
    done
    xdotool windowfocus --sync "$notice" key Tab
    xdotool mousemove --window "$notice" 1270 790
    sleep 0.5
    import -window "$notice" "$2"
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
}

# Asks the main window to close as a window manager's close button does and
# captures the question that opens into file $1, then keeps the window (Escape).
shoot_question() {
    "$build/tests/app/x11_close_window" "$main"
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -ge 2 ]"
    sleep 0.5
    local question
    question="$(xdotool search --onlyvisible --name 'Silent Install Helper' | grep -vx "$main" | head -1)"
    import -window "$question" "$1"
    xdotool windowfocus --sync "$question" key Escape
    wait_for 5 bash -c "[ \$(xdotool search --onlyvisible --name 'Silent Install Helper' | wc -l) -eq 1 ]"
}

shoot light
shoot dark
echo "Screenshots written to $out"
