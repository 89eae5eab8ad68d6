#!/usr/bin/env bash
# The Windows programs (orbix-service.exe, orbix.exe, orbix-sim.exe), cross-built here
# with MinGW-w64, then the installer and the portable zip:
#   build-windows/orbix-service-VERSION-setup.exe, build-windows/orbix-service-VERSION-win64.zip
# Builds the Windows libraries first when their cache is missing
# (scripts/windows-toolchain.sh: about 40 minutes once on two cores). Safe to run again:
# then only what changed is built. ORBIX_WINDOWS_BUILD_DIR names the tree.
set -euo pipefail
cd "$(dirname "$0")/.."

ORBIX_SETUP_PACKAGES=windows-build ORBIX_SETUP_ONLY=1 bash scripts/setup.sh
prefix=$(bash scripts/windows-toolchain.sh | tail -n1)
BUILD_DIR=${ORBIX_WINDOWS_BUILD_DIR:-build-windows}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # -O2: GCC 12 at -O3 warns falsely in Qt's own headers.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DORBIX_WINDOWS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS=-s -DCMAKE_MODULE_LINKER_FLAGS=-s \
    -DORBIX_BUILD_TESTS=OFF -DORBIX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target orbix-service orbix orbix-sim
bash scripts/windows-package.sh "$BUILD_DIR"
