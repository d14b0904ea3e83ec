#!/usr/bin/env bash
# Prepares the Windows cross build: Debian's MinGW-w64 (posix threads), wine and
# the build tools, and the libraries the program links (Qt, OpenSSL, POCO, spdlog,
# fmt, nlohmann-json, zstd for Qt's resources) built for Windows x86_64 from
# Debian's own source packages into a cache outside the checkout. A complete
# cache is reused as it is.
#
# Usage: scripts/setup-windows.sh        prints the cache folder on its last line
#        SIH_WINDOWS_PREFIX=<folder>      another cache folder
#        SIH_KEEP_WINDOWS_WORK=1          keep the sources and build trees
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
here="$root/scripts"
# Debian 12's versions; the security archive keeps only the newest, so the
# point-release versions are pinned.
sources=(qt6-base=6.4.2+dfsg-10 libzstd=1.5.4+dfsg2-5 openssl=3.0.17-1~deb12u2
    poco=1.11.0-3+deb12u1 spdlog=1:1.10.0+ds-0.4 fmtlib=9.1.0+ds1-2 nlohmann-json3=3.11.2-2)
# shellcheck source=scripts/windows-env.sh
source "$here/windows-env.sh"
prefix="$SIH_WINDOWS_PREFIX"
work="$(dirname "$prefix")/work-$(basename "$prefix")"
toolchain="$root/cmake/mingw-w64.cmake"
started=$SECONDS

bash "$here/setup.sh" "$here/packages-windows.txt"

if [[ -f "$prefix/.complete" ]]; then
    echo "setup-windows: cached toolchain reused ($((SECONDS - started)) s)"
    echo "$prefix"
    exit 0
fi

sudo_cmd=()
[[ "$(id -u)" -eq 0 ]] || sudo_cmd=(sudo)

# Source packages need a deb-src entry: a copy of the machine's own Debian entry.
if ! grep -rqsE '^(Types: *deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "setup-windows: adding the Debian source archive"
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types: *deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/sih-debian-src.sources >/dev/null
    else
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/sih-debian-src.list >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -qq
fi

mkdir -p "$work/src" "$work/build" "$prefix"
src="$work/src"
if [[ ! -f "$src/.fetched" ]]; then
    (cd "$src" && apt-get source --download-only -qq "${sources[@]}")
    for dsc in "$src"/*.dsc; do
        dpkg-source --no-check -x "$dsc" "$src/$(basename "$dsc" .dsc)" >/dev/null
    done
    touch "$src/.fetched"
fi
source_dir() { # package: its unpacked folder
    local dirs=("$src/$1"_*/)
    echo "${dirs[0]%/}"
}

apply_patch() { # source-folder patch: once, also when the build is resumed
    patch -d "$1" -p1 -R --dry-run -s <"$here/windows-patches/$2" >/dev/null 2>&1 ||
        patch -d "$1" -p1 -s <"$here/windows-patches/$2"
}

log="$work/build.log"
third_party_cmake() { # name source-folder cmake-arguments...
    local name="$1" from="$2"
    shift 2
    [[ -f "$work/build/$name.done" ]] && return 0
    echo "setup-windows: building $name"
    nice -n 10 cmake -S "$from" -B "$work/build/$name" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >>"$log.$name" 2>&1
    nice -n 10 cmake --build "$work/build/$name" -j2 >>"$log.$name" 2>&1
    cmake --install "$work/build/$name" >>"$log.$name" 2>&1
    touch "$work/build/$name.done"
}

build_zstd() {
    # Shared: Qt 6.4 links zstd::libzstd_shared whenever zstd's package is found.
    third_party_cmake zstd "$(source_dir libzstd)/build/cmake" \
        -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_SHARED=ON -DZSTD_BUILD_STATIC=OFF \
        -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=OFF
}

build_qt() {
    local qt
    qt="$(source_dir qt6-base)"
    # Without Direct2D the windows platform plugin still asked for a font database
    # that QtGui builds only with it.
    apply_patch "$qt" qtbase-no-direct2d.patch
    # Core, Gui, Widgets, Test and the windows platform plugin; the Debian source
    # has no wintab.h, hence no tablet support.
    third_party_cmake qtbase "$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_pkg_config=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
        -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF \
        -DFEATURE_zstd=ON -DFEATURE_icu=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
        -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_system_md4c=OFF
}

build_openssl() {
    [[ -f "$work/build/openssl.done" ]] && return 0
    echo "setup-windows: building openssl"
    local from
    from="$(source_dir openssl)"
    mkdir -p "$work/build/openssl"
    (
        cd "$work/build/openssl"
        CC=gcc-posix nice -n 10 perl "$from/Configure" mingw64 --cross-compile-prefix=x86_64-w64-mingw32- \
            --prefix="$prefix" --libdir=lib --openssldir="$prefix/ssl" shared no-tests
        nice -n 10 make -j2 build_libs
        make install_dev
    ) >>"$log.openssl" 2>&1
    touch "$work/build/openssl.done"
}

build_poco() {
    local poco
    poco="$(source_dir poco)"
    # Windows headers are lower-case in MinGW; POCO's headers name them in mixed
    # case, so the prefix carries forwarders (consumers include POCO headers too).
    mkdir -p "$prefix/include"
    local header
    for header in Winsock2.h Iphlpapi.h WS2tcpip.h; do
        printf '#pragma once\n#include <%s>\n' "${header,,}" >"$prefix/include/$header"
    done
    apply_patch "$poco" poco-mingw-wincrypt.patch
    third_party_cmake poco "$poco" -DCMAKE_CXX_FLAGS="-I$prefix/include" \
        -DBUILD_SHARED_LIBS=ON -DENABLE_TESTS=OFF -DENABLE_NET=ON -DENABLE_FOUNDATION=ON \
        -DENABLE_NETSSL=OFF -DENABLE_CRYPTO=OFF -DENABLE_JWT=OFF -DENABLE_DATA=OFF -DENABLE_MONGODB=OFF \
        -DENABLE_REDIS=OFF -DENABLE_PDF=OFF -DENABLE_UTIL=OFF -DENABLE_XML=OFF -DENABLE_JSON=OFF \
        -DENABLE_ZIP=OFF -DENABLE_ENCODINGS=OFF -DENABLE_PAGECOMPILER=OFF -DENABLE_PAGECOMPILER_FILE2PAGE=OFF \
        -DENABLE_APACHECONNECTOR=OFF -DENABLE_ACTIVERECORD=OFF -DENABLE_ACTIVERECORD_COMPILER=OFF \
        -DENABLE_PROMETHEUS=OFF -DENABLE_DATA_SQLITE=OFF -DENABLE_DATA_ODBC=OFF -DENABLE_DATA_MYSQL=OFF \
        -DENABLE_DATA_POSTGRESQL=OFF
}

build_small_libraries() {
    third_party_cmake fmt "$(source_dir fmtlib)" -DFMT_DOC=OFF -DFMT_TEST=OFF -DBUILD_SHARED_LIBS=OFF
    third_party_cmake spdlog "$(source_dir spdlog)" -DSPDLOG_FMT_EXTERNAL=ON -DSPDLOG_BUILD_SHARED=OFF \
        -DSPDLOG_BUILD_EXAMPLE=OFF -DSPDLOG_BUILD_TESTS=OFF -DSPDLOG_BUILD_BENCH=OFF
    third_party_cmake nlohmann-json "$(source_dir nlohmann-json3)" -DJSON_BuildTests=OFF -DJSON_Install=ON
}

# Qt is the long one; the other libraries build beside it.
build_zstd
build_qt &
qt_job=$!
status=0
{ build_openssl && build_poco && build_small_libraries; } || status=$?
wait "$qt_job" || status=$?
if [[ "$status" -ne 0 ]]; then
    echo "setup-windows: a build failed; logs: $log.*" >&2
    tail -n 5 "$log".* >&2 || true
    exit 1
fi

touch "$prefix/.complete"
[[ "${SIH_KEEP_WINDOWS_WORK:-0}" == 1 ]] || rm -rf "$work"
echo "setup-windows: toolchain built in $((SECONDS - started)) s"
echo "$prefix"
