// The cleaning run: one pass through the stages in their fixed order. Nothing ends it
// early, and it returns 0 whatever it found or failed.
#include "run/run_state.h"


int RunCleaning()
{
    RunState state = {};
    state.found = false;
    state.systemFolderWhole = GetSystemFolderPath(state.systemFolder, sizeof(state.systemFolder));
    GetHostInfo(&state.host);

    ShowIntroBanner();

    char message[kPathSize] = {};
    CopyText(message, sizeof(message), "\n\n========================\nStart : PURGEKIT version ");
    AppendVersion(message, sizeof(message));
    LogWrite(message);
    ComposeText(message, sizeof(message), "\nWindows Platform : ",
                PlatformName(state.host.platformCode), "");
    Report(message);
    LogDateTime();

    RunServiceStage(&state);

    RunMemoryStage();

    RunRegistryStage(&state);
    RemoveDroppedFiles(&state);

    LogDateTime();
    RunInoculationStage(state);
    LogWrite("\nStop\n========================");
    ShowClosingBanner();
    return 0;
}
