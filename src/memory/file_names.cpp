#include "memory/memory.h"

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char kVirusFileName[] = "wqk.exe";

}  // namespace

// The search is byte by byte for the backslash (0x5C).
const char* FileBaseName(const char* path)
{
    if (path == nullptr) {
        return nullptr;
    }
    const char* name = nullptr;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\') {
            name = at + 1;
        }
    }
    return name;
}

// Only the ASCII letters A to Z are folded; every other byte must be equal.
bool IsVirusFileName(const char* name)
{
    if (name == nullptr) {
        return false;
    }
    size_t i = 0;
    for (; kVirusFileName[i] != '\0'; ++i) {
        if (LowerAscii(name[i]) != kVirusFileName[i]) {   // also stops at name's terminator
            return false;
        }
    }
    return name[i] == '\0';
}
