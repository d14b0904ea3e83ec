#!/usr/bin/env bash
# The quick Windows check that needs no Windows libraries: cross-compiles the
# Qt-free Windows platform layer (theme, system colours, WinSock, file
# replacement) with MinGW-w64 under strict warnings, parses the Qt files that
# call it against the host's Qt headers and compiles and examines the
# executable's resources. Installs nothing. The whole program, built and run
# under wine, is scripts/test-windows.sh.
#
# Usage: scripts/check-windows-build.sh [build-folder]   (default /tmp/sih-win-check)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-/tmp/sih-win-check}"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"
windres="${MINGW_WINDRES:-x86_64-w64-mingw32-windres}"
packaging="$root/packaging/windows"

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "check-windows-build: $cxx not found (Debian package g++-mingw-w64-x86-64)" >&2
    exit 1
fi

mkdir -p "$out/obj"
flags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror -O2 -I"$root")

compile() { # source object
    echo "compile $1"
    "$cxx" "${flags[@]}" -c "$root/$1" -o "$out/obj/$2"
}

compile ui/win32/win_theme.cpp win_theme.o
compile app/winsock_windows.cpp winsock_windows.o
compile settings/file_write_windows.cpp file_write_windows.o

# The Qt side cannot be linked without a Windows Qt, but it can be parsed by the
# Windows compiler against the host's Qt headers. Those are configured for
# Linux, hence -Wno-attributes for their dllimport/export mismatch.
if qt_includes="$(pkg-config --cflags-only-I Qt6Widgets 2>/dev/null)" && [[ -n "$qt_includes" ]]; then
    # The host's logging library is built for Linux threads; the calls' shape is
    # all the parse needs of it.
    mkdir -p "$out/stub-include/spdlog"
    printf '%s\n' '#pragma once' 'namespace spdlog {' \
        'template <typename... Args> void error(const char*, const Args&...) {}' \
        'template <typename... Args> void warn(const char*, const Args&...) {}' '}' \
        >"$out/stub-include/spdlog/spdlog.h"
    echo "syntax-check ui/theme_windows.cpp against the host's Qt headers"
    # shellcheck disable=SC2086 # the include flags are meant to split
    "$cxx" "${flags[@]}" -Wno-attributes $qt_includes -I"$out/stub-include" -fsyntax-only \
        "$root/ui/theme_windows.cpp"
    echo "syntax-check app/fatal_error.cpp against the host's Qt headers"
    # shellcheck disable=SC2086
    "$cxx" "${flags[@]}" -Wno-attributes $qt_includes -I"$out/stub-include" -fsyntax-only \
        "$root/app/fatal_error.cpp"
    # The JSON library is header-only and platform-neutral: the host's copy serves.
    if [[ -d /usr/include/nlohmann ]]; then
        ln -sfn /usr/include/nlohmann "$out/stub-include/nlohmann"
        echo "syntax-check settings/settings_document.cpp (its Windows file writer)"
        # shellcheck disable=SC2086
        "$cxx" "${flags[@]}" -Wno-attributes $qt_includes -I"$out/stub-include" -I"$root/settings" \
            -I"$root/i18n" -fsyntax-only "$root/settings/settings_document.cpp"
    fi
else
    echo "check-windows-build: Qt6Widgets headers not found, ui/theme_windows.cpp not checked"
fi

passed=0
failed=0

expect() { # description command...
    local description="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS $description"
    else
        failed=$((failed + 1))
        echo "FAIL $description"
    fi
}

# The executable's resources: compiled with a version from the macros, then
# decompiled to see what the executable would carry.
if command -v "$windres" >/dev/null 2>&1; then
    echo "compile packaging/windows/silent-install-helper.rc"
    "$windres" -I"$packaging" -DSIH_VERSION_MAJOR=4 -DSIH_VERSION_MINOR=5 -DSIH_VERSION_PATCH=6 \
        -i "$packaging/silent-install-helper.rc" -O res -o "$out/obj/silent-install-helper.res"
    "$windres" -i "$out/obj/silent-install-helper.res" -o "$out/obj/resources-dump.rc"
    dump="$out/obj/resources-dump.rc"
    expect "icon group IDI_ICON1 with seven images" \
        bash -c "grep -q '^\"IDI_ICON1\" 14 ' '$dump' && [[ \$(grep -c ' 3 /\\* RT_ICON \\*/' '$dump') -eq 7 ]]"
    expect "version block takes 4.5.6 from the macros" \
        bash -c "grep -q 'FILEVERSION 4, 5, 6, 0' '$dump' && grep -q 'VALUE \"FileVersion\", \"4.5.6.0\"' '$dump' \
                 && grep -q 'VALUE \"ProductVersion\", \"4.5.6.0\"' '$dump'"
    expect "version block names the product" \
        grep -q 'VALUE "FileDescription", "Orvane Print Agent - Silent Install Helper"' "$dump"
    expect "manifest embedded as RT_MANIFEST 1" grep -q '^1 24 /\* RT_MANIFEST \*/' "$dump"
else
    echo "check-windows-build: $windres not found, resource script not compiled"
fi

if command -v python3 >/dev/null 2>&1; then
    expect "manifest: asInvoker, no uiAccess, PerMonitorV2, no activeCodePage" python3 - "$packaging/silent-install-helper.manifest" <<'PY'
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
def find(local):
    return [e for e in root.iter() if e.tag.rsplit('}', 1)[-1] == local]
level = find('requestedExecutionLevel')
ok = len(level) == 1 and level[0].get('level') == 'asInvoker' and level[0].get('uiAccess') == 'false'
ok = ok and [e.text for e in find('dpiAwareness')] == ['PerMonitorV2']
ok = ok and not find('activeCodePage')
ok = ok and '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' in [e.get('Id') for e in find('supportedOS')]
sys.exit(0 if ok else 1)
PY
fi

echo "windows-check: $passed passed, $failed failed"
[[ "$failed" -eq 0 ]]
