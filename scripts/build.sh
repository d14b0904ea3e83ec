#!/usr/bin/env bash
# Configures and builds into ./build (or $SIH_BUILD_DIR) with warnings as errors.
# Arguments go to the configure step. Builds every target, or only $SIH_BUILD_TARGET.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${SIH_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIH_WARNINGS_AS_ERRORS=ON "$@"
cmake --build "$build" --parallel ${SIH_BUILD_TARGET:+--target "$SIH_BUILD_TARGET"}
