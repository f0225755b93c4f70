# The typical infection under the win2k identity: removed as on Windows XP; the inoculation
# makes the blocking folders, Wqk.dll among them.
IDENTITY=win2k
. "$SCENARIO_DIR/../../common/typical_infection.sh"
plant() { plant_typical_infection; }
after() {
    expect_infection_removed
    expect_blocking_folders Krn132.exe Wqk.exe WinSvc.exe Wqk.dll

}
