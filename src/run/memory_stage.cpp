// The memory stage: one pass per worm variant, each announced by its own heading line.
// The passes' results are not examined: nothing found in memory is a finding of the run.
#include "memory/memory.h"
#include "run/run_state.h"

void RunMemoryStage()
{
    Report("\n\nTerminating Worm/Virus processes for TROJ_VORN.A! ");
    CleanVariantA();
    Report("\n\nTerminating Worm/Virus processes for TROJ_VORN.C! ");
    CleanVariantC();
    Report("\n\nTerminating Worm/Virus processes for TROJ_VORN.E! ");
    CleanVariantE();
}
