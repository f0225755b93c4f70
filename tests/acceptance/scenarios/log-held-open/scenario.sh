# Another Windows process holds the log open without sharing: every reported message still
# reaches the console, nothing is written to the log, and the run completes.
scenario_main() {
    hold_open 'C:\work\PURGEKIT.LOG'
    run_purgekit "$RESULTS/stdout.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout.txt" --wine-processes
    local size
    size=$(stat -c %s "$WORK/PURGEKIT.LOG" 2>/dev/null || echo missing)
    [ "$size" = 0 ] || fail "the held log was written to (size $size)"
}
