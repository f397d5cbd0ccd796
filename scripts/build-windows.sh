#!/usr/bin/env bash
# Cross-builds the engine, zendrow-cli and their tests (or only the targets given) for 64-bit
# Windows with MinGW-w64 into build-windows/. Installs what is missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build-windows

scripts/setup.sh cmake make libgtest-dev libcli11-dev nlohmann-json3-dev g++-mingw-w64-x86-64-posix

cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZENDROW_BUILD_UI=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
