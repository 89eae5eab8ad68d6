#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd "${ORBIX_BUILD_DIR:-build}"
ctest --output-on-failure -j2
