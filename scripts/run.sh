#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on a simulated line:
# the window with three simulated ОРБИКС-11 devices (press "Поиск", then connect).
# Without a display it shows the same line from the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# The programs only, in a tree of their own: no test tools, tests or benchmarks to wait for.
BUILD_DIR=${ORBIX_BUILD_DIR:-build-run}
ORBIX_SETUP_PACKAGES=run ORBIX_BUILD_DIR=$BUILD_DIR bash scripts/setup.sh \
    -DORBIX_BUILD_TESTS=OFF -DORBIX_BUILD_BENCH=OFF -DORBIX_PACKAGE=OFF

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/app/orbix-service" --demo "$@"
fi

echo "No display: showing the simulated line from the command line."
fifo=$(mktemp -u)
mkfifo "$fifo"
"$BUILD_DIR/sim/orbix-sim" --device 1:70:8E1 --device 2:80:8E1 --device 5:40:8O1 >"$fifo" </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r line <&3
echo "Simulated line on $line; searching addresses 1-5:"
"$BUILD_DIR/cli/orbix" scan "$line" --addresses 1-5 --probe-timeout 100
echo "Live values of the device at address 2 (three cycles):"
"$BUILD_DIR/cli/orbix" monitor "$line" --address 2 --cycles 3
