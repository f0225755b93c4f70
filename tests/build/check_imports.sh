#!/usr/bin/env bash
# check_imports.sh EXE TARGET [OBJDUMP]: every library and every function EXE imports must be
# one that each Windows of TARGET has. One missing library or export, and the loader refuses
# to start the program there: that is a fault no test under Wine would show.
#
# TARGET names a folder of imports/ (or is a folder's path) holding
#   LIBRARY.txt  one per library the program may import (KERNEL32.txt for KERNEL32.dll): the
#                functions that library exports on every Windows of the target, separated by
#                blanks or line breaks; '#' begins a comment; "*" allows every function
#   base         (optional) the name of a target whose lists this one's extend: a library and
#                a function are allowed when either target allows them
# imports/bound-at-run-time.txt lists the functions the project's programs bind by name at run
# time and must never import, one extended regular expression a line, each matched against a
# whole function name.
# Targets:
#   win95-nt351  Windows 95, 98, ME, NT 3.51, NT 4.0, 2000, XP: purgekit.exe, purgekit-unattended.exe
#   win2000      Windows 2000, XP and later: purgekit-scan.exe, purgekit-report.exe
#   win64-test   the 64-bit test build (64-bit Windows only): its libraries alone
# An import by ordinal cannot be checked and fails. The checked table is printed; each library
# and function that fails is named. OBJDUMP defaults to i686-w64-mingw32-objdump.
set -eu
exe=$1
target=$2
objdump=${3:-i686-w64-mingw32-objdump}
lists=$target
[ -d "$lists" ] || lists=$(dirname "$0")/imports/$target
[ -d "$lists" ] || { echo "no import lists for the target $target (tests/build/imports/)"; exit 1; }

dump=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }
# One line per import: LIBRARY FUNCTION (the library's name upper-cased, without ".dll"; a
# function imported by ordinal shows as "<none>").
imports=$(awk '
    /^[[:space:]]*DLL Name:/ { library = toupper($3); sub(/\.DLL$/, "", library); next }
    /^[[:space:]]*$/ { library = ""; next }
    library != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF >= 3 { print library, $3 }
    ' <<<"$dump")
libraries=$(sed -n 's/^[[:space:]]*DLL Name: *//p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sed 's/\.DLL$//')
[ -n "$libraries" ] && [ -n "$imports" ] || { echo "no import table read from $exe"; exit 1; }

# The target's folder, then its base's, and so on.
folders=()
folder=$lists
while [ -n "$folder" ]; do
    folders+=("$folder")
    base=""
    [ -f "$folder/base" ] && base=$(dirname "$folder")/$(tr -d '[:space:]' <"$folder/base")
    folder=$base
done
# knows LIBRARY: some folder lists the library. allowed LIBRARY: the functions all of them allow,
# one a line.
knows() { local f; for f in "${folders[@]}"; do [ -f "$f/$1.txt" ] && return 0; done; return 1; }
allowed() {
    local f
    for f in "${folders[@]}"; do
        [ -f "$f/$1.txt" ] && sed -e 's/#.*//' "$f/$1.txt" | tr -s '[:space:]' '\n' | sed '/^$/d'
    done
    return 0
}

status=0
for library in $libraries; do
    if ! knows "$library"; then
        echo "FAIL: imports the library $library.dll, which not every Windows of $target has"
        status=1
    fi
done
bound=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' \
        "$(dirname "$0")/imports/bound-at-run-time.txt" | paste -sd '|')
while read -r library function; do
    [ -n "$library" ] || continue
    if [ -n "$bound" ] && grep -qxE "$bound" <<<"$function"; then
        echo "FAIL: imports $library!$function, which must be bound at run time"
        status=1
    fi
    knows "$library" || continue
    if [ "$function" = "<none>" ]; then
        echo "FAIL: imports from $library by ordinal, which cannot be checked"
        status=1
    elif ! allowed "$library" | grep -qxF -e "$function" -e '*'; then
        echo "FAIL: imports $library!$function, which not every Windows of $target exports"
        status=1
    fi
done <<<"$imports"

echo "import table of $exe (target $target):"
for library in $libraries; do
    printf '  %s (%d): %s\n' "$library" "$(grep -c "^$library " <<<"$imports")" \
        "$(awk -v l="$library" '$1 == l { print $2 }' <<<"$imports" | paste -sd ' ')"
done
[ "$status" -eq 0 ] && echo "imports OK: $exe (target $target)"
exit "$status"
