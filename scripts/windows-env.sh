# Sourced by the Windows scripts: where the cached Windows libraries live. The
# folder's name carries the versions, so a change of recipe builds a new cache.
sih_windows_versions="qt6.4.2-openssl3.0.17-poco1.11.0-spdlog1.10.0-fmt9.1.0-zstd1.5.4-r1"
SIH_WINDOWS_PREFIX="${SIH_WINDOWS_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/silent-install-helper/windows-$sih_windows_versions}"
