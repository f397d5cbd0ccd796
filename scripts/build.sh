#!/usr/bin/env bash
# Configures and builds Zendrow into build/ (or $ZENDROW_BUILD_DIR); extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ZENDROW_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${ZENDROW_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
