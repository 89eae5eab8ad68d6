#!/usr/bin/env bash
# Checks the Debian package that `cmake --build BUILD --target package` made: the files
# it must hold, lintian (an error fails), the desktop entry, the AppStream data, the
# gateway service's hardening, and that the three programs unpacked from it start with
# the system's Qt and Qwt.
#   scripts/check-package.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

fail() { echo "check-package: $*" >&2; exit 1; }
shopt -s nullglob
debs=("$build"/orbix-service_*.deb)
((${#debs[@]} == 1)) || fail "expected one orbix-service_*.deb in $build, found ${#debs[@]}"
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb --extract "$deb" "$tmp/root"
dpkg-deb --contents "$deb" | awk '{ print substr($6, 2) }' >"$tmp/files"

doc=/usr/share/doc/orbix-service
expected=(/usr/bin/orbix /usr/bin/orbix-sim /usr/bin/orbix-service
          /usr/share/applications/orbix-service.desktop
          /usr/share/metainfo/invalid.orbix_service.orbix_service.metainfo.xml
          /usr/share/icons/hicolor/scalable/apps/orbix-service.svg
          "$doc/copyright" "$doc/changelog.gz" "$doc/README.md"
          "$doc/docs/user-guide.md" "$doc/docs/settings-file.md" "$doc/docs/simulator.md")
for page in orbix orbix-sim orbix-service; do
  expected+=("/usr/share/man/man1/$page.1.gz")
done
if [ -f docs/user-guide.en.md ]; then expected+=("$doc/docs/user-guide.en.md"); fi
for shot in docs/screenshots/*.png docs/screenshots/en/*.png; do
  if [ -f "$shot" ]; then expected+=("$doc/$shot"); fi
done
for size in 16 22 24 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x$size/apps/orbix-service.png
  expected+=("$icon")
  file --brief "$tmp/root$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not $size x $size"
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$tmp/files" || fail "missing from the package: $f"
done

# dpkg-shlibdeps found the libraries the programs link.
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt5widgets5 libqt5serialport5 libqwt-qt5-6; do
  [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done

# Lintian also reads the manual pages through man --warnings.
status=0
tags=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
tags=$(grep -v '^running with root privileges' <<<"$tags" || true)
printf 'lintian:\n%s\n' "${tags:-(nothing)}"
((status == 0)) || fail "lintian found errors"

desktop-file-validate "$tmp/root/usr/share/applications/orbix-service.desktop"
appstreamcli validate --no-net "$tmp/root"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --no-net "$tmp/root" >/dev/null || fail "appstreamcli validate-tree failed"

# The gateway's service as installed: systemd's exposure rating at most 3.0 of 10
# (the threshold counts tenths). systemd-analyze comes with the package systemd.
service=$(grep -x '/.*/systemd/system/orbix-gateway.service' "$tmp/files" || true)
[ -n "$service" ] || fail "missing from the package: orbix-gateway.service"
command -v systemd-analyze >/dev/null || fail "systemd-analyze not found (package systemd)"
rating=$(systemd-analyze security --offline=true --threshold=30 "$tmp/root$service" 2>&1) \
  || fail "orbix-gateway.service is exposed above 3.0: $(grep 'Overall exposure' <<<"$rating")"
grep 'Overall exposure' <<<"$rating"

# The programs as installed, with no display: each names the package's version.
for program in orbix orbix-sim orbix-service; do
  line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$tmp/root/usr/bin/$program" --version)
  [[ $line == "$program $version"* ]] || fail "$program --version printed '$line', not version $version"
  echo "$line"
done
echo "package checked: $deb"
