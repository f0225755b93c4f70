#!/usr/bin/env bash
# make_template.sh DIR [BITS]: boots the Wine prefix that every test copies; BITS 32 makes a
# prefix for 32-bit programs, after preparing the private 32-bit Wine root if need be.
set -eu
here=$(dirname "$0")
. "$here/wine_env.sh"
if [ "${2:-64}" = 32 ]; then
    bash "$here/../../scripts/wine32_root.sh"
fi
wine_boot_template "$1" "${2:-64}"
