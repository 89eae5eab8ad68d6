#!/usr/bin/env bash
# Checks the Debian packages that `cmake --build BUILD --target package` made,
# orbix-service and orbix-gateway (one release: the same version): the files each must
# hold, lintian (an error fails), the desktop entry, the AppStream data, the gateway
# service's hardening, that no GUI library is needed by orbix-gateway nor linked by
# orbix, and that the programs unpacked from them start with the system's libraries.
#   scripts/check-package.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

fail() { echo "check-package: $*" >&2; exit 1; }
shopt -s nullglob
one_deb() { # package name
  local debs=("$build/$1"_*.deb)
  ((${#debs[@]} == 1)) || fail "expected one $1_*.deb in $build, found ${#debs[@]}"
  echo "${debs[0]}"
}
deb=$(one_deb orbix-service)
gateway_deb=$(one_deb orbix-gateway)
version=$(dpkg-deb --field "$deb" Version)
[ "$(dpkg-deb --field "$gateway_deb" Version)" = "$version" ] \
  || fail "orbix-gateway is version $(dpkg-deb --field "$gateway_deb" Version), orbix-service $version"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb --extract "$deb" "$tmp/root"
dpkg-deb --extract "$gateway_deb" "$tmp/root"
dpkg-deb --contents "$deb" | awk '{ print substr($6, 2) }' >"$tmp/files"
dpkg-deb --contents "$gateway_deb" | awk '{ print substr($6, 2) }' >"$tmp/gateway-files"

expect() { # package, its list of files, paths...
  local package=$1 list=$2 f
  shift 2
  for f in "$@"; do
    grep -qxF "$f" "$list" || fail "missing from $package: $f"
  done
}
doc=/usr/share/doc/orbix-service
module=$(grep -x '/usr/lib/[^/]*/orbix/orbix-report.so' "$tmp/files" || true)
[ -n "$module" ] || fail "missing from orbix-service: /usr/lib/<multiarch>/orbix/orbix-report.so"
expected=(/usr/bin/orbix /usr/bin/orbix-sim /usr/bin/orbix-service
          /usr/share/applications/orbix-service.desktop
          /usr/share/metainfo/invalid.orbix_service.orbix_service.metainfo.xml
          /usr/share/icons/hicolor/scalable/apps/orbix-service.svg
          "$doc/copyright" "$doc/changelog.gz" "$doc/README.md"
          "$doc/docs/user-guide.md" "$doc/docs/settings-file.md" "$doc/docs/simulator.md" "$doc/docs/history.md")
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
expect orbix-service "$tmp/files" "${expected[@]}"
gateway_doc=/usr/share/doc/orbix-gateway
expect orbix-gateway "$tmp/gateway-files" /usr/bin/orbix-gateway /usr/share/man/man1/orbix-gateway.1.gz /etc/orbix/gateway.json \
  "$gateway_doc/copyright" "$gateway_doc/changelog.gz" "$gateway_doc/examples/gateway.json" \
  "$gateway_doc/docs/gateway.md" "$gateway_doc/docs/gateway-scale.md" "$gateway_doc/docs/grafana-dashboard.json" \
  "$gateway_doc/docs/gateway-alerts.yml" "$gateway_doc/docs/history.md"
# Each file in one package only.
dup=$(grep -v '/$' "$tmp/files" "$tmp/gateway-files" | cut -d: -f2- | sort | uniq -d | head -3)
[ -z "$dup" ] || fail "in both packages: $dup"
grep -qx '/etc/orbix/gateway.json' <(dpkg-deb --ctrl-tarfile "$gateway_deb" | tar -xO ./conffiles) \
  || fail "orbix-gateway: /etc/orbix/gateway.json is no conffile"

# dpkg-shlibdeps found the libraries the programs link: the window's for orbix-service,
# none of a GUI for orbix-gateway.
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt5widgets5 libqt5serialport5 libqwt-qt5-6; do
  [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
gateway_depends=$(dpkg-deb --field "$gateway_deb" Depends)
for lib in libqt5core5a libmosquitto1; do
  [[ $gateway_depends == *"$lib "* ]] || fail "orbix-gateway's Depends lacks $lib: $gateway_depends"
done
gui='libqt5(widgets|gui|opengl|printsupport|svg)|libqwt|libgl1|libx11'
if grep -Eq "(^|[ ,])($gui)" <<<"$gateway_depends"; then
  fail "orbix-gateway depends on a GUI package: $gateway_depends"
fi
# What the programs load, with the system's libraries: no GUI library for orbix-gateway
# nor for orbix (its report and audit load them from the module).
for program in orbix-gateway orbix; do
  loaded=$(ldd "$tmp/root/usr/bin/$program") || fail "ldd $program failed"
  if grep -Eq 'libQt5(Gui|Widgets|OpenGL|PrintSupport|Svg)|libqwt' <<<"$loaded"; then
    fail "$program loads a GUI library: $(grep -Eo 'libQt5(Gui|Widgets|OpenGL|PrintSupport|Svg)[^ ]*|libqwt[^ ]*' <<<"$loaded" | tr '\n' ' ')"
  fi
  printf '%s: %d libraries\n' "$program" "$(grep -c '=>' <<<"$loaded")"
done
# grep reads all of it: with pipefail, ldd cut short by an early exit would fail the check
ldd "$tmp/root$module" | grep libQt5Widgets >/dev/null || fail "the report module does not link Qt Widgets"

# Lintian also reads the manual pages through man --warnings.
status=0
tags=$(lintian --fail-on error --display-info "$deb" "$gateway_deb" 2>&1) || status=$?
tags=$(grep -v '^running with root privileges' <<<"$tags" || true)
printf 'lintian:\n%s\n' "${tags:-(nothing)}"
((status == 0)) || fail "lintian found errors"

desktop-file-validate "$tmp/root/usr/share/applications/orbix-service.desktop"
appstreamcli validate --no-net "$tmp/root"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --no-net "$tmp/root" >/dev/null || fail "appstreamcli validate-tree failed"

# The gateway's service as installed: it runs orbix-gateway, and systemd's exposure
# rating is at most 3.0 of 10 (the threshold counts tenths). systemd-analyze comes with
# the package systemd.
service=$(grep -x '/.*/systemd/system/orbix-gateway.service' "$tmp/gateway-files" || true)
[ -n "$service" ] || fail "missing from orbix-gateway: orbix-gateway.service"
grep -qx 'ExecStart=/usr/bin/orbix-gateway .*' "$tmp/root$service" || fail "orbix-gateway.service does not run /usr/bin/orbix-gateway"
command -v systemd-analyze >/dev/null || fail "systemd-analyze not found (package systemd)"
rating=$(systemd-analyze security --offline=true --threshold=30 "$tmp/root$service" 2>&1) \
  || fail "orbix-gateway.service is exposed above 3.0: $(grep 'Overall exposure' <<<"$rating")"
grep 'Overall exposure' <<<"$rating"

# The programs as installed, with no display: each names the packages' version.
for program in orbix orbix-sim orbix-service orbix-gateway; do
  line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$tmp/root/usr/bin/$program" --version)
  [[ $line == "$program $version"* ]] || fail "$program --version printed '$line', not version $version"
  echo "$line"
done
# orbix finds what it runs besides itself where the packages put it.
usage=$("$tmp/root/usr/bin/orbix" report --help | head -1) || fail "orbix report --help failed: the module not found?"
[ "$usage" = "Usage: orbix report [options] PORT OUT.pdf" ] || fail "orbix report --help printed '$usage'"
line=$("$tmp/root/usr/bin/orbix" gateway --version) || fail "orbix gateway --version failed"
[[ $line == "orbix-gateway $version"* ]] || fail "orbix gateway --version printed '$line'"
echo "packages checked: $deb $gateway_deb"
