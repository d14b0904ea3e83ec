#!/usr/bin/env bash
# Sets up, builds and runs every test through CTest: first the normal build, then
# a second build of the whole suite with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer (clang), which also runs each fuzzer for a short, bounded time.
# SIH_SKIP_SANITIZERS=1 runs the first part only.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"

build="${SIH_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@")

if [ "${SIH_SKIP_SANITIZERS:-0}" = 1 ]; then
    exit 0
fi

sanitize="${SIH_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
CC=clang CXX=clang++ SIH_BUILD_DIR="$sanitize" "$root/scripts/build.sh" \
    -DSIH_SANITIZE=address,undefined -DSIH_FUZZ=ON -DSIH_BUILD_BENCHMARKS=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
# Packaging and the Windows cross-build check files, not the program's memory.
(cd "$sanitize" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 \
    -E '^(packaging_|windows_cross_build)' "$@")
