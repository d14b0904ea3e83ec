#!/usr/bin/env bash
# End-to-end run of the real program on a private X server, driven by xdotool.
#
#   e2e_xdotool.sh PROGRAM CLOSE_HELPER
#       Select English, add SaveSpool=1 and BlockCopies=007 with the editor, export
#       through the file dialog, close the notice and the main window; the program
#       must exit with 0 and the file must hold exactly the expected bytes.
#   e2e_xdotool.sh --open PROGRAM CLOSE_HELPER
#       Start with a settings file as the argument: after the language choice the
#       notice lists the one member that was left out; close it, export and close;
#       the file must hold the loaded members, in the file's order, byte for byte.
#   e2e_xdotool.sh --escape PROGRAM
#       Leave the language selector with Escape; the program must exit with 0
#       without opening the main window or writing anything.
#
# CLOSE_HELPER sends WM_DELETE_WINDOW to a window: there is no window manager, and
# xdotool can only destroy windows. Exit codes: 0 pass, 1 fail, 77 skipped.

set -u -o pipefail

mode=full
if [[ ${1:-} == --escape || ${1:-} == --open ]]; then
    mode=${1#--}
    shift
fi
program=${1:-}
close_helper=${2:-}
if [[ ! -x $program || ($mode != escape && ! -x $close_helper) ]]; then
    echo "usage: $0 [--open] PROGRAM CLOSE_HELPER | $0 --escape PROGRAM" >&2
    exit 2
fi
for tool in Xvfb xdotool xdpyinfo timeout; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool not found"
        exit 77
    fi
done

readonly title='Silent Install Helper'
started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/sih-e2e.XXXXXX") || exit 1
screenshot="$PWD/e2e_xdotool-failure.png"
[[ $mode != full ]] && screenshot="$PWD/e2e_xdotool_$mode-failure.png"
rm -f "$screenshot"
xvfb_pid=
program_pid=
exit_code=

# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    if [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null
        timeout 5 tail --pid="$program_pid" -f /dev/null 2>/dev/null || kill -9 "$program_pid" 2>/dev/null
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    if [[ -n ${DISPLAY:-} ]] && command -v import >/dev/null 2>&1 &&
        timeout 10 import -window root "$screenshot" 2>/dev/null; then
        echo "screenshot: $screenshot" >&2
    fi
    if [[ -s $work/program.err ]]; then
        echo "--- program standard error:" >&2
        cat "$work/program.err" >&2
    fi
    exit 1
}

# --- a private X server --------------------------------------------------------
source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
start_xvfb "$work" || fail "no X server could be started"

# A clean session: private home, X11 platform, no desktop integration that could
# replace the toolkit's own file dialog.
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION QT_QPA_PLATFORMTHEME \
    DBUS_SESSION_BUS_ADDRESS GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION QT_STYLE_OVERRIDE

# --- window helpers --------------------------------------------------------------

program_alive() { [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; }

# Mapped windows whose title matches $1, one id per line.
visible_windows() { timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n; }

window_width() {
    timeout 5 xdotool getwindowgeometry --shell "$1" 2>/dev/null | sed -n 's/^WIDTH=//p'
}

# Prints the id of a mapped window titled like $1, at least $2 pixels wide, not in
# the list $3, once one appears within $4 seconds.
wait_new_window() {
    local pattern=$1 min_width=$2 known=$3 tries=$(($4 * 10)) id width
    while ((tries-- > 0)); do
        program_alive || return 1
        for id in $(visible_windows "$pattern"); do
            grep -qx "$id" <<<"$known" && continue
            width=$(window_width "$id")
            [[ -n $width ]] && ((width >= min_width)) && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds until window $1 is no longer mapped.
wait_window_gone() {
    local tries=$(($2 * 10))
    while ((tries-- > 0)); do
        visible_windows "" | grep -qx "$1" || return 0
        sleep 0.1
    done
    return 1
}

# Gives window $1 the keyboard focus (no window manager does it) and checks it has it.
focus_window() {
    local tries=30
    timeout 5 xdotool windowfocus --sync "$1" >/dev/null 2>&1
    while ((tries-- > 0)); do
        [[ $(timeout 5 xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
        timeout 5 xdotool windowfocus "$1" >/dev/null 2>&1
        sleep 0.1
    done
    return 1
}

# Waits until the set of mapped windows has not changed for one second (at most
# $1 seconds). The completion popup holds the keyboard grab while it is mapped;
# on a loaded machine a key sent while it is still appearing or closing would go
# to the wrong window, so the script lets the windows settle first.
wait_settled() {
    local tries=$(($1 * 10)) stable=0 previous='' current
    while ((tries-- > 0)); do
        current=$(visible_windows "" | tr '\n' ' ')
        if [[ $current == "$previous" ]]; then
            ((++stable >= 10)) && return 0
        else
            stable=0
            previous=$current
        fi
        sleep 0.1
    done
    return 1
}

keys() { timeout 10 xdotool key --delay 60 "$@"; }
type_text() { timeout 20 xdotool type --delay 40 -- "$1"; }

# Clicks at x=$2, y=$3 inside window $1, then moves the pointer off the window.
click_in() {
    timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1 &&
        timeout 5 xdotool mousemove 1270 790
}

# Waits up to $1 seconds for the program to end; sets exit_code.
wait_program_exit() {
    local tries=$(($1 * 10))
    while program_alive; do
        ((tries-- > 0)) || return 1
        sleep 0.1
    done
    wait "$program_pid"
    exit_code=$?
    program_pid=
    return 0
}

# --- the run ---------------------------------------------------------------------

arguments=()
if [[ $mode == open ]]; then
    # A file written by hand: LF line ends, HostAddress second, one invalid member.
    printf '{\n  "ReleaserAddress": "https://releaser.example.com:8443",\n  "HostAddress": "https://10.0.0.5:56569",\n  "SaveSpool": "yes",\n  "BlockCopies": "007"\n}\n' \
        >"$work/home/opened.json"
    arguments=("$work/home/opened.json")
fi
"$program" "${arguments[@]}" >"$work/program.out" 2>"$work/program.err" &
program_pid=$!

selector=$(wait_new_window "$title" 300 "" 15) || fail "the language selector did not appear"
[[ $(window_width "$selector") == 331 ]] || fail "the language selector is not 331 pixels wide"
focus_window "$selector" || fail "the language selector did not take the keyboard focus"

if [[ $mode == escape ]]; then
    keys Escape || fail "xdotool could not press Escape"
    tries=100
    while program_alive && ((tries-- > 0)); do
        for id in $(visible_windows "$title"); do
            [[ $(window_width "$id") == 860 ]] && fail "the main window opened after Escape"
        done
        sleep 0.1
    done
    wait_program_exit 1 || fail "the program still runs 10 s after Escape in the selector"
    ((exit_code == 0)) || fail "exit code $exit_code after Escape, expected 0"
    [[ -z $(ls -A "$HOME") ]] || fail "files were written: $(ls -A "$HOME")"
    echo "PASS: Escape ends the program with 0 ($((SECONDS - started)) s)"
    exit 0
fi

keys Return || fail "xdotool could not press Return"
wait_window_gone "$selector" 10 || fail "the selector stayed open after Return"
main=$(wait_new_window "$title" 800 "$selector" 15) || fail "the main window did not appear"
[[ $(window_width "$main") == 860 ]] || fail "the main window is not 860 pixels wide"

# Positions inside the main window: the add and export tool buttons (35 x 35).
readonly add_x=663 add_y=32 export_x=827 export_y=32

add_setting() {
    local name=$1 value=$2 known editor
    focus_window "$main" || fail "the main window did not take the keyboard focus"
    known=$(visible_windows "$title")
    click_in "$main" "$add_x" "$add_y" || fail "xdotool could not click the add button"
    editor=$(wait_new_window "$title" 300 "$known" 10) || fail "the editor did not open for $name"
    focus_window "$editor" || fail "the editor did not take the keyboard focus"
    # The name field has the focus; Tab leaves it (closing the completion list).
    type_text "$name" || fail "xdotool could not type into the editor"
    wait_settled 10 || fail "the editor kept changing windows after $name was typed"
    if ! { keys Tab && type_text "$value" && keys Return; }; then
        fail "xdotool could not type into the editor"
    fi
    wait_window_gone "$editor" 10 || fail "the editor stayed open after Return: $name=$value was not accepted"
}

if [[ $mode == open ]]; then
    # The notice about the left-out member opens over the main window.
    notice=$(wait_new_window "$title" 500 "$selector"$'\n'"$main" 10) || fail "no notice about the opened file"
    [[ $(window_width "$notice") == 700 ]] || fail "the notice about the opened file is not 700 pixels wide"
    focus_window "$notice" || fail "the notice did not take the keyboard focus"
    keys Return || fail "xdotool could not press Return"
    wait_window_gone "$notice" 10 || fail "the notice stayed open after Return"
else
    add_setting SaveSpool 1
    add_setting BlockCopies 007
fi

export_path=$HOME/settings.json
focus_window "$main" || fail "the main window did not take the keyboard focus"
known=$(visible_windows "")
click_in "$main" "$export_x" "$export_y" || fail "xdotool could not click the export button"
file_dialog=$(wait_new_window "" 400 "$known" 15) || fail "the save dialog did not open"
focus_window "$file_dialog" || fail "the save dialog did not take the keyboard focus"
type_text "$export_path" || fail "xdotool could not type into the save dialog"
wait_settled 10 || fail "the save dialog kept changing windows after the path was typed"
keys Return || fail "xdotool could not press Return in the save dialog"
wait_window_gone "$file_dialog" 10 || fail "the save dialog stayed open"

notice=$(wait_new_window "$title" 300 "$main" 10) || fail "no notice after the export"
focus_window "$notice" || fail "the notice did not take the keyboard focus"
keys Return || fail "xdotool could not press Return"
wait_window_gone "$notice" 10 || fail "the notice stayed open after Return"

"$close_helper" "$main" || fail "could not ask the main window to close"
wait_program_exit 10 || fail "the program still runs 10 s after its main window was closed"
((exit_code == 0)) || fail "exit code $exit_code after closing the main window, expected 0"

if [[ $mode == open ]]; then
    {
        printf '{\r\n'
        printf '    "ReleaserAddress": "https://releaser.example.com:8443",\r\n'
        printf '    "HostAddress": "https://10.0.0.5:56569",\r\n'
        printf '    "BlockCopies": "007"\r\n'
        printf '}\r\n'
    } >"$work/expected.json"
else
    {
        printf '{\r\n'
        printf '    "HostAddress": "https://127.0.0.1:56569",\r\n'
        printf '    "SaveSpool": "true",\r\n'
        printf '    "BlockCopies": "007"\r\n'
        printf '}\r\n'
    } >"$work/expected.json"
fi
[[ -f $export_path ]] || fail "no file at $export_path"
if ! cmp -s "$work/expected.json" "$export_path"; then
    echo "--- expected:" >&2
    od -c "$work/expected.json" >&2
    echo "--- written:" >&2
    od -c "$export_path" >&2
    fail "the exported file differs from the expected bytes"
fi
if [[ $mode == open ]]; then
    echo "PASS: started with a file, selected, read the notice, exported and closed ($((SECONDS - started)) s)"
else
    echo "PASS: selected, added two settings, exported and closed ($((SECONDS - started)) s)"
fi
exit 0
