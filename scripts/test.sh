#!/usr/bin/env bash
# Installs what is missing, builds Zendrow and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${ZENDROW_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
