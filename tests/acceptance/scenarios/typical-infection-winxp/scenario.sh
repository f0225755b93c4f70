# The typical infection under Windows XP, from start to end: services, memory, the Run value,
# the dropped files, four blocking folders and the reboot advice. A second run on the cleaned
# system finds nothing: no inoculation, no advice, and the blocking folders now standing under
# the dropped files' names make each of the four file lines read "delete failed".
IDENTITY=winxp
. "$SCENARIO_DIR/../../common/typical_infection.sh"
scenario_main() {
    plant_typical_infection
    run_purgekit "$RESULTS/stdout-1.txt"
    compare "$SCENARIO_DIR/expected-stdout-1.txt" "$RESULTS/stdout-1.txt" --wine-processes
    expect_infection_removed
    expect_blocking_folders Krn132.exe Wqk.exe Wqk.dll WinSvc.exe
    run_purgekit "$RESULTS/stdout-2.txt"
    compare "$SCENARIO_DIR/expected-stdout-2.txt" "$RESULTS/stdout-2.txt" --wine-processes
    compare "$SCENARIO_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
    expect_blocking_folders Krn132.exe Wqk.exe Wqk.dll WinSvc.exe
}
