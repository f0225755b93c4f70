#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks,
# saying what it installs. Usage: scripts/deps.sh [PACKAGE...] (default: the test set, and
# then the private 32-bit Wine root that runs the shipped 32-bit build: scripts/wine32_root.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
packages=("$@")
wine32_root=false
if [ ${#packages[@]} -eq 0 ]; then
    packages=(cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 strace
              googletest clang libclang-rt-14-dev zip unzip parallel)
    wine32_root=true
fi
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing missing packages with apt-get: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
    echo "Installed: ${missing[*]}"
fi
if $wine32_root; then
    "$here/wine32_root.sh"
fi
