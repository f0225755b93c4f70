#!/usr/bin/env bash
# run_win32.sh TEMPLATE_PREFIX PURGEKIT_REPORT_EXE PURGEKIT_REPORT_NATIVE
#
# The Windows purgekit-report.exe (the 64-bit test build) in a copy of the booted template
# prefix, over a results tree of every kind of machine (reportlib.make_portable_tree: names that
# Windows takes) and a link to a folder outside it (a reparse point to Windows), against the
# native program over the very same tree: the same exit code, the same hosts.csv, runs.jsonl
# and findings.jsonl byte for byte, the same bad inputs said on standard error. Then an output
# folder inside the results folder is refused, and nothing in the tree changed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/wine_env.sh"
TEMPLATE=$1
EXE=$2
NATIVE=$3
FAILURES=0
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }

PREFIX=$(wine_new_prefix "$TEMPLATE") || { echo "cannot copy the template prefix"; exit 1; }
trap 'wine_drop_prefix "$PREFIX"' EXIT
C=$PREFIX/drive_c
report() { (cd "$C" && wine_run "$PREFIX" "$EXE" "$@" </dev/null); }

PYTHONPATH=$here python3 - "$C/results" <<'PY' || fail "making the results tree"
import os, sys
from reportlib import expected_text, make_portable_tree, write
make_portable_tree(sys.argv[1])
outside = os.path.join(os.path.dirname(sys.argv[1]), "outside")
write(os.path.join(outside, "PURGEKIT.LOG"), expected_text("dropped-files/expected-log.txt"))
os.symlink(outside, os.path.join(sys.argv[1], "PC-LINK"))
PY
before=$(cd "$C/results" && find . -printf '%p %y %s %T@ %m\n' | sort; find . -type f -exec sha256sum {} + | sort)

"$NATIVE" -o "$C/native" "$C/results" >"$C/native.out" 2>"$C/native.err"
native_status=$?
report -o 'C:\windows-out' 'C:\results' >"$C/windows.out" 2>"$C/windows.err"
status=$?
[ "$native_status" -eq 1 ] || fail "native run: exit $native_status, expected 1"
[ "$status" -eq "$native_status" ] || fail "Windows run: exit $status, native $native_status"
for file in hosts.csv runs.jsonl findings.jsonl; do
    cmp -s "$C/native/$file" "$C/windows-out/$file" || { fail "$file differs"; diff "$C/native/$file" "$C/windows-out/$file" | head -20; }
done
grep -q 'PC-TYPICAL' "$C/windows-out/report.html" || fail "report.html has no machine rows"
# The same bad inputs, paths made relative to the results folder.
sed -e "s|^purgekit-report: $C/results/|purgekit-report: |" "$C/native.err" | LC_ALL=C sort >"$C/native.said"
tr -d '\r' <"$C/windows.err" | sed -e 's|^purgekit-report: C:\\results\\|purgekit-report: |' -e 's|\\|/|g' |
    LC_ALL=C sort >"$C/windows.said"
diff "$C/native.said" "$C/windows.said" || fail "the bad inputs said differ"
grep -q '^purgekit-report: PC-LINK: a symbolic link: not followed, not read$' "$C/windows.said" ||
    fail "the link to a folder outside was not refused: $(cat "$C/windows.said")"
grep -q 'report:   C:\\windows-out\\report.html' "$C/windows.out" || fail "summary: $(cat "$C/windows.out")"

# Never into a results folder, whatever the spelling.
for out in 'C:\results' 'C:\results\report' 'c:\RESULTS\PC-CLEAN\new' 'C:\outside\..\results\x'; do
    report -o "$out" 'C:\results' >/dev/null 2>"$C/refused.err"
    status=$?
    [ "$status" -eq 2 ] || fail "-o $out: exit $status, expected 2"
    grep -q 'nothing is ever written into a results folder' "$C/refused.err" || fail "-o $out: $(cat "$C/refused.err")"
done
report --bogus >/dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "a usage error: exit $status, expected 2"
after=$(cd "$C/results" && find . -printf '%p %y %s %T@ %m\n' | sort; find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || fail "the results tree changed"

[ "$FAILURES" -eq 0 ] && echo "report.win32: all checks passed"
exit $(( FAILURES > 0 ))
