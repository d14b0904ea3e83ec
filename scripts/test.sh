#!/usr/bin/env bash
# Sets up, checks the C++ files' formatting, builds and runs every test through
# CTest: first the normal build, then a second build of the whole suite with
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (clang), which
# also runs each fuzzer for a short, bounded time.
# SIH_SKIP_SANITIZERS=1 runs the first part only. When the Windows toolchain is
# cached (scripts/setup-windows.sh), a third stage builds the Windows program and
# runs its tests under wine (scripts/test-windows.sh); without the cache it says
# so in one line, since building the toolchain takes about an hour. Every stage
# always runs, so one failure does not hide another's results; the exit code is
# non-zero if any failed, and each stage's elapsed time is printed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start=$SECONDS
"$root/scripts/setup.sh"
echo "== set-up: $((SECONDS - start)) s"

failed=()
# Stages run as the left side of ||, where set -e does not apply: each step returns
# its failure itself.
stage() { # name command...
    local name="$1" began=$SECONDS status=0
    shift
    echo "== $name"
    "$@" || status=$?
    if [ "$status" -eq 0 ]; then
        echo "== $name: passed in $((SECONDS - began)) s"
    else
        echo "== $name: FAILED (exit $status) after $((SECONDS - began)) s"
        failed+=("$name")
    fi
}

normal() {
    local build="${SIH_BUILD_DIR:-$root/build}"
    "$root/scripts/build.sh" || return
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@")
}

sanitized() {
    local sanitize="${SIH_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
    CC=clang CXX=clang++ SIH_BUILD_DIR="$sanitize" "$root/scripts/build.sh" \
        -DSIH_SANITIZE=address,undefined -DSIH_FUZZ=ON -DSIH_BUILD_BENCHMARKS=OFF || return
    # Reports with function names and lines: Debian installs the symbolizer next to
    # clang, not on PATH.
    local symbolizer
    symbolizer="${ASAN_SYMBOLIZER_PATH:-$(clang -print-prog-name=llvm-symbolizer)}"
    [ -x "$symbolizer" ] || symbolizer="$(command -v llvm-symbolizer || true)"
    # An empty path would switch symbolizing off altogether.
    if [ -n "$symbolizer" ]; then export ASAN_SYMBOLIZER_PATH="$symbolizer"; fi
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
    # Packaging and the Windows cross-build check files, not the program's memory.
    (cd "$sanitize" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 \
        -E '^(packaging_|windows_cross_build)' "$@")
}

stage "format" bash "$root/scripts/check-format.sh"
stage "normal build and tests" normal "$@"
if [ "${SIH_SKIP_SANITIZERS:-0}" != 1 ]; then
    stage "sanitizer build and tests" sanitized "$@"
fi

# shellcheck source=scripts/windows-env.sh
source "$root/scripts/windows-env.sh"
if [ -f "$SIH_WINDOWS_PREFIX/.complete" ]; then
    stage "Windows build and tests under wine" bash "$root/scripts/test-windows.sh" "$@"
else
    echo "== Windows build and tests under wine: skipped, no cached Windows toolchain (bash scripts/setup-windows.sh builds it once, about an hour)"
fi

echo "== total: $((SECONDS - start)) s"
if [ "${#failed[@]}" -gt 0 ]; then
    (IFS=,; echo "== failed: ${failed[*]}")
    exit 1
fi
