# Two runs append to one log, each between its own start and stop lines.
scenario_main() {
    run_purgekit "$RESULTS/stdout-1.txt"
    run_purgekit "$RESULTS/stdout-2.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout-1.txt" --wine-processes
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout-2.txt" --wine-processes
    compare "$SCENARIO_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
}
