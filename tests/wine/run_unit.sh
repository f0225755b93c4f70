#!/usr/bin/env bash
# run_unit.sh TEMPLATE PROGRAM [ARGS...]: runs a unit test program in its own copy of the
# template prefix (with the Wine of the template's kind), from a working folder inside it, and
# removes the copy afterwards.
set -u
. "$(dirname "$0")/wine_env.sh"
template=$1
program=$2
shift 2
prefix=$(wine_new_prefix "$template") || exit 1
trap 'wine_drop_prefix "$prefix"' EXIT
mkdir -p "$prefix/drive_c/unit"
cd "$prefix/drive_c/unit"
wine_run "$prefix" "$program" "$@" </dev/null
