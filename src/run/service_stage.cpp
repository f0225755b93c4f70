// The service stage: the worm's service entries, checked by their ImagePath, and the services
// deleted through the service control manager. A check that finds the worm sets the found
// flag; a service that cannot be deleted is silent.
#include "registry/registry.h"
#include "run/run_state.h"

void RunServiceStage(RunState* state)
{
    Report("\n\nStopping/Removing Worm/Virus services!");
    if (CleanKrn132ServiceKeys() == kKeyCheckWorm) {
        state->found = true;
        if (DeleteWormService("KernelSvc") == kServiceDeleted) {
            Report("\n\t Virus Service \"KernelSvc\" stopped.");
        }
        if (DeleteWormService("Krn132") == kServiceDeleted) {
            Report("\n\t Worm Service \"Krn132\" stopped.");
        }
        return;   // the WinSvc entry is not examined in this run
    }
    if (CleanWinSvcServiceKey() == kKeyCheckWorm) {
        state->found = true;
        if (DeleteWormService("WinSvc") == kServiceDeleted) {
            Report("\n\t Worm Service \"WinSvc\" stopped.");
        }
        return;
    }
    Report("\n\t Worm/Virus services not found!.");
}
