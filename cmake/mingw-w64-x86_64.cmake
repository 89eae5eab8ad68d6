# 64-bit Windows programs from Debian's MinGW-w64 with posix threads (std::thread and
# std::mutex need them), against the libraries scripts/windows-toolchain.sh built:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DORBIX_WINDOWS_PREFIX=$HOME/.cache/orbix/mingw-qt-5.15.8
# scripts/windows.sh does that and makes the installer. The tests run under Wine
# (scripts/wine-run.sh, with a prefix of the build tree's own): ctest --test-dir build-windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT ORBIX_WINDOWS_PREFIX)
  set(ORBIX_WINDOWS_PREFIX $ENV{HOME}/.cache/orbix/mingw-qt-5.15.8)
endif()
set(ORBIX_WINDOWS_PREFIX ${ORBIX_WINDOWS_PREFIX} CACHE PATH "The Windows Qt, Qwt and SQLite (scripts/windows-toolchain.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORBIX_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${ORBIX_WINDOWS_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_PREFIX_PATH ${ORBIX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER) # the host's Python, lrelease, bash
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The translations are made by the host's tools, as in a Linux build.
if(NOT Qt5LinguistTools_DIR AND EXISTS /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools)
  set(Qt5LinguistTools_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools CACHE PATH "")
endif()

# Tests and the programs the build runs go through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
