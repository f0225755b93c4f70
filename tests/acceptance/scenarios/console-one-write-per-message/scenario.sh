# The typical infection under Windows XP, its run traced: standard output receives each reported
# message whole, in one write, right after the same message was appended to the log, and each
# console-only group (the opening banner with its prompt, the reboot advice, the closing prompt,
# the closing box) in one write of its own. A console then shows each message as soon as it is
# logged, and never one character at a time. (A traced process cannot be read by the Wine server,
# so the passes do not list purgekit.exe itself here: the transcript is the typical-infection
# scenarios' business, the writes this one's.)
IDENTITY=winxp
. "$SCENARIO_DIR/../../common/typical_infection.sh"
scenario_main() {
    command -v strace >/dev/null || { fail "missing: strace (scripts/deps.sh installs it)"; return; }
    plant_typical_infection
    local trace=$RESULTS/trace
    (cd "$WORK" && WINEPREFIX=$PREFIX strace -f -ff -qq -y -xx -s 65536 -e signal=none \
        -e trace=write,writev,pwrite64,pwritev -o "$trace" "$(wine_loader "$PREFIX")" purgekit.exe \
        </dev/null >"$RESULTS/stdout.txt" 2>"$RESULTS/stdout.txt.stderr") ||
        fail "purgekit.exe under strace exited with $?"
    python3 "$SCENARIO_DIR/check_writes.py" "$RESULTS/stdout.txt" "$WORK/PURGEKIT.LOG" "$trace".* ||
        fail "standard output was not written one message at a time"
    expect_infection_removed
}
