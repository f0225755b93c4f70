// The service stage: the worm's service entries, checked by their ImagePath, and the services
// deleted through the service control manager. A check that finds the worm sets the found
// flag; a service that cannot be deleted is silent.
#include "messages/messages.h"
#include "registry/registry.h"
#include "run/run_state.h"

void RunServiceStage(RunState* state)
{
    Report(kMsgServiceHeader);
    if (CleanKrn132ServiceKeys() == kKeyCheckWorm) {
        state->found = true;
        if (DeleteWormService("KernelSvc") == kServiceDeleted) {
            Report(kMsgKernelSvcStopped);
        }
        if (DeleteWormService("Krn132") == kServiceDeleted) {
            Report(kMsgKrn132Stopped);
        }
        return;   // the WinSvc entry is not examined in this run
    }
    if (CleanWinSvcServiceKey() == kKeyCheckWorm) {
        state->found = true;
        if (DeleteWormService("WinSvc") == kServiceDeleted) {
            Report(kMsgWinSvcStopped);
        }
        return;
    }
    Report(kMsgServicesNotFound);
}
