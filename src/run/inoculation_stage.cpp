#include "messages/messages.h"
#include "run/run_state.h"

#include "inoculate/inoculate.h"

void RunInoculationStage(const RunState& state)
{
    if (!state.found) {
        return;
    }
    Report(kMsgInoculationHeader);
    if (InoculateSystem() == kInoculated) {
        Report(kMsgInoculated);
    } else {
        Report(kMsgAlreadyInoculated);
    }
    // Console only: the advice is not written to the log.
    ShowOnConsole(kMsgRebootAdvice);
}
