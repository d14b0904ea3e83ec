#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a user would meet
# it: control fields, computed dependencies, file list, and the extracted program
# opening its language selector on an X display and closing on Escape with exit
# code 0. Then installs the tree with `cmake --install` and checks the same files.
#
# Everything happens in a private scratch folder and on a display that Xvfb picks
# itself (-displayfd), so it can run next to other tests.
#
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
icon_sizes=(256 128 96 64 48 32 16)

scratch="$(mktemp -d "${TMPDIR:-/tmp}/sih-package-test.XXXXXX")"
xvfb_pid=""
app_pid=""

stop() { # pid: TERM, then KILL if it lingers
    local pid="$1"
    [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || return 0
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    stop "$app_pid"
    stop "$xvfb_pid"
    rm -rf "$scratch"
}
trap cleanup EXIT

failed=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failed=$((failed + 1))
}
expect() { # description command...
    local description="$1"
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}
die() {
    echo "FAIL $*"
    exit 1
}

# Files below the prefix, relative to it; the package must hold exactly these.
expected_files=(
    "bin/$program"
    "bin/$program-check"
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$program.svg"
    "share/doc/$program/copyright"
)
for n in "${icon_sizes[@]}"; do
    expected_files+=("share/icons/hicolor/${n}x${n}/apps/$program.png")
done

# The installed data files must be the ones in the source tree, byte for byte.
source_of() { # path below the prefix
    case "$1" in
        share/applications/*) echo "$source_dir/packaging/linux/${1##*/}" ;;
        share/doc/*) echo "$source_dir/packaging/linux/${1##*/}" ;;
        share/metainfo/*) echo "$source_dir/packaging/linux/${1##*/}" ;;
        share/icons/hicolor/scalable/apps/*) echo "$source_dir/packaging/icons/${1##*/}" ;;
        share/icons/hicolor/*) echo "$source_dir/packaging/icons/${1#share/icons/}" ;;
    esac
}

check_tree() { # label prefix-dir
    local label="$1" prefix="$2" path src actual
    for path in "${expected_files[@]}"; do
        src="$(source_of "$path")"
        if [[ -n "$src" ]]; then
            expect "$label: $path installed unchanged" cmp -s "$src" "$prefix/$path"
        else
            expect "$label: $path is an executable file" test -f "$prefix/$path" -a -x "$prefix/$path"
        fi
    done
    actual="$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)"
    expect "$label: nothing installed beyond the expected files" \
        test "$actual" = "$(printf '%s\n' "${expected_files[@]}" | sort)"
}

# --- Package ----------------------------------------------------------------------

[[ -f "$build/CPackConfig.cmake" ]] || die "no CPackConfig.cmake in $build"
if ! (cd "$scratch" && timeout 90 cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package") \
    >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    die "cpack -G DEB"
fi
shopt -s nullglob
debs=("$scratch"/package/*.deb)
shopt -u nullglob
[[ ${#debs[@]} -eq 1 ]] || die "cpack made ${#debs[@]} .deb files"
deb="${debs[0]}"
arch="$(dpkg --print-architecture)"
expect "file name is ${program}_${version}_${arch}.deb" test "${deb##*/}" = "${program}_${version}_${arch}.deb"

field() { dpkg-deb -f "$deb" "$1"; }
expect "Package: $program" test "$(field Package)" = "$program"
expect "Version: $version" test "$(field Version)" = "$version"
expect "Architecture: $arch" test "$(field Architecture)" = "$arch"
expect "Section: utils" test "$(field Section)" = "utils"
expect "Maintainer is set" test -n "$(field Maintainer)"
expect "Homepage is set" test -n "$(field Homepage)"
description="$(field Description)"
expect "Description has a synopsis and an extended text" \
    test "$(printf '%s\n' "$description" | wc -l)" -ge 2
expect "extended Description is not the generic placeholder" \
    bash -c '! grep -qi "created using CPack" <<<"$1"' _ "$description"

depends="$(field Depends)"
echo "Depends: $depends"
# One relation per line, e.g. "libc6 (>= 2.34)"; alternatives are not expected.
relations="$(sed 's/, */\n/g' <<<"$depends")"
depends_on() { # package: listed, with or without a version
    grep -q -x -F -- "$1" <<<"$(sed 's/ .*//' <<<"$relations")"
}
versioned() { # package: listed with a version constraint, as dpkg-shlibdeps writes it
    grep -Eq "^$1 \(>= [^)]+\)$" <<<"$relations"
}
expect "Depends: libqt6widgets6 (>= ...)" versioned libqt6widgets6
expect "Depends: libc6 (>= ...)" versioned libc6
expect "Depends: qt6-qpa-plugins (window-system plugins)" depends_on qt6-qpa-plugins

contents="$(dpkg-deb -c "$deb")"
for path in "${expected_files[@]}"; do
    expect "contents: usr/$path" grep -Eq " \./usr/$path$" <<<"$contents"
done
expect "contents: the program is mode 0755" grep -Eq "^-rwxr-xr-x .* \./usr/bin/$program$" <<<"$contents"

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x"
check_tree "deb" "$root/usr"
expect "installed desktop entry validates" desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
# The tree check also sees whether the metainfo's launchable finds its desktop entry.
expect "AppStream tree validates" bash "$source_dir/tests/packaging/validate_metainfo.sh" validate-tree "$root"
binary="$root/usr/bin/$program"
# The command-line checker needs no display; it must run from the package as is.
expect "packaged $program-check runs" bash -c '"$1" list >/dev/null' _ "$root/usr/bin/$program-check"
expect "packaged program carries no debug sections" \
    bash -c '! readelf -S --wide "$1" | grep -q "\.debug_info"' _ "$binary"

# Every library the program links directly must be covered by Depends, which
# shows the list was computed from the binary and not written by hand.
# (Filters read their whole input: under pipefail an early exit would fail the
# pipeline through SIGPIPE.)
resolved="$(ldd "$binary" || true)"
while read -r soname; do
    lib="$(awk -v so="$soname" '$1 == so && $3 ~ /^\// && !found { print $3; found = 1 }' <<<"$resolved")"
    if [[ -z "$lib" ]]; then
        fail "needed library $soname resolves"
        continue
    fi
    owner=""
    for candidate in "$lib" "$(readlink -f "$lib")" "${lib#/usr}" "/usr${lib}"; do
        owner="$(dpkg-query -S "$candidate" 2>/dev/null | sed -n '1s/:.*//p' || true)"
        [[ -n "$owner" ]] && break
    done
    if [[ -z "$owner" ]]; then
        fail "needed library $soname belongs to a Debian package"
        continue
    fi
    # A library's shlibs may name a virtual package its owner provides
    # (libspdlog1.10 provides libspdlog1.10-fmt9).
    covered=""
    for name in "$owner" $(dpkg-query -W -f='${Provides}' "$owner" 2>/dev/null | sed 's/([^)]*)//g; s/,/ /g'); do
        depends_on "$name" && covered="$name" && break
    done
    expect "Depends covers $soname (${covered:-$owner})" test -n "$covered"
done < <(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')

# --- Extracted program on its own X display ------------------------------------

export XAUTHORITY="$scratch/Xauthority"
SIH_XVFB_COOKIE="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
# The server loads every cookie in the file; the display number is added for the
# client once Xvfb has chosen it.
touch "$XAUTHORITY"
xauth -q -f "$XAUTHORITY" add ":0" . "$SIH_XVFB_COOKIE"
source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
if ! start_xvfb "$scratch" -auth "$XAUTHORITY"; then
    cat "$scratch/xvfb.log"
    die "Xvfb did not serve a display within 10 s"
fi
pass "Xvfb serves $DISPLAY"

# The user's desktop stays out of the run: X11 only, no session bus, private home.
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
(
    cd "$scratch"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME SESSION_MANAGER
    exec env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
        XDG_DATA_HOME="$scratch/home/.local/share" XDG_CACHE_HOME="$scratch/home/.cache" \
        XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/run/no-bus" \
        "$binary"
) >"$scratch/program.log" 2>&1 &
app_pid=$!

# A search can fail outright while the program's windows come and go (BadWindow),
# so poll until the deadline and keep every attempt's errors for the report.
window=""
waited=$SECONDS
while ((SECONDS - waited < 30)); do
    window="$(timeout 5 xdotool search --onlyvisible --name "Silent Install Helper" \
        2>>"$scratch/xdotool.log" | sed -n 1p || true)"
    [[ -n "$window" ]] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
done
if [[ -z "$window" ]]; then
    echo "--- program output:"
    cat "$scratch/program.log"
    echo "--- xdotool errors (count, message):"
    sort "$scratch/xdotool.log" 2>/dev/null | uniq -c || true
    if kill -0 "$app_pid" 2>/dev/null; then
        die "no visible window named \"Silent Install Helper\" within 30 s"
    fi
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    die "program exited with code $status after $((SECONDS - waited)) s without showing its window"
fi
pass "language selector window $window is shown"
expect "program still running with its window shown" kill -0 "$app_pid"

wm_class="$(sed -n 's/^StartupWMClass=//p' "$root/usr/share/applications/$app_id.desktop")"
expect "window class matches the desktop entry's StartupWMClass ($wm_class)" \
    bash -c 'xdotool search --classname "^$1\$" | grep -qx "$2"' _ "$wm_class" "$window"

timeout 10 xdotool windowfocus --sync "$window" || fail "focus the language selector"
timeout 10 xdotool key --clearmodifiers Escape || fail "send Escape"

exited=""
for _ in $(seq 1 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
        exited=yes
        break
    fi
    sleep 0.1
done
if [[ -z "$exited" ]]; then
    cat "$scratch/program.log"
    die "program still running 10 s after Escape"
fi
status=0
wait "$app_pid" || status=$?
app_pid=""
if [[ $status -ne 0 ]]; then cat "$scratch/program.log"; fi
expect "program exits with code 0 after Escape (got $status)" test "$status" -eq 0

stop "$xvfb_pid"
xvfb_pid=""

# --- cmake --install ---------------------------------------------------------------

if timeout 60 cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1; then
    check_tree "cmake --install" "$scratch/prefix"
else
    cat "$scratch/install.log"
    fail "cmake --install $build --prefix <scratch>"
fi

echo "package test: $failed failed"
[[ $failed -eq 0 ]]
