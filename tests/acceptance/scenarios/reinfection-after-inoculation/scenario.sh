# The worm's Run value, removed and the system inoculated by a first run, is planted again.
# The second run finds it (the found flag is set), every blocking folder stands already, the
# four dropped files are folders now and cannot be deleted, and the run reports the system
# already inoculated, then the reboot advice.
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
scenario_main() {
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
    run_purgekit "$RESULTS/stdout-1.txt"
    compare "$SCENARIO_DIR/expected-stdout-1.txt" "$RESULTS/stdout-1.txt" --wine-processes
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
    run_purgekit "$RESULTS/stdout-2.txt"
    compare "$SCENARIO_DIR/expected-stdout-2.txt" "$RESULTS/stdout-2.txt" --wine-processes
    compare "$SCENARIO_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
    reg_has_value "$RUN" krn132 && fail "the Run value krn132 is still there"
    local name
    for name in Krn132.exe Wqk.exe Wqk.dll WinSvc.exe; do
        [ -d "$SYSDIR/$name" ] || fail "no blocking folder $name"
    done
}
