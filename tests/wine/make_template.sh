#!/usr/bin/env bash
# Boots the Wine prefix that every test copies.
set -eu
. "$(dirname "$0")/wine_env.sh"
wine_boot_template "$1"
