#!/usr/bin/env bash
# Installs what is missing, then runs every check CI runs, each in a build of its own:
#  1. every test (window tests offscreen and on a virtual display) in one build with
#     warnings as errors and AddressSanitizer + UndefinedBehaviorSanitizer;
#  2. the thread tests once more under ThreadSanitizer (this tree, the fuzz tree and the
#     package build while the tests of 1. run, at the lowest priority);
#  3. each libFuzzer target for a few seconds (clang), from its seed corpus;
#  4. the Debian packages (orbix-service, orbix-gateway), built from the programs alone
#     (Release) and checked (scripts/check-package.sh: their files, lintian, the desktop
#     and AppStream files, no GUI library for the gateway);
#  5. when the Windows libraries are built (scripts/windows-toolchain.sh), the Windows
#     programs and tests (MinGW-w64, warnings as errors), the tests under Wine, and the
#     installer installed, started and removed again (scripts/windows-package-check.sh);
#  6. the gateway for arm64 (Debian's cross compilers and arm64 libraries, warnings as
#     errors) and its tests with those of the layers under it, under qemu-user.
# Build trees: build-asan, build-tsan, build-fuzz, build-package, build-windows-test,
# build-arm64-test (ORBIX_*_BUILD_DIR to change).
# ORBIX_FUZZ_SECONDS sets the time of each fuzz run (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
ORBIX_SETUP_ONLY=1 bash scripts/setup.sh

# The Windows part needs the libraries' cache; its compiler cache lives beside it.
WINDOWS_CACHE=${ORBIX_WINDOWS_CACHE:-$HOME/.cache/orbix}
WINDOWS_PREFIX=$WINDOWS_CACHE/mingw-qt-5.15.8
windows=0
[ -f "$WINDOWS_PREFIX/.complete" ] && windows=1
if ((windows)); then
  ORBIX_SETUP_PACKAGES=windows ORBIX_SETUP_ONLY=1 bash scripts/setup.sh
fi

phase() { printf '== [%d:%02d] %s\n' $((SECONDS / 60)) $((SECONDS % 60)) "$*"; }
# The compiler cache outside the checkout serves every clone of it: a run rebuilds only
# what changed (the build trees' paths relative to the clone, without precompiled
# headers, which it cannot answer). The Windows and arm64 trees keep caches of their own.
# CI builds a fresh clone each time, in a folder of its own: its trees see the sources
# and themselves through one path that stays, a link to the clone, since a unity build's
# sources name the files they include by their whole path and Qt's test library puts the
# tree's path into every test's compile.
SOURCE=$PWD
if [ "${CI:-}" = true ]; then
  SOURCE=${ORBIX_CI_SOURCE:-$HOME/.cache/orbix/ci-source}
  mkdir -p "$(dirname "$SOURCE")"
  ln -sfn "$PWD" "$SOURCE"
fi
export CCACHE_DIR=${ORBIX_CCACHE_DIR:-$HOME/.cache/orbix/ccache-linux} CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
configure() { # build dir, cmake arguments...
  local dir=$1
  shift
  [[ $dir == /* ]] || dir=$SOURCE/$dir
  [ -f "$dir/build.ninja" ] || cmake -S "$SOURCE" -B "$dir" -G Ninja -DORBIX_PCH=OFF \
      -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@" >/dev/null
}

# A finding ends the program with a report (the builds do not recover from one);
# leaks inside Qt's own libraries are left out.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# Up to GCC 13 the runtime's __tls_get_addr hook can mistake a thread's dynamic TLS
# block for an old glibc header; the leak check at exit then dies in its tracer
# ("Tracer caught signal 11") in a test that passed. Without the hook TLS is still scanned.
export ASAN_OPTIONS=intercept_tls_get_addr=0
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer

ASAN_DIR=${ORBIX_ASAN_BUILD_DIR:-build-asan}
# -O1 without debug information: much faster to build than -O2 -g; still optimised, so
# the warnings that need optimisation are still seen, and a finding still names its
# functions (rebuild with -g1 for its lines). The tests' own code at -O0: their macros
# expand to much code that runs once, and compile in half the time. Every tree but
# the fuzz targets' compiles a few sources to a unit (ORBIX_UNITY); gold links faster.
configure "$ASAN_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g0 -DNDEBUG" \
    -DORBIX_DEVELOPER=ON -DORBIX_SANITIZE=address,undefined,float-cast-overflow -DORBIX_BUILD_BENCH=OFF \
    -DORBIX_UNITY=ON -DORBIX_TEST_COMPILE_OPTIONS=-O0 -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold
phase "Build: warnings as errors, AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --build "$ASAN_DIR" -j2
# The tests mostly wait on lines and processes: the other three trees build beside them,
# at the lowest priority so that the tests keep their timing.
TSAN_DIR=${ORBIX_TSAN_BUILD_DIR:-build-tsan}
FUZZ_DIR=${ORBIX_FUZZ_BUILD_DIR:-build-fuzz}
PACKAGE_DIR=${ORBIX_PACKAGE_BUILD_DIR:-build-package}
WINDOWS_DIR=${ORBIX_WINDOWS_BUILD_DIR:-build-windows-test}
ARM64_DIR=${ORBIX_ARM64_BUILD_DIR:-build-arm64-test}
ARM64_CACHE=${ORBIX_ARM64_CACHE:-$HOME/.cache/orbix}
other_builds() {
  renice -n 19 $BASHPID >/dev/null
  phase "Build: ThreadSanitizer, the thread tests only"
  configure "$TSAN_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
      -DORBIX_TSAN=ON -DORBIX_WITH_GUI=OFF -DORBIX_BUILD_BENCH=OFF -DORBIX_UNITY=ON
  cmake --build "$TSAN_DIR" -j2 --target tst_datathread tst_searchthread tst_linearbiter tst_readingquality
  phase "Build: fuzz targets (clang, libFuzzer, warnings as errors)"
  configure "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DORBIX_FUZZ=ON -DORBIX_DEVELOPER=ON
  cmake "$FUZZ_DIR" -DORBIX_FUZZ_SECONDS="${ORBIX_FUZZ_SECONDS:-3}" >/dev/null
  cmake --build "$FUZZ_DIR" -j2
  # The benchmarks are built here, with the package's own optimisation, so that they
  # keep building; they never run in CI (they print figures, they are no tests).
  phase "Build: the Debian packages (Release, the programs) and the benchmarks"
  configure "$PACKAGE_DIR" -DCMAKE_BUILD_TYPE=Release -DORBIX_BUILD_TESTS=OFF -DORBIX_BUILD_BENCH=ON -DORBIX_UNITY=ON
  cmake --build "$PACKAGE_DIR" -j2
  rm -f "$PACKAGE_DIR"/orbix-service_*.deb "$PACKAGE_DIR"/orbix-gateway_*.deb # one of each to check: these
  cmake --build "$PACKAGE_DIR" --target package
  if ((windows)); then
    phase "Build: Windows (MinGW-w64, warnings as errors), the programs and their tests"
    configure "$WINDOWS_DIR" -DCMAKE_TOOLCHAIN_FILE="$SOURCE/cmake/mingw-w64-x86_64.cmake" \
        -DORBIX_WINDOWS_PREFIX="$WINDOWS_PREFIX" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g0 -DNDEBUG" -DORBIX_DEVELOPER=ON -DORBIX_BUILD_BENCH=OFF \
        -DORBIX_UNITY=ON -DORBIX_PCH=OFF -DORBIX_HOST_BUILD_DIR="$SOURCE/$ASAN_DIR" \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    # Without precompiled headers every compile is one the compiler cache can answer.
    CCACHE_DIR=$WINDOWS_CACHE/ccache-windows CCACHE_BASEDIR=$PWD cmake --build "$WINDOWS_DIR" -j2
  fi
  phase "Build: the gateway for arm64 (cross, warnings as errors), its tests and the layers' under it"
  configure "$ARM64_DIR" -DCMAKE_TOOLCHAIN_FILE="$SOURCE/cmake/aarch64-linux-gnu.cmake" \
      -DORBIX_ARM64_PREFIX="$ARM64_CACHE/arm64-prometheus-cpp" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g0 -DNDEBUG" -DORBIX_DEVELOPER=ON -DORBIX_WITH_GUI=OFF \
      -DORBIX_BUILD_BENCH=OFF -DORBIX_PACKAGE=OFF -DORBIX_UNITY=ON -DORBIX_PCH=OFF \
      -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_DIR=$ARM64_CACHE/ccache-arm64 CCACHE_BASEDIR=$PWD cmake --build "$ARM64_DIR" -j2
}
builds_log=$(mktemp)
trap 'rm -f "$builds_log"' EXIT
(set -e; other_builds) >"$builds_log" 2>&1 &
builds=$!

phase "All tests under AddressSanitizer + UndefinedBehaviorSanitizer (the other builds beside them)"
tests_ok=1
ctest --test-dir "$ASAN_DIR" --output-on-failure -j2 || tests_ok=0
builds_ok=1
wait "$builds" || builds_ok=0
grep -E '^== |FAILED' "$builds_log" || true
if ((!builds_ok)); then
  tail -n 60 "$builds_log"
  echo "test.sh: a build beside the tests failed" >&2
  exit 1
fi
((tests_ok)) || exit 1

# The Windows tests mostly wait on Wine and the simulator: they run beside the three
# checks below, their output shown after them.
# The installer is checked in a Wine prefix of its own, beside the tests.
windows_installer() {
  ORBIX_NSIS_FAST=1 bash scripts/windows-package.sh "$WINDOWS_DIR" >/dev/null
  ORBIX_WINEPREFIX=$WINDOWS_CACHE/wineprefix-installer bash scripts/windows-package-check.sh "$WINDOWS_DIR"
}
windows_checks() {
  phase "Windows tests under Wine: the line, the files, the registers; orbix.exe and the window against the simulator; the installer made, installed silently, started, removed"
  local installer_log installer_job installer_ok=1
  installer_log=$(mktemp)
  (set -e; windows_installer) >"$installer_log" 2>&1 &
  installer_job=$!
  local tests_ok=1
  ctest --test-dir "$WINDOWS_DIR" --output-on-failure -j2 || tests_ok=0
  wait "$installer_job" || installer_ok=0
  cat "$installer_log"
  rm -f "$installer_log"
  ((tests_ok && installer_ok))
}
if ((windows)); then
  windows_log=$(mktemp)
  (set -e; windows_checks) >"$windows_log" 2>&1 &
  windows_job=$!
fi
# The arm64 tests mostly wait on lines, brokers and processes: they too run beside the
# checks below. Under qemu-user a program that fails to start a process may signal pid -1
# (Qt's QProcess does): in a PID namespace of their own, that reaches none but theirs.
arm64_checks() {
  phase "arm64 tests under qemu-user: link, device, storage, simulator, exchange, history, the gateway's (its MQTT client, brokers, metrics, the whole program)"
  local namespace=()
  if unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    namespace=(unshare --pid --fork --kill-child --mount-proc)
  fi
  "${namespace[@]}" ctest --test-dir "$ARM64_DIR" --output-on-failure -j2
}
arm64_log=$(mktemp)
trap 'rm -f "$builds_log" "${windows_log:-}" "$arm64_log"; [ -n "${windows_job:-}" ] && kill "$windows_job" 2>/dev/null; [ -n "${arm64_job:-}" ] && kill "$arm64_job" 2>/dev/null' EXIT
(set -e; arm64_checks) >"$arm64_log" 2>&1 &
arm64_job=$!

phase "Thread tests under ThreadSanitizer"
# Qt is not built with the sanitizer: accesses made inside Qt's own libraries (its
# locks, the test library's watchdog) are left out; every access of ours is checked.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir "$TSAN_DIR" -R '^tst_((data|search)thread|linearbiter|readingquality)$' --output-on-failure -j2

phase "Fuzz targets, ${ORBIX_FUZZ_SECONDS:-3} s each (inputs that fail: $FUZZ_DIR/tests/fuzz/findings)"
ctest --test-dir "$FUZZ_DIR" -L fuzz --output-on-failure -j2

phase "Package checks: files, lintian, desktop entry, AppStream data, GUI libraries, the programs' --version"
bash scripts/check-package.sh "$PACKAGE_DIR"

if ((windows)); then
  windows_ok=1
  wait "$windows_job" || windows_ok=0
  windows_job=
  cat "$windows_log"
  ((windows_ok)) || { echo "test.sh: the Windows checks failed" >&2; exit 1; }
else
  echo "== Windows build and tests skipped: no toolchain cache in $WINDOWS_PREFIX (bash scripts/windows-toolchain.sh builds it)"
fi
arm64_ok=1
wait "$arm64_job" || arm64_ok=0
arm64_job=
cat "$arm64_log"
((arm64_ok)) || { echo "test.sh: the arm64 tests failed" >&2; exit 1; }
phase "Done"
