#!/usr/bin/env bash
# The plant gateway for a 64-bit ARM box running Debian 12 (arm64): orbix-gateway
# cross-built here with Debian's cross compilers against Debian's arm64 libraries
# (multiarch, cmake/aarch64-linux-gnu.cmake), without the window, and its package
#   build-arm64/orbix-gateway_VERSION_arm64.deb
# then checked: its control data and files, that its dependencies are arm64 packages
# (dpkg-shlibdeps resolved the arm64 libraries), lintian, that the program is an aarch64
# one, and the program's --version under qemu-user, from the tree and as packaged.
# Installs what it needs first (ORBIX_SETUP_PACKAGES=arm64 scripts/setup.sh). Safe to
# run again: then only what changed is built. ORBIX_ARM64_BUILD_DIR names the tree;
# the compiler cache is ~/.cache/orbix/ccache-arm64 ($ORBIX_ARM64_CACHE for ~/.cache/orbix).
# The tests under emulation are scripts/test.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."

ORBIX_SETUP_PACKAGES=arm64 ORBIX_SETUP_ONLY=1 bash scripts/setup.sh
CACHE=${ORBIX_ARM64_CACHE:-$HOME/.cache/orbix}
BUILD_DIR=${ORBIX_ARM64_BUILD_DIR:-build-arm64}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # -O2, as Debian builds its packages: GCC 12 at -O3 warns falsely in Qt's own headers.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
    -DORBIX_ARM64_PREFIX="$CACHE/arm64-prometheus-cpp" -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DORBIX_WITH_GUI=OFF \
    -DORBIX_BUILD_TESTS=OFF -DORBIX_BUILD_BENCH=OFF -DORBIX_PACKAGE=ON -DORBIX_UNITY=ON -DORBIX_PCH=OFF \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi
export CCACHE_DIR=$CACHE/ccache-arm64 CCACHE_BASEDIR=$PWD
cmake --build "$BUILD_DIR" -j2
rm -f "$BUILD_DIR"/orbix-gateway_*.deb # one to check: this
cmake --build "$BUILD_DIR" --target package >/dev/null

fail() { echo "arm64: $*" >&2; exit 1; }
shopt -s nullglob
debs=("$BUILD_DIR"/orbix-gateway_*_arm64.deb)
((${#debs[@]} == 1)) || fail "expected one orbix-gateway_*_arm64.deb in $BUILD_DIR, found ${#debs[@]}"
deb=${debs[0]}
dpkg-deb --info "$deb"
version=$(dpkg-deb --field "$deb" Version)
[ "$(dpkg-deb --field "$deb" Architecture)" = arm64 ] || fail "$deb is for $(dpkg-deb --field "$deb" Architecture)"
[ "$deb" = "$BUILD_DIR/orbix-gateway_${version}_arm64.deb" ] || fail "$deb is not named orbix-gateway_${version}_arm64.deb"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb --contents "$deb" | tee "$tmp/contents"
for f in /usr/bin/orbix-gateway /usr/share/man/man1/orbix-gateway.1.gz /etc/orbix/gateway.json \
         /usr/lib/systemd/system/orbix-gateway.service /usr/share/doc/orbix-gateway/copyright; do
  grep -q " \.$f\$" "$tmp/contents" || fail "missing from $deb: $f"
done

# Each dependency is an arm64 package of this machine's (dpkg-shlibdeps found the arm64
# libraries, not the host's), none of a GUI.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libqt5core5a libmosquitto1 libprometheus-cpp-pull1.0; do
  [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
while read -r name; do
  dpkg-query -W -f='${Status}\n' "$name:arm64" 2>/dev/null | grep -qx 'install ok installed' \
    || fail "the dependency $name is no arm64 package installed here"
done < <(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$')
if grep -Eq '(^|[ ,])(libqt5(widgets|gui|opengl|printsupport|svg)|libqwt|libgl1|libx11)' <<<"$depends"; then
  fail "orbix-gateway depends on a GUI package: $depends"
fi
status=0
tags=$(lintian --fail-on error "$deb" 2>&1) || status=$?
tags=$(grep -v '^running with root privileges' <<<"$tags" || true)
printf 'lintian:\n%s\n' "${tags:-(nothing)}"
((status == 0)) || fail "lintian found errors"

dpkg-deb --extract "$deb" "$tmp/root"
program=$tmp/root/usr/bin/orbix-gateway
file --brief "$program" | tee "$tmp/file"
grep -q 'ELF 64-bit LSB .*ARM aarch64' "$tmp/file" || fail "/usr/bin/orbix-gateway is no aarch64 program"
# The program of the tree, then the one packaged (stripped) with the system's arm64 libraries.
for p in "$BUILD_DIR/gateway/orbix-gateway" "$program"; do
  line=$(qemu-aarch64-static "$p" --version)
  [[ $line == "orbix-gateway $version"* ]] || fail "$p --version printed '$line', not version $version"
  echo "qemu-aarch64-static $p --version: $line"
done
echo "package checked: $deb"
