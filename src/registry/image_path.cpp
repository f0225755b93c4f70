#include "registry/image_path.h"

#include "registry/registry.h"
#include "registry/registry_text.h"
#include "run/run.h"

#include <cstring>

namespace {

constexpr char kImagePathValue[] = "ImagePath";
constexpr char kObjectPrefix[] = "\\??\\";
constexpr char kSystemRootPrefix[] = "\\SystemRoot\\";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The start of the last component of path[0, length): after its last backslash or slash.
size_t FileNameStart(const char* path, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (IsSeparator(path[i])) {
            start = i + 1;
        }
    }
    return start;
}

bool StartsWithIgnoringAsciiCase(const char* text, const char* prefix)
{
    size_t length = strlen(prefix);
    return strnlen(text, length) == length && EqualsIgnoringAsciiCase(text, length, prefix);
}

// "C:\x", "C:x", "\\server\x", "\x": the path names its drive or root itself.
bool IsRooted(const char* path)
{
    return IsSeparator(path[0]) || (path[0] != '\0' && path[1] == ':');
}

// `relative` placed below the Windows folder or the system folder.
bool ResolveBelow(bool systemFolder, const char* relative, char* path, size_t size)
{
    char folder[kPathSize] = {};
    bool known = systemFolder ? GetSystemFolderPath(folder, sizeof(folder))
                              : GetWindowsFolderPath(folder, sizeof(folder));
    return known && ComposeText(path, size, folder, relative, "");
}

}  // namespace

bool ImagePathProgram(const char* imagePath, size_t length, size_t* start, size_t* count)
{
    if (imagePath == nullptr || start == nullptr || count == nullptr) {
        return false;
    }
    size_t at = 0;
    while (at < length && IsBlank(imagePath[at])) {
        ++at;
    }
    const char* path = imagePath + at;
    size_t rest = length - at;
    if (rest > 0 && path[0] == '"') {
        const void* closing = memchr(path + 1, '"', rest - 1);
        *start = at + 1;
        *count = closing == nullptr
                     ? rest - 1
                     : static_cast<size_t>(static_cast<const char*>(closing) - (path + 1));
        return *count > 0;
    }
    // Unquoted: arguments begin at the first blank after a component with an extension; a
    // path whose components have none names no program.
    for (size_t end = 0; end <= rest; ++end) {
        if (end < rest && !IsBlank(path[end])) {
            continue;
        }
        size_t nameStart = FileNameStart(path, end);
        if (memchr(path + nameStart, '.', end - nameStart) != nullptr) {
            *start = at;
            *count = end;
            return true;
        }
    }
    return false;
}

bool ResolveImagePathProgram(const char* imagePath, size_t length, char* path, size_t size)
{
    if (path == nullptr || size == 0) {
        return false;
    }
    path[0] = '\0';
    size_t start = 0;
    size_t count = 0;
    if (!ImagePathProgram(imagePath, length, &start, &count) || count >= kPathSize ||
        memchr(imagePath + start, '\0', count) != nullptr) {
        return false;
    }
    char program[kPathSize] = {};
    memcpy(program, imagePath + start, count);

    // The size the platform reports includes the terminator; more than the buffer means cut.
    char expanded[kPathSize] = {};
    DWORD needed = ExpandEnvironmentStringsA(program, expanded, sizeof(expanded));
    expanded[sizeof(expanded) - 1] = '\0';
    if (needed == 0 || needed > sizeof(expanded)) {
        return false;
    }

    const char* named = expanded;
    if (StartsWithIgnoringAsciiCase(named, kObjectPrefix)) {
        named += sizeof(kObjectPrefix) - 1;
    }
    if (named[0] == '\0') {
        return false;
    }
    if (StartsWithIgnoringAsciiCase(named, kSystemRootPrefix)) {
        return ResolveBelow(false, named + sizeof(kSystemRootPrefix) - 1, path, size);
    }
    if (IsRooted(named)) {
        return CopyText(path, size, named);
    }
    bool bareName = FileNameStart(named, strlen(named)) == 0;
    return ResolveBelow(bareName, named, path, size);
}

bool ReadImagePath(HKEY key, BYTE* imagePath, DWORD* bytesRead)
{
    memset(imagePath, 0, kRegistryTextSize);
    DWORD type = 0;
    *bytesRead = kRegistryTextSize;
    return RegQueryValueExA(key, kImagePathValue, nullptr, &type, imagePath, bytesRead) ==
           ERROR_SUCCESS;
}
