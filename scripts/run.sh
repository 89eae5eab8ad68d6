#!/usr/bin/env bash
# Installs what is missing, builds, and shows the program's main job on a
# simulated line: a simulated ОРБИКС-11 answers, and orbix reads its identification.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${ORBIX_BUILD_DIR:-build}

fifo=$(mktemp -u)
mkfifo "$fifo"
"$BUILD_DIR/sim/orbix-sim" >"$fifo" </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r line <&3
echo "Simulated ОРБИКС-11 (address 1, 19200 8E1) on $line"
echo "Identification registers 1-4 (current scale, lowest and highest rated current in counts, modification):"
"$BUILD_DIR/cli/orbix" read "$line" --address 1 1 4
