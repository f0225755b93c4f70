#include "registry/image_path.h"

#include "registry/registry.h"
#include "registry/registry_text.h"

#include <cstring>

namespace {

constexpr char kImagePathValue[] = "ImagePath";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The start of the last component of path[0, length): after its last backslash or slash.
size_t FileNameStart(const char* path, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (path[i] == '\\' || path[i] == '/') {
            start = i + 1;
        }
    }
    return start;
}

bool PathNamesFile(const char* path, size_t length, const char* fileName)
{
    size_t start = FileNameStart(path, length);
    return EqualsIgnoringAsciiCase(path + start, length - start, fileName);
}

}  // namespace

bool ImagePathNamesFile(const char* imagePath, size_t length, const char* fileName)
{
    if (imagePath == nullptr || fileName == nullptr || fileName[0] == '\0') {
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
        size_t inside = closing == nullptr
                            ? rest - 1
                            : static_cast<size_t>(static_cast<const char*>(closing) - (path + 1));
        return PathNamesFile(path + 1, inside, fileName);
    }
    // Unquoted: arguments begin at the first blank after a component with an extension, so
    // "C:\Program Files\x.exe -k" runs x.exe; a path whose components have none names no file.
    for (size_t end = 0; end <= rest; ++end) {
        if (end < rest && !IsBlank(path[end])) {
            continue;
        }
        size_t start = FileNameStart(path, end);
        if (memchr(path + start, '.', end - start) != nullptr) {
            return PathNamesFile(path, end, fileName);
        }
    }
    return false;
}

bool ReadImagePath(HKEY key, BYTE* imagePath, DWORD* bytesRead)
{
    memset(imagePath, 0, kRegistryTextSize);
    DWORD type = 0;
    *bytesRead = kRegistryTextSize;
    return RegQueryValueExA(key, kImagePathValue, nullptr, &type, imagePath, bytesRead) ==
           ERROR_SUCCESS;
}
