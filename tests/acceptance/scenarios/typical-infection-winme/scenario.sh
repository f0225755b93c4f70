# The typical infection under the winme identity: see expect_95_family_outcome for what stays.
# The inoculation reports Krn132.exe "already exists", creates Wqk.exe and WinSvc.exe, and does
# not try Wqk.dll.
IDENTITY=winme
. "$SCENARIO_DIR/../../common/typical_infection.sh"
plant() { plant_typical_infection; }
after() { expect_95_family_outcome; }
