# Cross-compiling for 64-bit Windows with Debian's MinGW-w64.
#
# The -posix compilers are named on purpose: the plain x86_64-w64-mingw32-g++ is
# the win32-threads variant, whose C++ library has no std::thread or std::mutex,
# which Qt, POCO and spdlog need.
#
#     cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=<windows libraries> ...
#
# scripts/setup-windows.sh builds the libraries; scripts/test-windows.sh uses both.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_sih_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_sih_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_sih_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_sih_mingw}-windres)
set(CMAKE_MC_COMPILER ${_sih_mingw}-windmc)
set(CMAKE_AR ${_sih_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_sih_mingw}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the target root and the prefix path only;
# programs (moc, rcc, uic) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_sih_mingw} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools that CMake starts run under wine when it is there.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(SIH_WINE_PROGRAM NAMES wine wine64)
    if(SIH_WINE_PROGRAM)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${SIH_WINE_PROGRAM})
    endif()
endif()
