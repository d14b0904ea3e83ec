#!/usr/bin/env bash
# The real program on a private X server, driven by xdotool; exit 0 pass, 1 fail, 77 skip.
#   PROGRAM CLOSE_HELPER: select English, add SaveSpool=1 and BlockCopies=007, export,
#       close the notice, add HttpTimeout=30, close the window and answer "Don't
#       export": exit code 0 and exactly the bytes of the export.
#   --open PROGRAM CLOSE_HELPER: started with a file, whose notice lists the member
#       left out; a value changed, a close asks: Cancel keeps the window, Export
#       replaces the opened file with the loaded members in the file's order.
#   --escape PROGRAM: Escape in the selector ends the program with 0, no window, no file.
#   --hostile PROGRAM CLOSE_HELPER: started with a file whose name and values are markup
#       (<img src=/dev/zero>, <h1>): hovering the values shows each tool tip as one line
#       of literal text and the program's memory does not grow; Ctrl+O on a pipe gives
#       a notice at once; the close asks nothing and exits 0.
#   --session PROGRAM SESSION_MANAGER: a setting added, three log-outs: one that lets
#       no window ask (a warning, no question), one cancelled in the question, one
#       answered "Don't export", after which the program dies with 0 without asking again.
# CLOSE_HELPER sends WM_DELETE_WINDOW (no window manager; xdotool can only destroy).

set -u -o pipefail
mode=full
[[ ${1:-} == --escape || ${1:-} == --open || ${1:-} == --session || ${1:-} == --hostile ]] && { mode=${1#--}; shift; }
program=${1:-} close_helper=${2:-}
[[ -x $program && ($mode == escape || -x $close_helper) ]] ||
    { echo "usage: $0 [--open|--escape|--session|--hostile] PROGRAM [CLOSE_HELPER|SESSION_MANAGER]" >&2; exit 2; }
for tool in Xvfb xdotool xdpyinfo timeout; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool not found"; exit 77; }
done

readonly title='Silent Install Helper' screenshot="$PWD/e2e_xdotool_$mode-failure.png"
rm -f "$screenshot" && work=$(mktemp -d "${TMPDIR:-/tmp}/sih-e2e.XXXXXX") || exit 1
xvfb_pid='' program_pid='' exit_code='' manager_pid=''

# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    if program_alive; then
        kill "$program_pid"
        timeout 5 tail --pid="$program_pid" -f /dev/null || kill -9 "$program_pid"
    fi
    [[ -z $manager_pid ]] || kill "$manager_pid"
    [[ -z $xvfb_pid ]] || { kill "$xvfb_pid"; wait "$xvfb_pid"; }
    rm -rf "$work"
} 2>/dev/null
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    [[ -n ${DISPLAY:-} ]] && timeout 10 import -window root "$screenshot" 2>/dev/null && echo "screenshot: $screenshot" >&2
    [[ -s $work/program.err ]] && { echo "--- program standard error:"; cat "$work/program.err"; } >&2
    exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
start_xvfb "$work" || fail "no X server could be started"
# A clean session: private home, X11, no desktop integration replacing Qt's file dialog.
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION QT_QPA_PLATFORMTHEME \
    DBUS_SESSION_BUS_ADDRESS GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION QT_STYLE_OVERRIDE

program_alive() { [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; }
visible_windows() { timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n; }
window_width() { timeout 5 xdotool getwindowgeometry --shell "$1" 2>/dev/null | sed -n 's/^WIDTH=//p'; }
keys() { timeout 10 xdotool key --delay 60 "$@"; }
type_text() { timeout 20 xdotool type --delay 40 -- "$1"; }

# Prints a new mapped window titled like $1, >= $2 pixels wide, not in list $3, within $4 s.
wait_new_window() {
    local tries=$(($4 * 10)) id width
    while ((tries-- > 0)) && program_alive; do
        for id in $(visible_windows "$1"); do
            grep -qx "$id" <<<"$3" && continue
            width=$(window_width "$id")
            [[ -n $width ]] && ((width >= $2)) && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

wait_window_gone() { # window, seconds
    local tries=$(($2 * 10))
    while visible_windows "" | grep -qx "$1"; do ((tries-- > 0)) || return 1; sleep 0.1; done
}

# Gives window $1 the keyboard focus (no window manager does it) and checks it has it.
focus_window() {
    local tries=30
    while ((tries-- > 0)); do
        timeout 5 xdotool windowfocus --sync "$1" >/dev/null 2>&1
        [[ $(timeout 5 xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
        sleep 0.1
    done
    return 1
}

# Waits until the windows stay the same for 1 s (at most $1 s): a key sent while the
# completion popup (which grabs the keyboard) comes or goes is lost.
wait_settled() {
    local tries=$(($1 * 10)) stable=0 previous='' current
    while ((tries-- > 0)); do
        current=$(visible_windows "" | tr '\n' ' ')
        [[ $current == "$previous" ]] && ((++stable >= 10)) && return 0
        [[ $current == "$previous" ]] || { stable=0; previous=$current; }
        sleep 0.1
    done
    return 1
}

# Clicks at ($2, $3) in window $1; prints the new window >= $4 pixels wide.
click_open() {
    local known
    known=$(visible_windows "")
    focus_window "$1" && timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 1270 790 &&
        wait_new_window "" "$4" "$known" 15
}

wait_program_exit() { # seconds; sets exit_code
    local tries=$(($1 * 10))
    while program_alive; do ((tries-- > 0)) || return 1; sleep 0.1; done
    wait "$program_pid"
    exit_code=$?
    program_pid=
}

# Presses Return in a window that then must close.
confirm() {
    focus_window "$1" || fail "$2 did not take the keyboard focus"
    keys Return && wait_window_gone "$1" 10 || fail "$2 stayed open after Return"
}

arguments=()
# Written by hand: LF line ends, HostAddress second, one invalid member.
[[ $mode == open ]] && arguments=("$HOME/opened.json") &&
    printf '{\n  "ReleaserAddress": "https://releaser.example.com:8443",\n  "HostAddress": "https://10.0.0.5:56569",\n  "SaveSpool": "yes",\n  "BlockCopies": "007"\n}\n' >"$HOME/opened.json"
# A name the toolkit would take for an image of /dev/zero, values that are markup; and a pipe.
hostile_file="$HOME/<img src=&#47;dev&#47;zero>.json"
[[ $mode == hostile ]] && arguments=("$hostile_file") && mkfifo "$HOME/fifo.json" &&
    printf '{"HostAddress": "https://10.0.0.5:56569", "WorkFolder": "<img src=\\"/dev/zero\\">", "AuditingFolder": "<h1><font color=red>Big</font></h1>"}' >"$hostile_file"
if [[ $mode == session ]]; then
    # Rounds: no interaction, then twice any.
    "$close_helper" "$work/manager.address" 0 2 2 >"$work/manager.log" &
    manager_pid=$!
    for _ in {1..50}; do [[ -s $work/manager.address ]] && break; sleep 0.1; done
    SESSION_MANAGER=$(<"$work/manager.address") && export SESSION_MANAGER || fail "the session manager did not start"
fi
"$program" "${arguments[@]}" >"$work/program.out" 2>"$work/program.err" &
program_pid=$!

selector=$(wait_new_window "$title" 300 "" 15) || fail "the language selector did not appear"
[[ $(window_width "$selector") == 331 ]] || fail "the language selector is not 331 pixels wide"
focus_window "$selector" || fail "the language selector did not take the keyboard focus"
if [[ $mode == escape ]]; then
    keys Escape || fail "xdotool could not press Escape"
    wait_new_window "$title" 800 "" 2 >/dev/null && fail "the main window opened after Escape"
    wait_program_exit 10 || fail "the program still runs 10 s after Escape in the selector"
    ((exit_code == 0)) || fail "exit code $exit_code after Escape, expected 0"
    [[ -z $(ls -A "$HOME") ]] || fail "files were written: $(ls -A "$HOME")"
    echo "PASS: Escape ends the program with 0"
    exit 0
fi
confirm "$selector" "the language selector"
main=$(wait_new_window "$title" 800 "$selector" 15) || fail "the main window did not appear"
[[ $(window_width "$main") == 860 ]] || fail "the main window is not 860 pixels wide"

# Adds NAME=VALUE: Add button at (663, 32); the name field has the focus, Tab closes
# its completion list.
add_setting() {
    local editor
    editor=$(click_open "$main" 663 32 300) || fail "the editor did not open for $1"
    focus_window "$editor" || fail "the editor did not take the keyboard focus"
    type_text "${1%=*}" && wait_settled 10 && keys Tab && type_text "${1#*=}" && keys Return ||
        fail "could not type $1 into the editor"
    wait_window_gone "$editor" 10 || fail "the editor stayed open: $1 was not accepted"
}

# Runs "$@" (a close or a log-out); prints the question that opens (510 pixels wide).
asks() {
    local known question
    known=$(visible_windows "")
    "$@" && question=$(wait_new_window "$title" 500 "$known" 10) && [[ $(window_width "$question") == 510 ]] &&
        echo "$question"
}

# Clicks at ($2, $3) in question $1, which then must close. Its answers sit at y 160:
# Export x 95, Don't export x 255, Cancel x 415.
answer() {
    focus_window "$1" && timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1 && wait_window_gone "$1" 10
}

# Waits until the session manager has said line $1.
said() {
    local tries=100
    until grep -qx "$1" "$work/manager.log"; do ((tries-- > 0)) || return 1; sleep 0.1; done
}

if [[ $mode == session ]]; then
    add_setting SaveSpool=1
    said "0 saved" || fail "the program did not join the session"
    known=$(visible_windows "")
    kill -USR1 "$manager_pid" && said "1 saved" || fail "a log-out that lets no window ask was not answered"
    [[ $(visible_windows "") == "$known" ]] || fail "a window opened although the log-out lets none ask"
    grep -q "\[warning\].*not exported" "$work/program.out" || fail "no warning about the changes that were not exported"
    question=$(asks kill -USR1 "$manager_pid") || fail "the log-out did not ask"
    answer "$question" 415 160 && said "2 save cancelled" || fail "Cancel did not cancel the log-out"
    question=$(asks kill -USR1 "$manager_pid") || fail "the log-out after a cancelled one did not ask"
    answer "$question" 255 160 && said "3 saved" || fail "Don't export did not let the log-out go on"
    kill -USR2 "$manager_pid"
    wait_program_exit 10 || fail "the program still runs 10 s after the session manager told it to die"
    ((exit_code == 0)) || fail "exit code $exit_code at the end of the session, expected 0"
    echo "PASS: session run, asked and ended"
    exit 0
elif [[ $mode == hostile ]]; then
    wait_new_window "$title" 300 "$selector"$'\n'"$main" 2 >/dev/null && fail "a notice opened for a valid file"
    # Peak memory, in kB.
    peak() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$program_pid/status"; }
    before=$(peak)
    # The value cells of AuditingFolder (<h1>...) and WorkFolder (<img ...>), rows 1 and 3:
    # each tool tip is one line of text at least as wide as the cell's (a rendered
    # heading or picture would be taller, or narrower, or read /dev/zero).
    for hover in 121:200 181:120; do
        y=${hover%:*} known=$(visible_windows "")
        focus_window "$main" && timeout 5 xdotool mousemove --window "$main" 360 "$y" sleep 0.3 mousemove --window "$main" 362 "$((y + 1))" ||
            fail "could not hover over the value in row $y"
        tip=$(wait_new_window "" 1 "$known" 5) || fail "no tool tip over the value in row $y"
        read -r tip_width tip_height < <(timeout 5 xdotool getwindowgeometry --shell "$tip" | sed -n 's/^\(WIDTH\|HEIGHT\)=//p' | tr '\n' ' ')
        ((tip_width >= ${hover#*:} && tip_height <= 50)) || fail "the tool tip in row $y is ${tip_width}x$tip_height, not one line of text"
        timeout 10 import -window root "$work/hover-$y.png" 2>/dev/null
        timeout 5 xdotool mousemove 1270 790 && wait_window_gone "$tip" 10 || fail "the tool tip in row $y stayed"
    done
    program_alive || fail "the program died while showing the tool tips"
    after=$(peak)
    ((after - before < 51200)) || fail "peak memory grew from $before kB to $after kB while showing the tool tips"
    # Ctrl+O, the pipe typed into the file dialog: a notice at once, the window answers.
    known=$(visible_windows "")
    focus_window "$main" && keys ctrl+o && file_dialog=$(wait_new_window "" 400 "$known" 15) || fail "Ctrl+O opened no dialog"
    focus_window "$file_dialog" && wait_settled 10 && type_text "$HOME/fifo.json" && keys Return || fail "could not choose the pipe"
    notice=$(wait_new_window "$title" 300 "$known"$'\n'"$file_dialog" 5) || fail "no notice about the pipe within 5 s"
    confirm "$notice" "the notice about the pipe"
    # Nothing changed: the close asks nothing.
    "$close_helper" "$main" || fail "could not close the main window"
    wait_program_exit 10 || fail "the program still runs 10 s after its main window was closed"
    ((exit_code == 0)) || fail "exit code $exit_code after closing the main window, expected 0"
    echo "PASS: hostile file shown as plain text, a pipe refused at once"
    exit 0
elif [[ $mode == open ]]; then
    notice=$(wait_new_window "$title" 500 "$selector"$'\n'"$main" 10) || fail "no notice about the opened file"
    # It opens at 900 x 560 where the screen (1280 x 800 here) has room.
    [[ $(window_width "$notice") == 900 ]] || fail "the notice about the opened file is not 900 pixels wide"
    confirm "$notice" "the notice about the opened file"
    # BlockCopies, the first row at (200, 120): Return edits it, its value has the focus.
    focus_window "$main" && timeout 5 xdotool mousemove --window "$main" 200 120 click 1 || fail "no row selected"
    known=$(visible_windows "")
    keys Return && editor=$(wait_new_window "$title" 300 "$known" 10) || fail "Return on a row opened no editor"
    focus_window "$editor" && keys ctrl+a && type_text 8 && keys Return && wait_window_gone "$editor" 10 ||
        fail "could not change BlockCopies to 8"
    question=$(asks "$close_helper" "$main") || fail "closing with a changed value did not ask"
    answer "$question" 415 160 || fail "Cancel did not close the question"
    sleep 0.5
    program_alive && visible_windows "$title" | grep -qx "$main" || fail "the main window did not stay after Cancel"
    # Export, the default answer: the save dialog offers the opened file, which is replaced.
    question=$(asks "$close_helper" "$main") || fail "the second close did not ask"
    confirm "$question" "the question"
    file_dialog=$(wait_new_window "" 400 "$main" 15) || fail "Export in the question opened no save dialog"
    focus_window "$file_dialog" && wait_settled 10 && keys Return || fail "could not accept the save dialog"
    # Its question (titled as the dialog) whether to replace the file: Yes.
    replace=$(wait_new_window "Save As" 200 "$file_dialog" 10) || fail "the save dialog did not offer the opened file"
    focus_window "$replace" && wait_settled 10 && keys alt+y || fail "could not answer the question to replace the file"
    expected='    "ReleaserAddress": "https://releaser.example.com:8443",\r\n    "HostAddress": "https://10.0.0.5:56569",\r\n'
    value=8 written=$HOME/opened.json
else
    add_setting SaveSpool=1
    add_setting BlockCopies=007
    # Export button at (827, 32).
    file_dialog=$(click_open "$main" 827 32 400) || fail "the save dialog did not open"
    focus_window "$file_dialog" || fail "the save dialog did not take the keyboard focus"
    type_text "$HOME/settings.json" && wait_settled 10 && keys Return || fail "could not type into the save dialog"
    wait_window_gone "$file_dialog" 10 || fail "the save dialog stayed open"
    notice=$(wait_new_window "$title" 300 "$main" 10) || fail "no notice after the export"
    confirm "$notice" "the notice after the export"
    add_setting HttpTimeout=30
    question=$(asks "$close_helper" "$main") || fail "closing with a setting added after the export did not ask"
    answer "$question" 255 160 || fail "Don't export did not close the question"
    expected='    "HostAddress": "https://127.0.0.1:56569",\r\n    "SaveSpool": "true",\r\n'
    value=007 written=$HOME/settings.json
fi
printf '{\r\n%b    "BlockCopies": "%s"\r\n}\r\n' "$expected" "$value" >"$work/expected.json"

wait_program_exit 10 || fail "the program still runs 10 s after its main window was closed"
((exit_code == 0)) || fail "exit code $exit_code after closing the main window, expected 0"
cmp "$work/expected.json" "$written" >&2 || fail "the exported file differs from the expected bytes"
echo "PASS: $mode run, exported and closed"
