// The memory stage: one pass per worm variant, each announced by its own heading line.
// The passes' results are not examined: nothing found in memory is a finding of the run.
#include "memory/memory.h"
#include "messages/messages.h"
#include "run/run_state.h"

void RunMemoryStage()
{
    Report(kMsgMemoryHeaderA);
    CleanVariantA();
    Report(kMsgMemoryHeaderC);
    CleanVariantC();
    Report(kMsgMemoryHeaderE);
    CleanVariantE();
}
