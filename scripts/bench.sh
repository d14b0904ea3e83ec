#!/usr/bin/env bash
# Builds the benchmark programs (bench/) in Release, runs them all and prints one
# table: what is measured, the baseline measured in the same run, the program's
# figure, their ratio, the target ratio and whether it is met. Every figure is the
# median of SIH_BENCH_RUNS runs (default 15, at least 10). Start-up and paint
# figures are taken on the offscreen platform and on a private Xvfb server.
#
#   bash scripts/bench.sh                 # build folder ./build-bench
#   SIH_BENCH_BUILD_DIR=/tmp/b SIH_BENCH_RUNS=21 bash scripts/bench.sh
#   SIH_SKIP_SETUP=1 bash scripts/bench.sh   # do not check the installed packages
#
# Benchmarks print figures; they pass or fail nothing. The exit code is non-zero
# only when a program could not be built or did not report.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "${SIH_SKIP_SETUP:-0}" != 1 ]; then
    "$root/scripts/setup.sh"
fi

build="${SIH_BENCH_BUILD_DIR:-$root/build-bench}"
runs="${SIH_BENCH_RUNS:-15}"
if ! [[ $runs =~ ^[0-9]+$ ]] || ((runs < 10)); then
    echo "SIH_BENCH_RUNS must be a number of at least 10" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSIH_BUILD_TESTS=OFF \
    -DSIH_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target benchmarks --parallel >/dev/null
bench="$build/bench"
for program in bench_startup bench_micro; do
    if [ ! -x "$bench/$program" ]; then
        echo "$bench/$program was not built (bench_micro needs Google Benchmark: libbenchmark-dev)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/sih-bench.XXXXXX")
xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The same conditions for every program: a private home and runtime folder, no
# desktop bus (theme and accent colour are the defaults, as in the tests), no
# platform theme or style from the desktop.
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/sih-bench-bus
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS WAYLAND_DISPLAY \
    XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION
results="$work/results.txt"
log="$work/log.txt"
: >"$results"

# Start-up, Select and peak memory of the program against the minimal program,
# then of the two intermediate programs against it (where the difference comes from).
run_logged() {
    if ! "$@" >>"$log" 2>&1; then
        tail -n 20 "$log" >&2
        echo "failed: $*" >&2
        exit 1
    fi
}

startup_set() {
    local platform=$1
    echo "start-up and paint, $platform: $runs runs of each program" >&2
    run_logged "$bench/bench_startup" --runs "$runs" --label "$platform"
    run_logged "$bench/bench_startup" --runs "$runs" --label "$platform-libraries" \
        --product "$bench/bench_baseline_libraries"
    run_logged "$bench/bench_startup" --runs "$runs" --label "$platform-fonts" \
        --product "$bench/bench_baseline_fonts"
    run_logged "$bench/bench_startup" --runs "$runs" --label "$platform-against-fonts" \
        --baseline "$bench/bench_baseline_fonts"
}

QT_QPA_PLATFORM=offscreen startup_set offscreen

# Start-up with a desktop portal on a private bus, against the minimal program on
# the same bus: one that never answers in time, and one that answers dark with an
# accent (the answer restyles the selector).
portal_set() { # name, fake portal arguments...
    local name=$1 dir="$work/bus-$1" bus_pid portal_pid address=
    shift
    mkdir -p "$dir"
    cat >"$dir/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:dir=$dir</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
</policy></busconfig>
CONF
    dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile --print-address=3 3>"$dir/address" 2>/dev/null &
    bus_pid=$!
    for _ in {1..50}; do
        address=$(head -1 "$dir/address" 2>/dev/null)
        [ -n "$address" ] && break
        sleep 0.1
    done
    DBUS_SESSION_BUS_ADDRESS=$address "$bench/bench_fake_portal" "$@" >"$dir/portal.out" 2>&1 &
    portal_pid=$!
    for _ in {1..50}; do
        grep -q ready "$dir/portal.out" && break
        sleep 0.1
    done
    if ! grep -q ready "$dir/portal.out"; then
        cat "$dir/portal.out" >&2
        echo "the $name portal did not start" >&2
        exit 1
    fi
    echo "start-up with the $name portal, offscreen: $runs runs of each program" >&2
    DBUS_SESSION_BUS_ADDRESS=$address QT_QPA_PLATFORM=offscreen run_logged "$bench/bench_startup" --runs "$runs" \
        --label "portal-$name"
    kill "$portal_pid" "$bus_pid" 2>/dev/null || true
    wait "$portal_pid" "$bus_pid" 2>/dev/null || true
}
portal_set silent --delay-ms 3000
portal_set answering --color-scheme 1

# A private X server on a display of its own choosing.
source "$root/tests/support/xvfb.sh"
if ! start_xvfb "$work"; then
    echo "no Xvfb server could be started" >&2
    exit 1
fi
QT_QPA_PLATFORM=xcb startup_set xvfb

# Opening large settings files in the program, given as its argument: Select until
# the notice about the file is painted (the main window for a file without
# problems), peak memory, and a repaint of the main window afterwards. The files
# are the worst the 16 MiB limit allows: the most members (each with an unknown
# name), many unknown names that have near catalogue names, one long value.
host='{"HostAddress": "https://10.0.0.5:56569"'
awk -v host="$host" -v limit=$((16 << 20)) 'BEGIN {
    printf "%s", host; size = length(host)
    for (i = 0; ; i++) { member = sprintf(",\"%x\":\"\"", i); if (size + length(member) + 1 > limit) break
        printf "%s", member; size += length(member) }
    printf "}" }' >"$work/members.json"
awk -v host="$host" 'BEGIN { printf "%s", host; for (i = 0; i < 500000; i++) printf ",\n    \"Unknown%d\": \"1\"", i; printf "\n}" }' \
    >"$work/unknown-names.json"
{
    printf '%s, "WorkFolder": "' "$host"
    head -c $(((16 << 20) - ${#host} - 19)) /dev/zero | tr '\0' v
    printf '"}'
} >"$work/long-value.json"
open_set() { # name, file, class of the window that shows it
    echo "opening $2 in the program, offscreen: $runs runs" >&2
    QT_QPA_PLATFORM=offscreen run_logged "$bench/bench_startup" --runs "$runs" --label "open-$1" --file "$2" --await "$3"
}
open_set members "$work/members.json" FileProblemsDialog
open_set unknown "$work/unknown-names.json" FileProblemsDialog
open_set value "$work/long-value.json" SilentInstallHelperWindow

echo "in-process operations: $runs repetitions each" >&2
QT_QPA_PLATFORM=offscreen run_logged "$bench/bench_micro" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.2 --benchmark_out="$work/micro.csv" --benchmark_out_format=csv

grep '^RESULT ' "$log" | cut -d' ' -f2- >>"$results"
# What a portal adds to the program's start-up, against the same program without a bus.
awk '$1 == "offscreen/startup" { none = $3 } $1 == "portal-silent/startup" { silent = $3 }
     $1 == "portal-answering/startup" { answering = $3 }
     END {
         if (none != "" && silent != "") printf "portal/silent_cost - %.3f ms\n", silent - none
         if (none != "" && answering != "") printf "portal/answering_cost - %.3f ms\n", answering - none
     }' "$results" >"$work/portal.txt"
cat "$work/portal.txt" >>"$results"
# Google Benchmark's CSV: name,iterations,real_time,cpu_time,time_unit,... The
# medians of the operations, paired with the baselines they are compared with.
awk -F, '
    /_median"?,/ {
        name = $1; gsub(/"/, "", name); sub(/\/manual_time_median$/, "", name)
        time[name] = $3; unit[name] = $5
    }
    function pair(key, baseline, measured) {
        if ((baseline in time) && (measured in time))
            printf "%s %s %s %s\n", key, time[baseline], time[measured], unit[measured]
    }
    END {
        pair("micro/refresh_table", "refresh_table/baseline", "refresh_table/product")
        pair("micro/keystroke_name", "keystroke/baseline", "keystroke_name/product")
        pair("micro/keystroke_value", "keystroke/baseline", "keystroke_value/product")
        pair("micro/export", "export/baseline", "export/product")
        pair("micro/export_vs_qsavefile", "export/qsavefile", "export/product")
        pair("micro/qsavefile_vs_qfile", "export/baseline", "export/qsavefile")
        if ("translate/plain_key" in time) printf "micro/translate_plain - %s %s\n", time["translate/plain_key"], unit["translate/plain_key"]
        if ("translate/with_argument" in time) printf "micro/translate_argument - %s %s\n", time["translate/with_argument"], unit["translate/with_argument"]
        if ("settings_data_mapper" in time) printf "micro/data_mapper - %s %s\n", time["settings_data_mapper"], unit["settings_data_mapper"]
    }' "$work/micro.csv" >>"$results"

# One row: text|result key|target ratio (empty: no target, shown for explanation).
print_rows() {
    local row text key target
    printf '| What | Baseline | Measured | Ratio | Target | Met? |\n'
    printf '|---|---:|---:|---:|---:|---|\n'
    for row in "$@"; do
        IFS='|' read -r text key target <<<"$row"
        awk -v text="$text" -v key="$key" -v target="$target" '
            $1 == key {
                found = 1
                unit = $4
                if ($2 == "-") {
                    printf "| %s | | %.3f %s | | | |\n", text, $3, unit
                    exit
                }
                ratio = $3 / $2
                met = target == "" ? "" : (ratio <= target + 0 ? "yes" : "no")
                printf "| %s | %.2f %s | %.2f %s | %.2f x | %s | %s |\n", text, $2, unit, $3, unit, ratio,
                    target == "" ? "" : "<= " target " x", met
                exit
            }
            END { if (!found) printf "| %s | (no figure) | | | | |\n", text }' "$results"
    done
}

echo
echo "Medians of $runs runs. Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
    "$(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GB, $(uname -sr), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)."
echo
print_rows \
    "Start-up until the selector is painted, offscreen|offscreen/startup|1.25" \
    "Start-up until the selector is painted, Xvfb|xvfb/startup|1.25" \
    "Start-up until the selector is painted, silent portal on a private bus, offscreen|portal-silent/startup|1.25" \
    "Start-up until the selector is painted, answering portal (dark) on a private bus, offscreen|portal-answering/startup|1.25" \
    "Select until the main window is painted, offscreen|offscreen/select|1.5" \
    "Select until the main window is painted, Xvfb|xvfb/select|1.5" \
    "RefreshSettingsTable, 56 settings|micro/refresh_table|2" \
    "One keystroke in the editor, name field|micro/keystroke_name|2" \
    "One keystroke in the editor, value field|micro/keystroke_value|2" \
    "Export of the 56-setting document|micro/export|1.5" \
    "Peak resident memory, main window open, offscreen|offscreen/peak_rss|1.2" \
    "Peak resident memory, main window open, Xvfb|xvfb/peak_rss|1.2"
echo
echo "Opening a settings file of 16 MiB, the largest read, given as the program's argument (offscreen):"
echo "Select until its notice (or, without problems, the main window) is painted; peak memory;"
echo "one more paint of the main window afterwards."
echo
print_rows \
    "1.49 M members with unknown names: Select until the notice is painted (< 4 s)|open-members/select|" \
    "1.49 M members with unknown names: peak memory (< 400 MB)|open-members/peak_rss|" \
    "500,000 unknown names: Select until the notice is painted (< 4 s)|open-unknown/select|" \
    "500,000 unknown names: peak memory (< 400 MB)|open-unknown/peak_rss|" \
    "One WorkFolder value of 16 MiB: Select until the main window is painted|open-value/select|" \
    "One WorkFolder value of 16 MiB: peak memory|open-value/peak_rss|" \
    "One WorkFolder value of 16 MiB: a repaint of the main window (< 16 ms, one frame)|open-value/repaint|"
echo
echo "Where the differences come from (no targets): the program against the minimal program"
echo "plus the libraries it must load and start and the bundle's fonts; those two steps"
echo "against the minimal program; the export through QSaveFile (written aside, synced to"
echo "disk, renamed into place) as the export does it."
echo
print_rows \
    "Cost of a silent portal: start-up with it minus start-up without a bus (must stay under 5 ms)|portal/silent_cost|" \
    "Cost of an answering portal (dark): start-up with it minus start-up without a bus|portal/answering_cost|" \
    "Start-up against minimal + libraries + fonts, offscreen|offscreen-against-fonts/startup|" \
    "Start-up against minimal + libraries + fonts, Xvfb|xvfb-against-fonts/startup|" \
    "Select against minimal + libraries + fonts, offscreen|offscreen-against-fonts/select|" \
    "Select against minimal + libraries + fonts, Xvfb|xvfb-against-fonts/select|" \
    "Peak memory against minimal + libraries + fonts, offscreen|offscreen-against-fonts/peak_rss|" \
    "Peak memory against minimal + libraries + fonts, Xvfb|xvfb-against-fonts/peak_rss|" \
    "Start-up, minimal + libraries, offscreen|offscreen-libraries/startup|" \
    "Start-up, minimal + libraries + fonts, offscreen|offscreen-fonts/startup|" \
    "Start-up, minimal + libraries, Xvfb|xvfb-libraries/startup|" \
    "Start-up, minimal + libraries + fonts, Xvfb|xvfb-fonts/startup|" \
    "Select, minimal + libraries + fonts, offscreen|offscreen-fonts/select|" \
    "Select, minimal + libraries + fonts, Xvfb|xvfb-fonts/select|" \
    "Peak memory, minimal + libraries, offscreen|offscreen-libraries/peak_rss|" \
    "Peak memory, minimal + libraries + fonts, offscreen|offscreen-fonts/peak_rss|" \
    "Peak memory, minimal + libraries, Xvfb|xvfb-libraries/peak_rss|" \
    "Peak memory, minimal + libraries + fonts, Xvfb|xvfb-fonts/peak_rss|" \
    "Same bytes: QSaveFile against one QFile write|micro/qsavefile_vs_qfile|" \
    "Export against the same bytes through QSaveFile|micro/export_vs_qsavefile|" \
    "Globalize::Translate, plain key|micro/translate_plain|" \
    "Globalize::Translate, key with an argument|micro/translate_argument|" \
    "SettingsDataMapper (56 descriptions)|micro/data_mapper|"
