# Two Run values with the worm's path as data: each run removes one, the first in the
# platform's enumeration order (Wine lists values by name, case ignored: "krn132" before
# "svchost"). The log holds both runs one after the other. The second run starts from a
# system folder that was never inoculated, so both runs inoculate alike.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
scenario_main() {
    reg_add "$RUN" svchost 'C:\windows\system32\krn132.exe'
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
    run_purgekit "$RESULTS/stdout-1.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout-1.txt" --wine-processes
    reg_has_value "$RUN" krn132 && fail "first run: the value krn132 is still there"
    reg_has_value "$RUN" svchost || fail "first run: the value svchost went as well"
    remove_blocking_folders
    run_purgekit "$RESULTS/stdout-2.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout-2.txt" --wine-processes
    reg_has_value "$RUN" svchost && fail "second run: the value svchost is still there"
    compare "$SCENARIO_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
}
