#!/usr/bin/env bash
# Installs the Debian packages that building and testing Zendrow need, when any is missing:
# the given packages, or with none given the ones the main build and its tests need.
# Run as root on Debian 12 (or with sudo available).
set -euo pipefail

packages=("$@")
[ ${#packages[@]} -eq 0 ] && packages=(cmake g++ make pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev qt6-base-dev libopenmpt-dev)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
