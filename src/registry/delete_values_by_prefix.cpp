#include "registry/registry.h"
#include "run/run.h"

#include <windows.h>

#include <cstring>

void DeleteValuesByPrefix(HKEY key, const char* prefix, char* lastDeletedOut)
{
    if (prefix == nullptr || prefix[0] == '\0' || lastDeletedOut == nullptr) {
        return;
    }
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    size_t prefixLength = strlen(prefix);
    // From the last value down: deleting value i moves only the values after it, which have
    // been examined already, so every value present now is examined exactly once.
    for (DWORD i = count; i > 0; --i) {
        char name[kPrefixNameSize] = {};
        DWORD nameLength = sizeof(name);
        if (RegEnumValueA(key, i - 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            name[0] = '\0';   // a name that cannot be read never qualifies
        }
        name[sizeof(name) - 1] = '\0';
        DWORD length = static_cast<DWORD>(strlen(name));
        if (length > 0) {
            CharUpperBuffA(name, length);
        }
        if (strncmp(name, prefix, prefixLength) != 0) {
            continue;
        }
        RegDeleteValueA(key, name);   // names are not case-sensitive; outcome not examined
        CopyText(lastDeletedOut, kPrefixNameSize, name);
    }
}
