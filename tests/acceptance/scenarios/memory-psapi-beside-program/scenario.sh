# The two worm stand-ins of memory-variant-a, and a PSAPI.DLL beside purgekit.exe in C:\work
# (a test library that leaves PSAPI.DLL.loaded beside itself when a process loads it). The
# process status library comes from the system folder only: the planted one is never loaded,
# and the run is the one memory-variant-a expects.
. "$SCENARIO_DIR/../memory-variant-a/scenario.sh"
EXPECTED_DIR=$SCENARIO_DIR/../memory-variant-a
# Wine prefers its own built-in PSAPI to a file found on the search path; Windows has no
# built-in libraries and takes the first PSAPI.DLL it finds, so the run searches as Windows does.
PURGEKIT_DLLOVERRIDES=${PURGEKIT_DLLOVERRIDES:+$PURGEKIT_DLLOVERRIDES;}psapi=n,b
eval "variant_a_$(declare -f plant)"
eval "variant_a_$(declare -f after)"
plant() {
    variant_a_plant
    cp "$TOOLS_DIR/PSAPI.DLL" "$WORK/PSAPI.DLL" || fail "cannot plant PSAPI.DLL"
}
after() {
    variant_a_after
    expect_file "$WORK/PSAPI.DLL"
    expect_no_file "$WORK/PSAPI.DLL.loaded"
}
