#include "registry/key_deletion.h"
#include "registry/registry.h"

#include <windows.h>

int32_t DeleteValueByData(int32_t rootIndex, const char* subKey, const char* data)
{
    if (subKey == nullptr || subKey[0] == '\0' || data == nullptr || data[0] == '\0') {
        return kValueBadArguments;
    }
    HKEY root = RootKeyFromIndex(rootIndex);
    if (root == nullptr) {
        return kValueBadRoot;
    }
    uint32_t index = 0;
    char foundName[kRegistryTextSize] = {};
    if (FindValueByData(root, subKey, data, &index, foundName) != kFindMatch) {
        return kValueNotFound;
    }
    DeleteKeyValue(root, subKey, foundName);   // a refused deletion still counts as found
    return kValueDeleted;
}
