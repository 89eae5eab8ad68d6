#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures once and builds incrementally. Safe to run again.
# ORBIX_BUILD_DIR names the build tree (default build); arguments go to the first
# configure. ORBIX_SETUP_ONLY=1 installs the packages and builds nothing;
# ORBIX_SETUP_PACKAGES=run installs only what the programs need, not the test tools;
# =windows-toolchain, =windows-build, =windows only what the Windows libraries, the
# Windows programs, or those and their tests need; =arm64 what the gateway's arm64 build,
# its package and its tests under qemu need (scripts/arm64.sh). The default, all, is
# the programs', the checks' and the arm64 part's.
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
TEST_PACKAGES=(ccache  # the checks' compiler cache (scripts/test.sh)
               libmodbus-dev mbpoll
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
# ... and the gateway for arm64: Debian's cross compilers and arm64 libraries beside the
# host's (multiarch), the emulator its tests run under, the host's peers of those tests.
ARM64_PACKAGES=(crossbuild-essential-arm64 qemu-user-static cmake ninja-build pkg-config ccache
                qtbase5-dev-tools  # the host's moc and rcc, which Qt's arm64 CMake files name
                qtbase5-dev:arm64 libqt5serialport5-dev:arm64 libqt5sql5-sqlite:arm64 libsqlite3-dev:arm64
                libmosquitto-dev:arm64 libcivetweb-dev:arm64 zlib1g-dev:arm64
                # prometheus-cpp's libraries and what its CMake files look for; its development
                # files are unpacked below
                libprometheus-cpp-core1.0:arm64 libprometheus-cpp-pull1.0:arm64 libprometheus-cpp-push1.0:arm64
                libcurl4-openssl-dev:arm64
                civetweb  # civetweb's arm64 CMake files check that its program exists: the host's does
                python3 python3-seccomp  # scripts/qemu-run.py, with which Qt starts programs under qemu
                help2man dpkg-dev file lintian  # the package: its manual page, dependencies, the checks
                mosquitto mosquitto-clients prometheus openssl)  # the tests' peers, on the host
case "${ORBIX_SETUP_PACKAGES:-all}" in
  run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
  windows-toolchain) PACKAGES=("${WINDOWS_TOOLCHAIN_PACKAGES[@]}") ;;
  windows-build) PACKAGES=("${WINDOWS_BUILD_PACKAGES[@]}") ;;
  windows) PACKAGES=("${WINDOWS_BUILD_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}") ;;
  arm64) PACKAGES=("${ARM64_PACKAGES[@]}") ;;
  *) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${ARM64_PACKAGES[@]}") ;;
esac
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# A package named without an architecture is the host's (or one for all); NAME:ARCH is
# that architecture's, whose packages apt then has to know.
native=$(dpkg --print-architecture)
installed() { # package[:arch]
  local name=${1%%:*} arch=$native
  [[ $1 == *:* ]] && arch=${1#*:}
  dpkg-query -W -f='${Status} ${Architecture}\n' "$name" 2>/dev/null \
    | grep -Eq "^install ok installed ($arch|all)\$"
}
missing=()
for p in "${PACKAGES[@]}"; do
  if [[ $p == *:* ]] && ! dpkg --print-foreign-architectures | grep -qx "${p#*:}"; then
    echo "Adding the architecture ${p#*:}"
    $sudo dpkg --add-architecture "${p#*:}"
  fi
  installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# prometheus-cpp-dev for arm64 depends on the arm64 civetweb program, which cannot be
# installed beside the host's that the host's prometheus-cpp-dev needs: its files (CMake
# and pkg-config files, headers) are unpacked into a cache instead, of the version of the
# arm64 libraries installed above, and its libraries there are those libraries.
arm64_prometheus_cpp() {
  local prefix=${ORBIX_ARM64_CACHE:-$HOME/.cache/orbix}/arm64-prometheus-cpp version tmp lib
  version=$(dpkg-query -W -f='${Version}' libprometheus-cpp-pull1.0:arm64)
  [ "$(cat "$prefix/.complete" 2>/dev/null)" = "prometheus-cpp-dev $version" ] && return
  echo "Unpacking prometheus-cpp-dev:arm64 $version into $prefix"
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download -qq -o APT::Sandbox::User=root "prometheus-cpp-dev:arm64=$version")
  rm -rf "$prefix"
  mkdir -p "$prefix" # a fresh machine has no ~/.cache yet
  dpkg-deb --extract "$tmp"/prometheus-cpp-dev_*_arm64.deb "$prefix"
  rm -rf "$tmp"
  for lib in /usr/lib/aarch64-linux-gnu/libprometheus-cpp-*.so.*; do
    ln -sf "$lib" "$prefix/usr/lib/aarch64-linux-gnu/"
  done
  echo "prometheus-cpp-dev $version" >"$prefix/.complete"
}
case "${ORBIX_SETUP_PACKAGES:-all}" in
  run | windows*) ;;
  *) arm64_prometheus_cpp ;;
esac

[ "${ORBIX_SETUP_ONLY:-0}" = 1 ] && exit 0

BUILD_DIR=${ORBIX_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$BUILD_DIR" -j2
