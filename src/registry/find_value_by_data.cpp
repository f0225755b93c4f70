#include "registry/registry.h"
#include "registry/registry_text.h"
#include "run/run.h"

#include <windows.h>

int32_t FindValueByData(HKEY root, const char* subKey, const char* data, uint32_t* index,
                        char* nameOut)
{
    if (subKey == nullptr || data == nullptr || index == nullptr || nameOut == nullptr) {
        return kFindBadArguments;
    }
    HKEY key = nullptr;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS) {
        return kFindNoKey;
    }

    int32_t result = kFindEnded;
    for (;;) {
        DWORD current = *index;
        *index = current + 1;   // advanced before the read: after a match it names the next
        char name[kRegistryTextSize] = {};
        DWORD nameLength = sizeof(name);
        BYTE value[kRegistryTextSize] = {};
        DWORD valueSize = sizeof(value);
        DWORD type = 0;
        LONG status =
            RegEnumValueA(key, current, name, &nameLength, nullptr, &type, value, &valueSize);
        if (status == ERROR_MORE_DATA) {
            continue;   // too large for the buffers: step over it, the next may be the worm's
        }
        if (status != ERROR_SUCCESS) {
            break;      // no value left, or any other error
        }
        char text[kRegistryTextSize + 1] = {};
        CopyRegistryText(text, sizeof(text), value, sizeof(value), valueSize);
        if (lstrcmpiA(text, data) == 0) {
            name[sizeof(name) - 1] = '\0';
            CopyText(nameOut, kRegistryTextSize, name);
            result = kFindMatch;
            break;
        }
    }
    RegCloseKey(key);
    return result;
}
