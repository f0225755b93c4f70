// Creates the blocking folders in the system folder. While a folder of one of these names
// stands there, no file of that name can be created in its place.
#include "inoculate/inoculate.h"

#include "messages/messages.h"
#include "run/run.h"

#include <windows.h>

namespace {

struct BlockingFolder {
    const char* name;
    const char* createdMessage;
    const char* notCreatedMessage;
};

const BlockingFolder kWormFolder = {"Krn132.exe", kMsgKrn132FolderCreated,
                                    kMsgKrn132FolderExists};
// The not-created message of this folder has no full stop.
const BlockingFolder kDropperFolder = {"Wqk.exe", kMsgWqkExeFolderCreated,
                                       kMsgWqkExeFolderExists};
const BlockingFolder kLibraryFolder = {"Wqk.dll", kMsgWqkDllFolderCreated,
                                       kMsgWqkDllFolderExists};
const BlockingFolder kVariantCFolder = {"WinSvc.exe", kMsgWinSvcFolderCreated,
                                        kMsgWinSvcFolderExists};

// One folder, reported either way. A path that does not fit its buffer is never created:
// it counts as not created.
void CreateBlockingFolder(const char* systemFolder, bool systemFolderWhole,
                          const BlockingFolder& folder, int32_t* result)
{
    char path[kPathSize] = {};
    bool whole = CopyText(path, sizeof(path), systemFolder) && systemFolderWhole;
    whole = AppendText(path, sizeof(path), folder.name) && whole;
    if (whole && CreateDirectoryA(path, nullptr)) {
        Report(folder.createdMessage);
        *result = kInoculated;
        return;
    }
    Report(folder.notCreatedMessage);
}

}  // namespace

// RETURNS: 0 when at least one folder was created by this call; -1 when none was;
// -3 when the version query failed (only the first two folders were attempted).
int32_t InoculateSystem()
{
    int32_t result = kNothingCreated;
    char systemFolder[kPathSize] = {};
    bool systemFolderWhole = GetSystemFolderPath(systemFolder, sizeof(systemFolder));

    CreateBlockingFolder(systemFolder, systemFolderWhole, kWormFolder, &result);
    CreateBlockingFolder(systemFolder, systemFolderWhole, kDropperFolder, &result);

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) {
        return kInoculateNoVersion;
    }
    // The library folder only from Windows 2000 on.
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4) {
        CreateBlockingFolder(systemFolder, systemFolderWhole, kLibraryFolder, &result);
    }
    CreateBlockingFolder(systemFolder, systemFolderWhole, kVariantCFolder, &result);
    return result;
}
