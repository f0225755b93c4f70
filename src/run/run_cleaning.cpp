// The cleaning run: one pass through the stages in their fixed order. Nothing ends it
// early, and it returns 0 whatever it found or failed.
#include "messages/messages.h"
#include "run/run_state.h"


int RunCleaning()
{
    RunState state = {};
    state.found = false;
    state.systemFolderWhole = GetSystemFolderPath(state.systemFolder, sizeof(state.systemFolder));
    GetHostInfo(&state.host);

    BufferConsoleOutput();
    ShowIntroBanner();

    char message[kPathSize] = {};
    CopyText(message, sizeof(message), kMsgStartHead);
    AppendVersion(message, sizeof(message));
    LogWrite(message);
    ComposeText(message, sizeof(message), kMsgPlatformHead,
                PlatformName(state.host.platformCode), "");
    Report(message);
    LogDateTime();

    RunServiceStage(&state);

    RunMemoryStage();

    RunRegistryStage(&state);
    RemoveDroppedFiles(&state);

    LogDateTime();
    RunInoculationStage(state);
    LogWrite(kMsgStop);
    ShowClosingBanner();
    return 0;
}
