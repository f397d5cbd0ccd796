#!/usr/bin/env bash
# Makes the release packages into dist/, installing what is missing (Debian 12, as root):
#   zendrow_<version>_amd64.deb                    zendrow, zendrow-cli, the desktop entry and icon, under /usr
#   zendrow-cli-<version>-windows-x86_64.zip       zendrow-cli.exe with the README and the licence
# The version is the one in CMakeLists.txt's project(). The Linux programs are built afresh in
# build-package/; the Windows program comes from build-windows/, the build of scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-dev's dpkg-shlibdeps and file work out the package's dependencies from the programs.
scripts/setup.sh cmake g++ make pkg-config libcli11-dev nlohmann-json3-dev qt6-base-dev dpkg-dev file
scripts/build-windows.sh

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DZENDROW_BUILD_TESTS=OFF >/dev/null
# CPack builds whatever is not built yet, one job at a time; build it all first, in parallel.
cmake --build build-package -j "$(nproc)"

rm -rf dist build-package/packages build-windows/packages
mkdir -p dist
(cd build-package && cpack >cpack.log) || { cat build-package/cpack.log; exit 1; }
(cd build-windows && cpack >cpack.log) || { cat build-windows/cpack.log; exit 1; }
mv build-package/packages/*.deb build-windows/packages/*.zip dist/
ls -l dist
