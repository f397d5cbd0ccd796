#!/usr/bin/env bash
# Installs what is missing, builds Zendrow and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec "${ZENDROW_BUILD_DIR:-build}/app/zendrow"
