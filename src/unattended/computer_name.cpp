// The computer's name, for the results folder and the run's record. A name is used in a path
// only as SafeFolderName makes it.
#include "unattended/unattended.h"

#include <windows.h>

#include <cstring>

namespace {

const char kUnknownName[] = "UNKNOWN";

// The names Windows keeps for devices, whatever follows a '.' and in any letter case.
const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$"};

char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The part before the first '.' equals `device`, letter case ignored.
bool StemIs(const char* name, const char* device)
{
    size_t i = 0;
    for (; device[i] != '\0'; ++i) {
        if (UpperAscii(name[i]) != device[i]) {
            return false;
        }
    }
    return name[i] == '\0' || name[i] == '.';
}

bool IsDeviceName(const char* name)
{
    for (const char* device : kDeviceNames) {
        if (StemIs(name, device)) {
            return true;
        }
    }
    char first[4] = {UpperAscii(name[0]), UpperAscii(name[0] ? name[1] : '\0'),
                     UpperAscii(name[0] && name[1] ? name[2] : '\0'), '\0'};
    bool numbered = strcmp(first, "COM") == 0 || strcmp(first, "LPT") == 0;
    return numbered && name[3] >= '0' && name[3] <= '9' && (name[4] == '\0' || name[4] == '.');
}

bool IsKept(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_' || c == '.';
}

}  // namespace

void GetComputerNameText(char* out, size_t size)
{
    if (out == nullptr || size == 0) {
        return;
    }
    char name[kComputerNameSize] = {};
    DWORD length = sizeof(name);
    if (!GetComputerNameA(name, &length) || length == 0 || length >= sizeof(name)) {
        name[0] = '\0';
    }
    name[sizeof(name) - 1] = '\0';
    const char* text = name[0] != '\0' ? name : kUnknownName;
    size_t copied = strnlen(text, size - 1);
    memcpy(out, text, copied);
    out[copied] = '\0';
}

void SafeFolderName(const char* name, char* out, size_t size)
{
    if (out == nullptr || size == 0) {
        return;
    }
    size_t used = 0;
    bool device = name != nullptr && IsDeviceName(name);
    if (device && used + 1 < size) {
        out[used++] = '_';
    }
    for (size_t i = 0; name != nullptr && name[i] != '\0' && used + 1 < size; ++i) {
        out[used++] = IsKept(name[i]) ? name[i] : '_';
    }
    // No leading or trailing dot: ".", ".." and "name." are not folder names of their own.
    if (used > 0 && out[0] == '.') {
        out[0] = '_';
    }
    if (used > 0 && out[used - 1] == '.') {
        out[used - 1] = '_';
    }
    if (used == 0) {
        size_t length = strnlen(kUnknownName, size - 1);
        memcpy(out, kUnknownName, length);
        used = length;
    }
    out[used] = '\0';
}
