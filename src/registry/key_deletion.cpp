#include "registry/key_deletion.h"

#include "run/system_library.h"

namespace {

using SHDeleteKeyAFn = DWORD(WINAPI*)(HKEY root, const char* path);
using SHDeleteValueAFn = DWORD(WINAPI*)(HKEY root, const char* subKey, const char* valueName);

constexpr char kShellLibrary[] = "SHLWAPI.DLL";
// Key names have at most 255 characters; the registry nests keys at most 512 deep.
constexpr DWORD kKeyNameSize = 256;
constexpr int kMaxKeyDepth = 512;

// Deletes parent\name after every subkey below it, deepest first. Each subkey present when
// the key is opened is tried once, from the last down, so deletions shift nothing still to
// come; one that cannot be deleted leaves its parent in place (RegDeleteKeyA then fails).
LONG DeleteSubkeysThenKey(HKEY parent, const char* name, int depth)
{
    if (depth > kMaxKeyDepth) {
        return ERROR_BADKEY;
    }
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, name, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        subkeys = 0;   // RegDeleteKeyA below tells whether any are left
    }
    for (DWORD i = subkeys; i > 0; --i) {
        char subkey[kKeyNameSize] = {};
        if (RegEnumKeyA(key, i - 1, subkey, sizeof(subkey)) == ERROR_SUCCESS) {
            subkey[sizeof(subkey) - 1] = '\0';
            DeleteSubkeysThenKey(key, subkey, depth + 1);
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

LONG DeleteValueWithRegistry(HKEY root, const char* subKey, const char* valueName)
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(root, subKey, 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return status;
}

}  // namespace

LONG DeleteKeyWithSubkeys(HKEY root, const char* path)
{
    if (path == nullptr || path[0] == '\0') {
        return ERROR_BADKEY;   // never the root itself
    }
    HMODULE shell = LoadSystemLibrary(kShellLibrary);
    SHDeleteKeyAFn shellDelete =
        shell != nullptr ? LookUpEntryPoint<SHDeleteKeyAFn>(shell, "SHDeleteKeyA") : nullptr;
    LONG status = shellDelete != nullptr ? static_cast<LONG>(shellDelete(root, path))
                                         : DeleteSubkeysThenKey(root, path, 0);
    if (shell != nullptr) {
        FreeLibrary(shell);
    }
    return status;
}

LONG DeleteKeyValue(HKEY root, const char* subKey, const char* valueName)
{
    if (subKey == nullptr || valueName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    HMODULE shell = LoadSystemLibrary(kShellLibrary);
    SHDeleteValueAFn shellDelete =
        shell != nullptr ? LookUpEntryPoint<SHDeleteValueAFn>(shell, "SHDeleteValueA") : nullptr;
    LONG status = shellDelete != nullptr ? static_cast<LONG>(shellDelete(root, subKey, valueName))
                                         : DeleteValueWithRegistry(root, subKey, valueName);
    if (shell != nullptr) {
        FreeLibrary(shell);
    }
    return status;
}
