# 64-bit ARM Linux programs (the plant gateway's box) from Debian's cross compilers,
# against Debian's own arm64 libraries installed beside the host's (multiarch):
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DORBIX_WITH_GUI=OFF
# scripts/arm64.sh does that and makes the gateway's package; ORBIX_SETUP_PACKAGES=arm64
# bash scripts/setup.sh installs what it needs. The tests run under qemu-user
# (ctest --test-dir build-arm64), the programs they start too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Where the libraries, their CMake files and pkg-config files are: the multiarch
# directories /usr/lib/aarch64-linux-gnu, never the host's /usr/lib/x86_64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# prometheus-cpp's development files cannot be installed for arm64 beside the host's
# (they depend on the civetweb program of their own architecture): setup.sh unpacks
# them here, over the arm64 libraries installed as packages.
if(NOT ORBIX_ARM64_PREFIX)
  set(ORBIX_ARM64_PREFIX $ENV{HOME}/.cache/orbix/arm64-prometheus-cpp)
endif()
set(ORBIX_ARM64_PREFIX ${ORBIX_ARM64_PREFIX} CACHE PATH "prometheus-cpp's arm64 development files (scripts/setup.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORBIX_ARM64_PREFIX)

set(CMAKE_FIND_ROOT_PATH / ${ORBIX_ARM64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER) # the host's help2man, gzip, mosquitto, promtool
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# /usr/lib itself holds only the host's libraries that are not multiarch (Qwt's).
set(CMAKE_IGNORE_PATH /usr/lib /lib)
# pkg-config (libmosquitto) reads the arm64 files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# moc and rcc: Qt's arm64 CMake files name the host's (/usr/lib/qt5/bin, from
# qtbase5-dev-tools), as uic is named by Qt5Widgets'; nothing to set for them.

# Tests and the programs the build runs go through the emulator, called directly (the
# machine may have no binfmt handler for arm64), by scripts/qemu-run.py: with it Qt's
# QProcess starts programs under qemu 7.2 (python3-seccomp).
find_program(ORBIX_QEMU_AARCH64 qemu-aarch64-static PATHS /usr/bin NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORBIX_QEMU_AARCH64)
  message(FATAL_ERROR "qemu-aarch64-static not found (the package qemu-user-static; "
                      "ORBIX_SETUP_PACKAGES=arm64 bash scripts/setup.sh installs it)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/qemu-run.py ${ORBIX_QEMU_AARCH64})
