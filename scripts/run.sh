#!/usr/bin/env bash
# Sets up, builds and starts the program. Without a display it starts one under
# Xvfb, so the command also works on a machine without a desktop.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
# Only the program: a new user waits for its own compile, not for every test.
SIH_BUILD_TARGET=silent-install-helper "$root/scripts/build.sh"
program="${SIH_BUILD_DIR:-$root/build}/app/silent-install-helper"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$program"
fi
echo "No display found: starting the program on a virtual display (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x800x24" "$program"
