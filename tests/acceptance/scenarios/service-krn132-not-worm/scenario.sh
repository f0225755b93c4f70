# Krn132 service entries whose ImagePath is not exactly krn132.exe in the system folder:
# quoted, with an argument, through an environment variable, in another folder, empty, and
# absent. Each run leaves the Krn132 entry alone and goes on to the WinSvc check, which finds
# the worm's WinSvc service there; each run starts from a system folder never inoculated.
IDENTITY=winxp
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'

# set_image_path DATA [TYPE]
set_image_path() { reg_add "$SERVICES\\Krn132" ImagePath "$1" "${2:-REG_SZ}"; }

run_once() {
    local label=$1
    sc_create WinSvc 'C:\windows\system32\WinSvc.exe'
    rm -f "$WORK/PURGEKIT.LOG"
    remove_blocking_folders
    run_purgekit "$RESULTS/stdout-$label.txt"
    compare "$SCENARIO_DIR/expected-stdout.txt" "$RESULTS/stdout-$label.txt" --wine-processes
    cp "$WORK/PURGEKIT.LOG" "$RESULTS/log-$label.txt" 2>/dev/null
    compare "$SCENARIO_DIR/expected-log.txt" "$RESULTS/log-$label.txt" --wine-processes
    reg_has_key "$SERVICES\\Krn132" || fail "$label: the Krn132 key was deleted"
    service_exists Krn132 || fail "$label: the Krn132 service was deleted"
    reg_has_key "$SERVICES\\WinSvc" && fail "$label: the WinSvc key is still there"
    service_exists WinSvc && fail "$label: the WinSvc service is still there"
}

scenario_main() {
    # One idle process keeps the Wine server, and so the service manager, running for the
    # whole scenario: a restarted manager would forget a service without a usable ImagePath.
    hold_open 'C:\tools\settle.lock'
    sc_create Krn132 'C:\windows\system32\krn132.exe'
    set_image_path '"C:\windows\system32\krn132.exe"'
    run_once quoted
    set_image_path 'C:\windows\system32\krn132.exe -service'
    run_once argument
    set_image_path '%SystemRoot%\system32\krn132.exe' REG_EXPAND_SZ
    run_once environment
    set_image_path 'C:\windows\krn132.exe'
    run_once other-folder
    set_image_path ''
    run_once empty
    reg_delete_value "$SERVICES\\Krn132" ImagePath
    run_once absent
}
