#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; the thread tests run
# once more under ThreadSanitizer in a build of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

TSAN_DIR=${ORBIX_TSAN_BUILD_DIR:-build-tsan}
if [ ! -f "$TSAN_DIR/build.ninja" ]; then
  cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORBIX_TSAN=ON -DORBIX_WITH_GUI=OFF -DORBIX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$TSAN_DIR" -j2 --target tst_datathread tst_searchthread
echo "== Thread tests under ThreadSanitizer"
# Qt is not built with the sanitizer: accesses made inside Qt's own libraries (its
# locks, the test library's watchdog) are left out; every access of ours is checked.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir "$TSAN_DIR" -R '^tst_(data|search)thread$' --output-on-failure

echo "== All tests"
cd "${ORBIX_BUILD_DIR:-build}"
ctest --output-on-failure -j2
