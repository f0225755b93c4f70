# A folder stands where the log would be: every reported message still reaches the console,
# nothing is written to the log, and the run completes.
plant() {
    mkdir -p "$WORK/PURGEKIT.LOG"
}
scenario_main() {
    plant
    run_purgekit "$RESULTS/stdout.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout.txt" --wine-processes
    [ -d "$WORK/PURGEKIT.LOG" ] || fail "the log folder was replaced"
    [ -z "$(ls -A "$WORK/PURGEKIT.LOG")" ] || fail "something was written into the log folder"
}
