#!/usr/bin/env bash
# The Windows program under wine, as a user meets it; exit 0 pass, 1 fail, 77 skip.
#   e2e_wine.sh write CHECK_TOOL HELPER    the export's write policy through compose -o:
#       a file replaced, a read-only file, a missing folder, a file another program
#       holds open, a full drive (a small tmpfs mapped as drive S:).
#   e2e_wine.sh smoke PROGRAM HELPER       selector, Select, main window, two settings
#       added and exported (the bytes the Linux program writes), then the registry's
#       app theme announced with WM_SETTINGCHANGE turns the window dark and back.
# Needs WINEPREFIX, WINEPATH and DISPLAY (scripts/test-windows.sh sets them);
# SIH_SCREENSHOTS=<folder> keeps the smoke flow's screenshots.
set -u -o pipefail

mode=${1:-} target=${2:-} helper=${3:-}
[[ ($mode == write || $mode == smoke) && -f $target && -f $helper ]] ||
    { echo "usage: $0 write|smoke PROGRAM HELPER" >&2; exit 2; }
for tool in wine winepath xdotool import timeout; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool not found"; exit 77; }
done
[[ -n ${WINEPREFIX:-} && -n ${DISPLAY:-} ]] || { echo "SKIP: WINEPREFIX and DISPLAY not set"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/sih-e2e-wine.XXXXXX") || exit 1
program_pid='' small=''
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    [[ -z $program_pid ]] || kill "$program_pid" 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/s:"
    [[ -z $small ]] || umount "$small"
    rm -rf "$work"
} 2>/dev/null
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
passed=0
fail() {
    echo "FAIL: $*" >&2
    timeout 10 import -window root "$PWD/e2e_wine_$mode-failure.png" 2>/dev/null &&
        echo "screenshot: $PWD/e2e_wine_$mode-failure.png" >&2
    [[ -s $work/program.log ]] && { echo "--- program output:"; cat "$work/program.log"; } >&2
    exit 1
}
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
windows_path() { winepath -w "$1" 2>/dev/null; }
readonly expected_host='    "HostAddress": "https://127.0.0.1:56569",\r\n'
readonly earlier='{"HostAddress": "https://earlier.example:1"}'

# --- The write policy ----------------------------------------------------------

# compose -o FILE: exit code, standard error; the file's content afterwards and
# nothing left beside it.
compose_to() { # file expected-exit expected-error-text
    local code
    wine "$target" compose -o "$(windows_path "$1")" SaveSpool=1 BlockCopies=007 >"$work/out" 2>"$work/err"
    code=$?
    [[ $code == "$2" ]] || fail "compose -o $1: exit $code, expected $2 ($(cat "$work/err"))"
    if [[ -z $3 ]]; then
        [[ ! -s $work/err ]] || fail "compose -o $1: $(cat "$work/err")"
    else
        grep -qE -- "$3" "$work/err" || fail "compose -o $1: \"$3\" not in: $(cat "$work/err")"
    fi
    [[ -z $(find "$(dirname "$1")" -name '*.tmp' 2>/dev/null) ]] || fail "compose -o $1 left a copy behind"
}
earlier_kept() { [[ $(cat "$1") == "$earlier" ]] || fail "$2: the earlier file changed"; }

if [[ $mode == write ]]; then
    printf '{\r\n%b    "SaveSpool": "true",\r\n    "BlockCopies": "007"\r\n}\r\n' "$expected_host" >"$work/expected.json"
    echo "$earlier" >"$work/replaced.json"
    compose_to "$work/replaced.json" 0 ""
    cmp -s "$work/expected.json" "$work/replaced.json" || fail "the replaced file does not hold the new bytes"
    pass "an ordinary file is replaced by the new bytes"

    echo "$earlier" >"$work/read-only.json"
    chmod a-w "$work/read-only.json"
    # Windows refuses to open it; wine run by root opens it and refuses the replacement.
    compose_to "$work/read-only.json" 2 "Access denied"
    earlier_kept "$work/read-only.json" "read-only file"
    pass "a read-only file is refused and kept"

    compose_to "$work/missing/new.json" 2 "SaveJsonToWFile: Cannot open file."
    [[ ! -e $work/missing ]] || fail "the missing folder was created"
    pass "a missing folder is refused"

    # Held without sharing, the file cannot even be opened; shared for reading and
    # writing but not deletion, it is opened and the copy cannot replace it.
    for sharing in "" shared; do
        echo "$earlier" >"$work/held.json"
        coproc holder { exec wine "$helper" hold "$(windows_path "$work/held.json")" 30 $sharing; }
        read -r -t 30 answer <&"${holder[0]}" && [[ $answer == held* ]] || fail "the helper could not hold the file"
        verb=open
        [[ -z $sharing ]] || verb=write
        compose_to "$work/held.json" 2 "SaveJsonToWFile: Cannot $verb file\..*Sharing violation"
        earlier_kept "$work/held.json" "file held open ${sharing:-exclusively}"
        kill "$holder_PID" 2>/dev/null
        wait "$holder_PID" 2>/dev/null
        pass "a file another program holds open ${sharing:-exclusively} is refused and kept"
    done

    # A drive of 64 KiB, filled but for a few hundred bytes.
    small="$work/small"
    mkdir -p "$small"
    if mount -t tmpfs -o size=64k sih-wine-full "$small" 2>/dev/null; then
        ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
        echo "$earlier" >"$small/full.json"
        head -c $(($(stat -f -c '%a*%S' "$small") - 512)) /dev/zero >"$small/filler"
        wine "$target" compose -o 'S:\full.json' SaveSpool=1 "WorkFolder=$(head -c 4000 /dev/zero | tr '\0' x)" \
            >"$work/out" 2>"$work/err"
        code=$?
        [[ $code == 2 ]] && grep -qF "SaveJsonToWFile: Cannot write file.: Disk full" "$work/err" ||
            fail "compose -o on a full drive: exit $code, $(cat "$work/err")"
        earlier_kept "$small/full.json" "full drive"
        wine "$target" compose -o 'S:\new.json' SaveSpool=1 >"$work/out" 2>"$work/err" && fail "a new file on a full drive"
        [[ $(ls -A "$small" | sort | tr '\n' ' ') == "filler full.json " ]] || fail "a copy was left on the full drive"
        pass "a full drive: refused with the system's reason, the earlier file kept"
    else
        echo "SKIP: no tmpfs could be mounted for the full drive"
    fi
    echo "e2e_wine write: $passed passed, 0 failed"
    exit 0
fi

# --- The smoke flow ----------------------------------------------------------

readonly title='Orvane Print Agent - Silent Install Helper'
readonly theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
set_theme() { # DWORD value, or "-" for no value, or TYPE:DATA
    if [[ $1 == - ]]; then
        wine reg delete "$theme_key" /v AppsUseLightTheme /f >/dev/null 2>&1
    elif [[ $1 == *:* ]]; then
        wine reg add "$theme_key" /v AppsUseLightTheme /t "${1%%:*}" /d "${1#*:}" /f >/dev/null 2>&1
    else
        wine reg add "$theme_key" /v AppsUseLightTheme /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    fi || fail "could not write the theme value $1"
}
program_alive() { [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; }
visible_windows() { timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n; }
# Waits up to $3 s for a visible window titled $1 that is not in list $2; prints it.
new_window() {
    local id tries=$(($3 * 10))
    while ((tries-- > 0)) && program_alive; do
        id=$(visible_windows "$1" | grep -vxF -- "$2" | head -1)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
window_gone() { # window, seconds
    local tries=$(($2 * 10))
    while visible_windows "" | grep -qx "$1"; do ((tries-- > 0)) || return 1; sleep 0.1; done
}
focus() {
    for _ in {1..30}; do
        timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$1"
        [[ $(timeout 5 xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
        sleep 0.1
    done
    fail "window $1 did not take the keyboard focus"
}
keys() { timeout 10 xdotool key --delay 80 "$@" || fail "xdotool key $*"; }
type_text() { timeout 20 xdotool type --delay 60 -- "$1" || fail "xdotool type"; }
click() { timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 1270 790 || fail "xdotool click"; }
# The colour at ($2, $3) of window $1 as RRGGBB.
pixel() {
    timeout 20 import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | head -1
}
# Waits up to 10 s until the pixel at ($2, $3) of window $1 is dark (D) or light (L).
wait_shade() {
    local colour value
    for _ in {1..20}; do
        colour=$(pixel "$1" "$2" "$3")
        if [[ -n $colour ]]; then
            value=$(((16#${colour:0:2} + 16#${colour:2:2} + 16#${colour:4:2}) / 3))
            [[ $4 == D && $value -lt 96 ]] || [[ $4 == L && $value -gt 160 ]] && return 0
        fi
        sleep 0.5
    done
    fail "$5: the colour at $2,$3 is #$colour, expected ${4/D/dark}${4/L/light}"
}
shot() { [[ -z ${SIH_SCREENSHOTS:-} ]] || { mkdir -p "$SIH_SCREENSHOTS" && import -window "$1" "$SIH_SCREENSHOTS/$2.png"; }; }

set_theme 1
# The program's own folder as working directory, as a double-click starts it.
# The tests' environment asks for the offscreen platform; a user has the real one.
(cd "$(dirname "$target")" && exec wine "$target" -platform windows) >"$work/program.log" 2>&1 &
program_pid=$!
selector=$(new_window "$title" "" 60) || fail "the language selector did not appear"
sleep 1
shot "$selector" language-selector-light
wait_shade "$selector" 5 5 L "the selector on a light desktop"
pass "the language selector appears, light"
focus "$selector"
keys Return
window_gone "$selector" 20 || fail "the selector stayed open after Return (Select)"
main=$(new_window "$title" "$selector" 30) || fail "the main window did not appear"
sleep 1
wait_shade "$main" 5 5 L "the main window on a light desktop"
pass "Select opens the main window"

# Add at (663, 32); the name field has the focus, Tab closes its completion list.
for setting in SaveSpool=1 BlockCopies=007; do
    focus "$main"
    click "$main" 663 32
    editor=$(new_window "$title" "$main"$'\n'"$selector" 20) || fail "the editor did not open for $setting"
    focus "$editor"
    type_text "${setting%=*}" && sleep 1 && keys Tab && type_text "${setting#*=}" && keys Return
    window_gone "$editor" 20 || fail "the editor stayed open: $setting was not accepted"
done
shot "$main" main-window-light
pass "two settings added in the editor"

# Export at (827, 32): Windows' own save dialog, its file name field focused.
exported="$work/settings.json"
focus "$main"
known=$(visible_windows "")
click "$main" 827 32
dialog=$(new_window "" "$known" 30) || fail "the save dialog did not open"
sleep 2
focus "$dialog"
type_text "$(windows_path "$exported")" && keys Return
window_gone "$dialog" 20 || fail "the save dialog stayed open"
notice=$(new_window "$title" "$main"$'\n'"$selector" 20) || fail "no notice after the export"
shot "$notice" export-notice-light
focus "$notice"
keys Return
window_gone "$notice" 20 || fail "the notice stayed open after Return"
printf '{\r\n%b    "SaveSpool": "true",\r\n    "BlockCopies": "007"\r\n}\r\n' "$expected_host" >"$work/expected.json"
cmp "$work/expected.json" "$exported" >&2 || fail "the exported file differs from the Linux program's bytes"
pass "exported the bytes the Linux program writes for the same rows"

# The registry's value, announced as Windows does: 0 is dark; every other value,
# a missing one, one longer than 32 bits and the text "0" are light; the type is not
# checked, so four zero bytes of another type are dark.
helper_path=$(windows_path "$helper")
for row in 0:D 1:L 0:D 2:L 0:D -:L 0:D REG_QWORD:0:L 0:D REG_SZ:0:L REG_BINARY:00000000:D; do
    set_theme "${row%:*}"
    wine "$helper_path" theme-changed || fail "the helper could not announce the theme change"
    wait_shade "$main" 5 5 "${row##*:}" "AppsUseLightTheme ${row%:*}"
    # The table's empty area takes its colour from the palette, not a style sheet.
    wait_shade "$main" 430 400 "${row##*:}" "AppsUseLightTheme ${row%:*}, the table's empty area"
    [[ $row == 0:D && ! -f $work/dark-shot ]] && { shot "$main" main-window-dark; touch "$work/dark-shot"; }
done
pass "the open window follows the registry's theme value, announced by WM_SETTINGCHANGE"

warnings=$(grep -c "the system colours cannot be read" "$work/program.log")
[[ $warnings -le 1 ]] || fail "the colour failure was logged $warnings times"
[[ $warnings -eq 0 ]] || grep -q "warning.*the system colours cannot be read" "$work/program.log" ||
    fail "the colour failure was not logged as a warning"
pass "without UISettings the default accent colours are used, logged at most once ($warnings)"

focus "$main"
keys alt+F4
for _ in {1..100}; do program_alive || break; sleep 0.1; done
program_alive && fail "the program still runs 10 s after its main window was closed"
wait "$program_pid"
code=$?
program_pid=''
[[ $code == 0 ]] || fail "exit code $code after closing the main window, expected 0"
pass "closing the main window ends the program with 0"
echo "e2e_wine smoke: $passed passed, 0 failed"
