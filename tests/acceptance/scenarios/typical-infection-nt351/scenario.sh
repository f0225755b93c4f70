# The typical infection under the nt351 identity: removed as on Windows XP; the inoculation
# makes the blocking folders but not Wqk.dll (NT before version 5).
IDENTITY=nt351
. "$SCENARIO_DIR/../../common/typical_infection.sh"
plant() { plant_typical_infection; }
after() {
    expect_infection_removed
    expect_blocking_folders Krn132.exe Wqk.exe WinSvc.exe
    expect_no_wqk_dll
}
