#!/usr/bin/env bash
# The Windows program built whole with MinGW-w64 against the cached Windows
# libraries (scripts/setup-windows.sh, which builds them on the first run), then
# every test that makes sense on Windows run under wine on a private X server:
# unit and widget tests, the real program's start-up, the export's write policy
# and a smoke flow of silent-install-helper.exe (tests/app/e2e_wine.sh).
#
# Usage: scripts/test-windows.sh [ctest arguments, e.g. -R e2e_wine]
#        SIH_WINDOWS_BUILD_DIR=<folder>   default ./build-windows
# Ends with "windows: N passed, N failed"; exits non-zero when a step failed.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${SIH_WINDOWS_BUILD_DIR:-$root/build-windows}"
started=$SECONDS

prefix="$(bash "$root/scripts/setup-windows.sh" | tail -n 1)" && [[ -f "$prefix/.complete" ]] || {
    echo "test-windows: the Windows toolchain could not be set up"
    echo "windows: 0 passed, 1 failed"
    exit 1
}
echo "== Windows set-up: $((SECONDS - started)) s"

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
began=$SECONDS
mkdir -p "$build"
work_log="$build/configure-windows.log"
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_PREFIX_PATH="$prefix" -DPoco_DIR="$prefix/cmake" -DOPENSSL_ROOT_DIR="$prefix" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIH_WARNINGS_AS_ERRORS=ON -DSIH_BUILD_BENCHMARKS=OFF \
    "${launcher[@]}" >"$work_log" 2>&1 || { cat "$work_log"; false; }; } ||
    ! cmake --build "$build" --parallel 2; then
    echo "test-windows: the Windows build failed"
    echo "windows: 0 passed, 1 failed"
    exit 1
fi
echo "== Windows build: $((SECONDS - began)) s"

# wine: a prefix of the build's own, quiet, no Mono or Gecko installer prompts;
# the DLLs of Qt, the libraries and the MinGW runtime found through WINEPATH.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
gcc_runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
winepath_of() { printf 'Z:%s' "${1//\//\\}"; }
WINEPATH="$(winepath_of "$prefix/bin");$(winepath_of "$gcc_runtime");$(winepath_of /usr/x86_64-w64-mingw32/lib)"
export WINEPATH

work="$(mktemp -d "${TMPDIR:-/tmp}/sih-wine.XXXXXX")"
xvfb_pid=''
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
    wineserver -k 2>/dev/null
    [[ -z $xvfb_pid ]] || { kill "$xvfb_pid"; wait "$xvfb_pid"; } 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/support/xvfb.sh
source "$root/tests/support/xvfb.sh"
start_xvfb "$work" || {
    echo "test-windows: no X server could be started"
    echo "windows: 0 passed, 1 failed"
    exit 1
}
[[ -f "$WINEPREFIX/system.reg" ]] || wineboot --init >/dev/null 2>&1
# wine hands no QT_ variable on from Linux: the tests' offscreen platform comes
# from the user's Windows environment (the smoke flow asks for the real one).
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /t REG_SZ /d offscreen /f >/dev/null 2>&1
wineserver -w

began=$SECONDS
# One test at a time: they share the prefix's registry and the display.
(cd "$build" && ctest --output-on-failure --timeout 600 "$@") | tee "$work/ctest.log"
status=${PIPESTATUS[0]}
echo "== Windows tests under wine: $((SECONDS - began)) s, all: $((SECONDS - started)) s"
summary="$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\1 \2/p' "$work/ctest.log")"
if [[ -n $summary ]]; then
    read -r failed total <<<"$summary"
    echo "windows: $((total - failed)) passed, $failed failed"
else
    echo "windows: 0 passed, 1 failed"
    status=1
fi
exit "$status"
