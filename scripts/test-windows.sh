#!/usr/bin/env bash
# Cross-builds the engine, zendrow-cli and their tests for 64-bit Windows with MinGW-w64 into
# build-windows/, and runs the tests under Wine. Installs what is missing (Debian 12, as root).
# No display is needed. Extra arguments go to CTest, e.g. scripts/test-windows.sh -R CommandLine
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build-windows

scripts/setup.sh cmake make libgtest-dev libcli11-dev nlohmann-json3-dev g++-mingw-w64-x86-64-posix wine64 wine

cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZENDROW_BUILD_UI=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

# A Wine prefix of our own, made quietly: no Mono or Gecko prompts, no debug chatter.
export WINEPREFIX=$PWD/$build_dir/wine-prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX"
    wineboot --init >"$build_dir/wineboot.log" 2>&1 || { cat "$build_dir/wineboot.log"; exit 1; }
fi
wineserver --wait

status=0
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "$@" || status=$?
wineserver --kill || true
exit $status
