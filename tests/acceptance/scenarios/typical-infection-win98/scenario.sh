# The typical infection under the win98 identity. The services are not examined on this family.
# The passes list processes through Toolhelp, whose names under Wine are bare file names, so
# the worm is neither scanned nor terminated and its running file cannot be deleted. The Run
# value is removed; the inoculation then meets the worm's file under the folder name
# Krn132.exe ("already exists"), creates Wqk.exe and WinSvc.exe, and does not try Wqk.dll.
IDENTITY=win98
. "$SCENARIO_DIR/../../common/typical_infection.sh"
plant() { plant_typical_infection; }
after() {
    process_running krn132.exe || fail "the worm no longer runs"
    [ -f "$SYSDIR/krn132.exe" ] || fail "the worm's file is gone or not a file"
    reg_has_value "$RUN" krn132 && fail "the Run value krn132 is still there"
    reg_has_key "$SERVICES\\Krn132" || fail "the Krn132 key was touched"
    reg_has_key "$SERVICES\\KernelSvc" || fail "the KernelSvc key was touched"
    expect_blocking_folders Wqk.exe WinSvc.exe
    [ -e "$SYSDIR/Wqk.dll" ] && fail "Wqk.dll was made on the 95 family"
    return 0
}
