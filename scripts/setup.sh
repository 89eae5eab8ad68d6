#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures once and builds incrementally. Safe to run again.
# ORBIX_BUILD_DIR names the build tree (default build); arguments go to the first
# configure. ORBIX_SETUP_ONLY=1 installs the packages and builds nothing;
# ORBIX_SETUP_PACKAGES=run installs only what the programs need, not the test tools;
# =windows-toolchain, =windows-build, =windows only what the Windows libraries, the
# Windows programs, or those and their tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

# What the programs need to build and run (scripts/run.sh) ...
RUN_PACKAGES=(cmake ninja-build g++ pkg-config python3
              qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev
              qttools5-dev qttools5-dev-tools  # lupdate and lrelease: the English interface
              qttranslations5-l10n  # Qt's own dialog buttons in the Russian window
              fonts-dejavu-core  # a fresh machine may have no font for the window at all
              libqt5sql5-sqlite libsqlite3-dev  # the history database
              libmosquitto-dev prometheus-cpp-dev libcivetweb-dev  # the gateway: MQTT and /metrics
              zlib1g-dev)  # the outbox's record checksums
# ... and what only the checks need (scripts/test.sh).
TEST_PACKAGES=(libmodbus-dev mbpoll
               python3-pymodbus python3-serial python3-serial-asyncio ser2net
               xvfb xauth xdotool x11-utils libx11-dev
               poppler-utils  # the report tests read the PDF back (pdftotext, pdftoppm)
               clang-14 libclang-rt-14-dev llvm-14  # fuzz targets: libFuzzer and its sanitizers
               help2man librsvg2-bin dpkg-dev file  # the package: manual pages, icons, dependencies
               lintian desktop-file-utils appstream  # and its checks
               mosquitto mosquitto-clients prometheus  # the gateway's peers: a broker, promtool
               openssl  # and the certificates of a broker on mqtts://
               systemd)  # systemd-analyze rates the gateway's service unit
# ... what builds the Windows libraries (scripts/windows-toolchain.sh), the Windows
# programs and their packages (scripts/windows.sh), and what the Windows tests need
# beside them (scripts/test.sh asks for these only when the libraries' cache is there).
WINDOWS_TOOLCHAIN_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                            dpkg-dev make perl python3 tcl  # tcl: SQLite's build makes its one source file with it
                            qttools5-dev-tools)
WINDOWS_BUILD_PACKAGES=("${WINDOWS_TOOLCHAIN_PACKAGES[@]}" cmake ninja-build nsis zip librsvg2-bin icoutils
                        qttools5-dev      # the host's lrelease makes the translations
                        qttranslations5-l10n) # Qt's own texts in Russian, shipped beside the programs
WINDOWS_TEST_PACKAGES=(wine64 ccache)
case "${ORBIX_SETUP_PACKAGES:-all}" in
  run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
  windows-toolchain) PACKAGES=("${WINDOWS_TOOLCHAIN_PACKAGES[@]}") ;;
  windows-build) PACKAGES=("${WINDOWS_BUILD_PACKAGES[@]}") ;;
  windows) PACKAGES=("${WINDOWS_BUILD_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}") ;;
  *) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "${ORBIX_SETUP_ONLY:-0}" = 1 ] && exit 0

BUILD_DIR=${ORBIX_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$BUILD_DIR" -j2
