#!/usr/bin/env bash
# run.sh TEMPLATE_PREFIX PURGEKIT_SCAN_EXE SAMPLES_DIR [WINDOWS_VERSION]
#
# The 64-bit purgekit-scan.exe in a copy of the booted template prefix, over a planted folder
# tree C:\sweep: the three stand-ins under other names and folders (one read-only, one with a
# non-ASCII name, one behind a path of more than 260 characters, one in an excluded folder),
# and decoys (a truncated stand-in, a near miss, Wine's own programs, text, an empty file, a
# link back to C:\sweep that makes a loop).
# Checked: the text transcript (lines sorted: workers finish in any order; time figures
# masked) against expected-stdout.txt, JSON Lines, exit codes, --move into C:\quarantine with
# its manifest, a second run that finds nothing, and --remove of a read-only file. The link is
# not followed by default and, with --follow-symlinks, followed once without looping.
# Then the sections below: work files of runs gone and of other hosts, a followed link, names
# ending in a dot or a blank and device paths, an adversary who wins every race, a linked and a
# bound quarantine. The shipped 32-bit program runs in a copy that reports WINDOWS_VERSION.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../wine/wine_env.sh"
TEMPLATE=$1
EXE=$2
SAMPLES=$3
VERSION=${4:-}
FAILURES=0
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }

PREFIX=$(wine_new_prefix "$TEMPLATE") || { echo "cannot copy the template prefix"; exit 1; }
trap 'wine_drop_prefix "$PREFIX"' EXIT
C=$PREFIX/drive_c
scan() { (cd "$C" && wine_run "$PREFIX" "$EXE" "$@" </dev/null); }
[ -z "$VERSION" ] || wine_identity "$PREFIX" "$VERSION" || fail "cannot set the Windows version $VERSION"
# expect STATUS WHAT SCAN_ARGUMENTS...: a scan that must end with STATUS; its output in out, err
expect() {
    local want=$1 what=$2 status
    shift 2
    scan "$@" >"$C/out" 2>"$C/err"
    status=$?
    [ "$status" -eq "$want" ] || fail "$what: exit $status, expected $want: $(cat "$C/out" "$C/err")"
}

# ---- the planted tree ------------------------------------------------------------------------
long=$C/sweep/long
for n in 1 2 3 4 5; do long=$long/$(printf 'folder%02d-%050d' "$n" 0); done
mkdir -p "$C/sweep/tools" "$C/sweep/Programme/Übersicht" "$C/sweep/ro" "$C/sweep/skip" "$long" \
         "$C/sweep/decoys"
cp "$SAMPLES/standin-a.exe" "$C/sweep/tools/update.exe"
cp "$SAMPLES/standin-c.exe" "$C/sweep/Programme/Übersicht/dienst.dat"
cp "$SAMPLES/standin-e.exe" "$long/e.bin"
cp "$SAMPLES/standin-a.exe" "$C/sweep/ro/readonly.exe"
cp "$SAMPLES/standin-e.exe" "$C/sweep/skip/hidden.exe"
head -c 20000 "$SAMPLES/standin-e.exe" > "$C/sweep/decoys/truncated-e.exe"
python3 - "$SAMPLES/standin-c.exe" "$C/sweep/decoys/near-c.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[0x4C70 + 47] ^= 1          # the last byte of C's second pattern
open(sys.argv[2], 'wb').write(data)
PY
cp "$C/windows/system32/notepad.exe" "$C/windows/system32/cmd.exe" "$C/sweep/decoys/"
echo "not a program" > "$C/sweep/decoys/readme.txt"
: > "$C/sweep/decoys/empty.bin"
ln -s .. "$C/sweep/decoys/loop"   # to C:\sweep; Wine shows a host link as a reparse point
wine_run "$PREFIX" cmd /c 'attrib +r C:\sweep\ro\readonly.exe' </dev/null >/dev/null 2>&1
long_windows='C:\sweep\long'
for n in 1 2 3 4 5; do long_windows="$long_windows\\$(printf 'folder%02d-%050d' "$n" 0)"; done
[ ${#long_windows} -gt 260 ] || fail "the long path is only ${#long_windows} characters"

# ---- text ------------------------------------------------------------------------------------
scan -j 2 --exclude skip 'C:\sweep' >"$C/text.out" 2>"$C/text.err"
status=$?
[ "$status" -eq 1 ] || fail "text run: exit $status, expected 1"
[ -s "$C/text.err" ] && fail "text run wrote to stderr: $(cat "$C/text.err")"
sed -e 's/^Time: .* s$/Time: T s/' -e 's/^Files per second: .*/Files per second: N/' \
    -e "s|$(printf '%s' "$long_windows" | sed 's/\\/\\\\/g')|C:\\\\sweep\\\\LONG|" "$C/text.out" |
    LC_ALL=C sort >"$C/text.sorted"
diff -u "$here/expected-stdout.txt" "$C/text.sorted" || fail "text transcript differs"

# ---- JSON Lines, -i, a missing path ----------------------------------------------------------
scan --json -i -j 1 'C:\sweep' 'C:\missing' >"$C/json.out" 2>"$C/json.err"
status=$?
[ "$status" -eq 1 ] || fail "JSON run: exit $status, expected 1"
[ -s "$C/json.err" ] && fail "JSON run wrote to stderr"
python3 - "$C/json.out" "$long_windows" <<'PY' || fail "JSON Lines"
import json, sys
lines = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
found = sorted((o['path'], tuple(o['variants'])) for o in lines if o['type'] == 'found')
want = sorted([('C:\\sweep\\tools\\update.exe', ('TROJ_VORN.A',)),
               ('C:\\sweep\\Programme\\Übersicht\\dienst.dat', ('TROJ_VORN.C',)),
               (sys.argv[2] + '\\e.bin', ('TROJ_VORN.E',)),
               ('C:\\sweep\\ro\\readonly.exe', ('TROJ_VORN.A',)),
               ('C:\\sweep\\skip\\hidden.exe', ('TROJ_VORN.E',))])
assert found == want, found
errors = [o for o in lines if o['type'] == 'error']
assert errors == [{'type': 'error', 'path': 'C:\\missing', 'error': 'No such file or directory'}], errors
summary = lines[-1]
assert summary['type'] == 'summary' and summary['found'] == 5 and summary['errors'] == 1, summary
assert summary['scanned'] == 11, summary
PY
scan 'C:\missing' >/dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "a missing path alone: exit $status, expected 2"
scan --bogus >/dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "a usage error: exit $status, expected 2"

# ---- links: followed on request, a loop entered once -----------------------------------------
scan -i --follow-symlinks --exclude skip 'C:\sweep' >"$C/follow.out" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "follow run: exit $status, expected 1"
grep -q '^Files found: 4$' "$C/follow.out" || fail "follow run: $(cat "$C/follow.out")"

# ---- quarantine, then a run that finds nothing -----------------------------------------------
scan -q --move 'C:\quarantine' 'C:\sweep' >"$C/move.out" 2>"$C/move.err"
status=$?
[ "$status" -eq 1 ] || fail "move run: exit $status, expected 1"
[ "$(grep -c ': moved to C:\\quarantine\\' "$C/move.out")" -eq 5 ] || fail "five moved lines: $(cat "$C/move.out")"
[ "$(ls "$C/quarantine" | grep -c '\.vir$')" -eq 5 ] || fail "five quarantined files"
[ "$(cat "$C"/quarantine/quarantine-*.tsv | wc -l)" -eq 5 ] || fail "five manifest lines"
for sample in a c e; do
    sum=$(sha256sum <"$SAMPLES/standin-$sample.exe" | cut -d' ' -f1)
    grep -q "$sum" <(for f in "$C"/quarantine/*.vir; do sha256sum <"$f"; done) || fail "stand-in $sample not whole in the quarantine"
done
[ -e "$C/sweep/tools/update.exe" ] && fail "the original stays after its move"
[ -e "$C/sweep/decoys/notepad.exe" ] || fail "a decoy was moved"
host=$(ls "$C/quarantine" | sed -n 's/^quarantine-\([a-z0-9._-]*\)\.tsv$/\1/p')
[ "$(ls "$C/quarantine" | grep -c "^[0-9]\{8\}T[0-9]\{6\}Z-$host-[0-9]*-[0-9]\{6\}\.vir\$")" -eq 5 ] ||
    fail "quarantine names: $(ls "$C/quarantine")"
touch "$C/quarantine/.purgekit-$host-99999-1.tmp" "$C/quarantine/.purgekit-other-host-99999-2.tmp"
scan --move 'C:\quarantine' 'C:\sweep' >/dev/null 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the second run: exit $status, expected 0"
[ -e "$C/quarantine/.purgekit-$host-99999-1.tmp" ] && fail "the copy of a run that is gone stays"
[ -e "$C/quarantine/.purgekit-other-host-99999-2.tmp" ] || fail "another host's copy was deleted"

# ---- a found file reached through a link: the file itself moved, the link kept ----------------
mkdir -p "$C/linked" "$C/outside"
cp "$SAMPLES/standin-a.exe" "$C/outside/worm.exe"
ln -s "$C/outside/worm.exe" "$C/linked/link.exe"
expect 1 "a followed link" -q --follow-symlinks --move 'C:\quarantine-linked' 'C:\linked'
[ -L "$C/linked/link.exe" ] && [ ! -e "$C/outside/worm.exe" ] || fail "a followed link: the file was not moved"
[ "$(cut -f 1,6 "$C"/quarantine-linked/quarantine-*.tsv)" = "$(printf 'C:\\linked\\link.exe\tC:\\outside\\worm.exe')" ] ||
    fail "a followed link: the manifest gives $(cat "$C"/quarantine-linked/quarantine-*.tsv)"

# ---- --remove of a read-only file ------------------------------------------------------------
cp "$SAMPLES/standin-c.exe" "$C/sweep/ro/again.exe"
wine_run "$PREFIX" cmd /c 'attrib +r C:\sweep\ro\again.exe' </dev/null >/dev/null 2>&1
scan -i --remove 'C:\sweep\ro' >"$C/remove.out" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "remove run: exit $status, expected 1"
grep -q '^C:\\sweep\\ro\\again.exe: removed' "$C/remove.out" || fail "remove: $(cat "$C/remove.out")"
[ -e "$C/sweep/ro/again.exe" ] && fail "the read-only file is still there"

# ---- names ending in a dot or a blank; a device path; a list ---------------------------------
# Wine lists a host file's name as it is; Windows programs could make these names only through
# "\\?\" paths, since the platform's path rules strip a trailing dot or blank.
odd=$C/odd
mkdir -p "$odd/dotdir." "$odd/dotdir"
cp "$SAMPLES/standin-a.exe" "$odd/worm.exe."
cp "$SAMPLES/standin-c.exe" "$odd/worm2.exe "
cp "$SAMPLES/standin-e.exe" "$odd/dotdir./inner.exe"
cp "$C/windows/system32/notepad.exe" "$odd/worm.exe"
echo "not a program" > "$odd/worm2.exe"
cp "$C/windows/system32/cmd.exe" "$odd/dotdir/inner.exe"
same_lines() {   # same_lines WHAT LINE...: out has these lines, the time figures left out
    local what=$1
    shift
    diff -u <(printf '%s\n' "$@" | LC_ALL=C sort) \
        <(grep -v -e '^-' -e '^Time' -e '^Files per' "$C/out" | LC_ALL=C sort) || fail "$what"
}
for root in 'C:\odd' '\\.\C:\odd\'; do
    r=${root%\\}
    expect 1 "$root" -j 2 "$root"
    same_lines "$root: names ending in a dot or a blank" "$r\\dotdir.\\inner.exe: TROJ_VORN.E FOUND" \
        "$r\\dotdir\\inner.exe: OK" "$r\\worm.exe.: TROJ_VORN.A FOUND" "$r\\worm.exe: OK" \
        "$r\\worm2.exe : TROJ_VORN.C FOUND" "$r\\worm2.exe: OK" "Errors: 0" "Files found: 3" "Files scanned: 6"
done
printf '%s\r\n' '\\?\C:\odd\worm.exe.' 'C:\odd\worm2.exe ' 'C:\odd\dotdir.\inner.exe' >"$C/odd.list"
expect 1 "the list" -f 'C:\odd.list'
same_lines "the list" '\\?\C:\odd\worm.exe.: TROJ_VORN.A FOUND' 'C:\odd\worm2.exe : TROJ_VORN.C FOUND' \
    'C:\odd\dotdir.\inner.exe: TROJ_VORN.E FOUND' "Errors: 0" "Files found: 3" "Files scanned: 3"
expect 1 "removal in C:\odd" -q --remove 'C:\odd'
[ "$(cd "$odd" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" = "./dotdir/inner.exe ./worm.exe ./worm2.exe " ] ||
    fail "removal in C:\odd left: $(cd "$odd" && find . -type f | tr '\n' ' ')"

# ---- an adversary who swaps the found file or its folder the moment the scan closes it --------
# The hook is a 64-bit library: the emulated 32-bit Wine cannot load it.
if [ "$(wine_bits "$PREFIX")" = 64 ]; then
hook=$C/close_hook.so
cc -shared -fPIC -o "$hook" "$here/../../sweep/close_hook.c" -ldl || fail "the close hook does not build"
mkdir -p "$C/victims"
echo "innocent victim" >"$C/victims/worm.exe"
victim=$(stat -c %i "$C/victims/worm.exe")
n=0
for swap in 'rm "$F" && echo innocent >"$F"' 'rm "$F" && ln -s "$V/worm.exe" "$F"' \
            'mv "${F%/*}" "${F%/*}.away" && ln -s "$V" "${F%/*}"'; do
    for action in --remove --move; do
        n=$((n + 1))
        rm -rf "$C/race" "$C/race.away"
        mkdir -p "$C/race"
        cp "$SAMPLES/standin-a.exe" "$C/race/worm.exe"
        found=$(realpath "$C/race/worm.exe")
        args=(--json -j 1 "$action")
        [ "$action" = --move ] && args+=("C:\\q-race-$n")
        # Once in all (M): the hook may fire in the Wine server too.
        LD_PRELOAD=$hook RACE_FILE=$found F=$found V=$C/victims M=$C/swapped-$n \
            RACE_SWAP="mkdir \"\$M\" 2>/dev/null || exit 0; $swap" expect 1 "race $n" "${args[@]}" 'C:\race'
        grep -q '"action":"failed","error":"changed since it was scanned"' "$C/out" ||
            fail "race $n ($action, $swap): $(cat "$C/out")"
        [ "$(cat "$C/victims/worm.exe")" = "innocent victim" ] &&
            [ "$(stat -c %i "$C/victims/worm.exe")" = "$victim" ] || fail "race $n: the victim was touched"
        [ -z "$(ls -A "$C/q-race-$n" 2>/dev/null)" ] || fail "race $n: the quarantine holds $(ls -A "$C/q-race-$n")"
    done
done
fi

# ---- a quarantine that is a link (Wine shows a host link as a reparse point) -----------------
mkdir -p "$C/quarantine-target"
ln -s "$C/quarantine-target" "$C/quarantine-link"
expect 2 "a linked quarantine" --move 'C:\quarantine-link' 'C:\sweep'
[ "$(cat "$C/err")" = 'C:\quarantine-link: ERROR: quarantine folder refused: a link or junction (reparse point)' ] ||
    fail "a linked quarantine: $(cat "$C/err")"
[ -s "$C/out" ] && fail "a linked quarantine: something was scanned"

# ---- another mount of the same file system: the rename says ERROR_NOT_SAME_DEVICE ------------
mkdir -p "$C/bound-target" "$C/bound" "$C/bindtree"
if mount --bind "$C/bound-target" "$C/bound" 2>/dev/null; then
    cp "$SAMPLES/standin-e.exe" "$C/bindtree/e.exe"
    expect 1 "a bound quarantine" -q --move 'C:\bound' 'C:\bindtree'
    umount "$C/bound"
    [ -e "$C/bindtree/e.exe" ] && fail "a bound quarantine: the original stays"
    cmp -s "$SAMPLES/standin-e.exe" "$C"/bound-target/*.vir || fail "a bound quarantine: no whole copy"
else
    echo "note: mount --bind is not allowed here: the bound quarantine is not checked"
fi

[ "$FAILURES" -eq 0 ] && echo "sweep.win32: all checks passed"
exit $(( FAILURES > 0 ))
