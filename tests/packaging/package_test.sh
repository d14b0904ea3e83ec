#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a user meets it:
# control fields, computed dependencies, the files, and the extracted program
# opening its language selector on a private X display and closing on Escape with
# exit code 0. (`cmake --install` runs the same install rules as cpack.)
# Usage: package_test.sh <build-dir> <expected-version>
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 <build-dir> <expected-version>" >&2
    exit 2
fi
build="$(cd "$1" && pwd)"
version="$2"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
app_id=com.orvane.SilentInstallHelper
program=silent-install-helper

scratch="$(mktemp -d "${TMPDIR:-/tmp}/sih-package-test.XXXXXX")"
xvfb_pid=""
app_pid=""
stop() { # pid: TERM, then KILL if it lingers
    [[ -n "$1" ]] && kill -0 "$1" 2>/dev/null || return 0
    kill "$1" 2>/dev/null || true
    for _ in {1..20}; do kill -0 "$1" 2>/dev/null && sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
trap 'stop "$app_pid"; stop "$xvfb_pid"; rm -rf "$scratch"' EXIT

failed=0
expect() { # description command...
    local description="$1"
    shift
    if "$@"; then echo "PASS $description"; else echo "FAIL $description" && failed=$((failed + 1)); fi
}
die() {
    echo "FAIL $*"
    exit 1
}

# Files below the prefix, each with the source file it must equal byte for byte
# (none for the programs); nothing else may be installed.
declare -A source_of=(
    ["bin/$program"]="" ["bin/$program-check"]=""
    ["share/applications/$app_id.desktop"]="packaging/linux/$app_id.desktop"
    ["share/metainfo/$app_id.metainfo.xml"]="packaging/linux/$app_id.metainfo.xml"
    ["share/doc/$program/copyright"]="packaging/linux/copyright"
    ["share/icons/hicolor/scalable/apps/$program.svg"]="packaging/icons/$program.svg"
)
for n in 256 128 96 64 48 32 16; do
    source_of["share/icons/hicolor/${n}x${n}/apps/$program.png"]="packaging/icons/hicolor/${n}x${n}/apps/$program.png"
done
check_tree() { # label prefix-dir
    local path
    for path in "${!source_of[@]}"; do
        if [[ -n "${source_of[$path]}" ]]; then
            expect "$1: $path installed unchanged" cmp -s "$source_dir/${source_of[$path]}" "$2/$path"
        else
            expect "$1: $path is an executable file" test -f "$2/$path" -a -x "$2/$path"
        fi
    done
    expect "$1: nothing installed beyond the expected files" test "$(cd "$2" && find . -type f -o -type l \
        | sed 's|^\./||' | sort)" = "$(printf '%s\n' "${!source_of[@]}" | sort)"
}

# --- Package ----------------------------------------------------------------------

if ! (cd "$scratch" && timeout 90 cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package") \
    >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    die "cpack -G DEB"
fi
arch="$(dpkg --print-architecture)"
deb="$scratch/package/${program}_${version}_${arch}.deb"
debs=("$scratch"/package/*.deb)
[[ "${debs[*]}" == "$deb" ]] || die "cpack made ${debs[*]##*/}, not ${deb##*/}"
field() { dpkg-deb -f "$deb" "$1"; }
for pair in "Package=$program" "Version=$version" "Architecture=$arch" "Section=utils"; do
    expect "${pair%%=*}: ${pair#*=}" test "$(field "${pair%%=*}")" = "${pair#*=}"
done
expect "Maintainer and Homepage are set" test -n "$(field Maintainer)" -a -n "$(field Homepage)"
description="$(field Description)"
expect "Description has a synopsis and an extended text, not CPack's placeholder" \
    test "$(wc -l <<<"$description")" -ge 2 -a -z "$(grep -i "created using CPack" <<<"$description" || true)"

# One relation per line, e.g. "libc6 (>= 2.34)"; alternatives are not expected.
relations="$(field Depends | sed 's/, */\n/g')"
echo "Depends: $relations"
depends_on() { grep -q -x -F -- "$1" <<<"$(sed 's/ .*//' <<<"$relations")"; }
expect "Depends: libqt6widgets6 and libc6 with a version, as dpkg-shlibdeps writes them" \
    test "$(grep -Ec '^(libqt6widgets6|libc6) \(>= [^)]+\)$' <<<"$relations")" -eq 2
expect "Depends: qt6-qpa-plugins (window-system plugins)" depends_on qt6-qpa-plugins

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x"
check_tree "deb" "$root/usr"
expect "installed desktop entry validates" desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
# The tree check also sees whether the metainfo's launchable finds its desktop entry.
expect "AppStream tree validates" bash "$source_dir/tests/packaging/validate_metainfo.sh" validate-tree "$root"
binary="$root/usr/bin/$program"
expect "packaged $program-check runs without a display" bash -c '"$1" list >/dev/null' _ "$root/usr/bin/$program-check"
expect "packaged program carries no debug sections" \
    bash -c '! readelf -S --wide "$1" | grep -q "\.debug_info"' _ "$binary"

# Every library the program links directly is covered by Depends (through its
# owning package or a virtual package that one provides): the list was computed.
resolved="$(ldd "$binary" || true)"
while read -r soname; do
    lib="$(awk -v so="$soname" '$1 == so && $3 ~ /^\// { print $3 }' <<<"$resolved" | sed -n 1p)"
    owner=""
    for candidate in "$lib" "$(readlink -f "$lib")" "${lib#/usr}" "/usr${lib}"; do
        owner="$(dpkg-query -S "$candidate" 2>/dev/null | sed -n '1s/:.*//p' || true)"
        [[ -n "$owner" ]] && break
    done
    covered=""
    for name in $owner $(dpkg-query -W -f='${Provides}' "$owner" 2>/dev/null | sed 's/([^)]*)//g; s/,/ /g'); do
        depends_on "$name" && covered="$name" && break
    done
    expect "Depends covers $soname (${covered:-${owner:-no package owns ${lib:-it}}})" test -n "$covered"
done < <(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')

# --- Extracted program on its own X display ---------------------------------------

export XAUTHORITY="$scratch/Xauthority"
SIH_XVFB_COOKIE="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
touch "$XAUTHORITY"
xauth -q -f "$XAUTHORITY" add ":0" . "$SIH_XVFB_COOKIE"
source "$source_dir/tests/support/xvfb.sh"
start_xvfb "$scratch" -auth "$XAUTHORITY" || { cat "$scratch/xvfb.log"; die "Xvfb did not serve a display"; }

# The user's desktop stays out of the run: X11 only, no session bus, private home.
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
(
    cd "$scratch"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME SESSION_MANAGER
    exec env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
        XDG_CACHE_HOME="$scratch/home/.cache" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/run/no-bus" "$binary"
) >"$scratch/program.log" 2>&1 &
app_pid=$!

# A search can fail outright while windows come and go (BadWindow): poll.
window=""
for _ in {1..150}; do
    window="$(timeout 5 xdotool search --onlyvisible --name "Silent Install Helper" 2>/dev/null | sed -n 1p || true)"
    [[ -n "$window" ]] || ! kill -0 "$app_pid" 2>/dev/null && break
    sleep 0.2
done
[[ -n "$window" ]] || { cat "$scratch/program.log"; die "no visible window \"Silent Install Helper\" within 30 s"; }
wm_class="$(sed -n 's/^StartupWMClass=//p' "$root/usr/share/applications/$app_id.desktop")"
expect "window class matches the desktop entry's StartupWMClass ($wm_class)" \
    bash -c 'xdotool search --classname "^$1\$" | grep -qx "$2"' _ "$wm_class" "$window"

timeout 10 xdotool windowfocus --sync "$window" && timeout 10 xdotool key --clearmodifiers Escape \
    || expect "focus the language selector and send Escape" false
for _ in {1..100}; do kill -0 "$app_pid" 2>/dev/null && sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && { cat "$scratch/program.log"; die "program still running 10 s after Escape"; }
status=0
wait "$app_pid" || status=$?
app_pid=""
[[ $status -eq 0 ]] || cat "$scratch/program.log"
expect "program exits with code 0 after Escape (got $status)" test "$status" -eq 0

echo "package test: $failed failed"
[[ $failed -eq 0 ]]
