#include "registry/service_key_check.h"

#include "registry/key_deletion.h"
#include "registry/image_path.h"
#include "registry/nt_family.h"
#include "registry/registry.h"
#include "registry/registry_text.h"
#include "run/run.h"

#include <windows.h>

namespace {

// Whether ImagePath (already read, `bytesRead` bytes) is exactly the system folder path
// followed by the row's file name. A system folder path that is unknown or did not fit is
// never matched.
bool ImagePathIsWorm(const BYTE* imagePath, DWORD bytesRead, const char* systemFolder,
                     bool systemFolderWhole, const char* imageFileName)
{
    char expected[kPathSize] = {};
    bool whole = CopyText(expected, sizeof(expected), systemFolder) && systemFolderWhole;
    whole = AppendText(expected, sizeof(expected), imageFileName) && whole;
    if (!whole) {
        return false;
    }
    size_t length = RegistryTextLength(imagePath, kRegistryTextSize, bytesRead);
    return EqualsIgnoringAsciiCase(reinterpret_cast<const char*>(imagePath), length, expected);
}

void DeleteServiceKeys(const ServiceKeyCheck& check)
{
    for (size_t i = 0; i < check.deletionCount; ++i) {
        const ServiceKeyDeletion& deletion = check.deletions[i];
        if (DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, deletion.keyPath) == ERROR_SUCCESS) {
            Report(deletion.message);
        }
    }
}

}  // namespace

int32_t CheckServiceKey(const ServiceKeyCheck& check)
{
    int32_t result = kKeyCheckOtherImage;
    char systemFolder[kPathSize] = {};
    bool systemFolderWhole = GetSystemFolderPath(systemFolder, sizeof(systemFolder));
    if (!RegistryPlatformIsNt()) {
        return kKeyCheckNotNt;
    }
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, check.serviceKey, &key) != ERROR_SUCCESS) {
        return kKeyCheckNoKey;
    }

    BYTE imagePath[kRegistryTextSize] = {};
    DWORD bytesRead = 0;
    if (!ReadImagePath(key, imagePath, &bytesRead)) {
        result = kKeyCheckNoImagePath;
    } else if (RegistryTextLength(imagePath, sizeof(imagePath), bytesRead) == 0) {
        result = kKeyCheckOtherImage;
    } else if (ImagePathIsWorm(imagePath, bytesRead, systemFolder, systemFolderWhole,
                               check.imageFileName)) {
        DeleteServiceKeys(check);   // the key examined is among them, its handle still open
        result = kKeyCheckWorm;
    }

    if (RegCloseKey(key) != ERROR_SUCCESS) {
        result = kKeyCheckCloseFailed;
    }
    return result;
}
