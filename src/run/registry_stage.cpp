// The registry stage: the start-up values whose data names the worm's or the virus's file
// (each one deleted sets the found flag), then the Run values whose names begin with WINK
// (deleted silently, no found flag).
#include "messages/messages.h"
#include "registry/registry.h"
#include "run/run_state.h"

#include <windows.h>

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";
constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kVirusLibraryName[] = "Wqk.dll";
constexpr char kWinkRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\run";
constexpr char kWinkPrefix[] = "WINK";

// Deletes the Run value whose data is `path`. A path that is not whole is never used as
// registry data: it counts as not found.
bool DeleteRunValueFor(const SystemFilePath& path)
{
    return path.whole &&
           DeleteValueByData(kRootIndexLocalMachine, kRunKey, path.text) == kValueDeleted;
}

void ReportRemoved(RunState* state, const char* finding)
{
    state->found = true;
    Report(finding);
    Report(kMsgRemoved);
}

void DeleteWinkValues()
{
    HKEY run = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinkRunKey, 0, KEY_ALL_ACCESS, &run) !=
        ERROR_SUCCESS) {
        return;
    }
    char lastDeleted[kPrefixNameSize] = {};
    DeleteValuesByPrefix(run, kWinkPrefix, lastDeleted);
    RegCloseKey(run);
}

}  // namespace

void RunRegistryStage(RunState* state)
{
    BuildSystemFilePath(*state, kDroppedFileNames[0], &state->wormFile);
    Report(kMsgRegistryHeader);
    if (DeleteRunValueFor(state->wormFile)) {
        ReportRemoved(state, kMsgRunKrn132Found);
    } else {
        Report(kMsgRunKrn132NotFound);
    }

    BuildSystemFilePath(*state, kDroppedFileNames[1], &state->dropperFile);
    if (DeleteRunValueFor(state->dropperFile)) {
        ReportRemoved(state, kMsgRunWqkFound);
    } else if (DeleteValueByData(kRootIndexLocalMachine, kWindowsKey, kVirusLibraryName) ==
               kValueDeleted) {
        ReportRemoved(state, kMsgAppInitFound);
    }

    BuildSystemFilePath(*state, kDroppedFileNames[3], &state->variantCFile);
    if (DeleteRunValueFor(state->variantCFile)) {
        ReportRemoved(state, kMsgRunWinSvcFound);
    } else {
        Report(kMsgRunWinSvcNotFound);
    }

    DeleteWinkValues();
}
