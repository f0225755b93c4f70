#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks,
# saying what it installs. Usage: scripts/deps.sh [PACKAGE...] (default: the test set).
set -eu
packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
    packages=(cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
              googletest clang libclang-rt-14-dev zip unzip parallel)
fi
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing missing packages with apt-get: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
echo "Installed: ${missing[*]}"
