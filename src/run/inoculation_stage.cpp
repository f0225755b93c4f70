#include "run/run_state.h"

#include "inoculate/inoculate.h"

#include <cstdio>

void RunInoculationStage(const RunState& state)
{
    if (!state.found) {
        return;
    }
    Report("\n\nInoculating the system!");
    if (InoculateSystem() == kInoculated) {
        Report("\n\tSystem Inoculated");
    } else {
        Report("\n System already inoculated!");
    }
    // Console only: the advice is not written to the log.
    fputs("\n\n Please reboot your system and run the tool again. Using the latest pattern, scan "
          "your computer and clean all files detected as PE_QUILMO.A",
          stdout);
}
