#include "registry/registry_text.h"

#include <cstring>

size_t RegistryTextLength(const BYTE* data, size_t bufferSize, DWORD bytesRead)
{
    if (data == nullptr) {
        return 0;
    }
    size_t have = bytesRead < bufferSize ? bytesRead : bufferSize;
    const void* zero = memchr(data, 0, have);
    return zero == nullptr ? have : static_cast<size_t>(static_cast<const BYTE*>(zero) - data);
}

bool CopyRegistryText(char* out, size_t outSize, const BYTE* data, size_t bufferSize,
                      DWORD bytesRead)
{
    if (out == nullptr || outSize == 0) {
        return false;
    }
    out[0] = '\0';
    size_t length = RegistryTextLength(data, bufferSize, bytesRead);
    if (length >= outSize) {
        return false;
    }
    if (length > 0) {
        memcpy(out, data, length);
    }
    out[length] = '\0';
    return true;
}

namespace {

char AsciiUpper(char letter)
{
    return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const char* text, size_t length, const char* expected)
{
    if (text == nullptr || expected == nullptr) {
        return false;
    }
    size_t i = 0;
    for (; i < length; ++i) {
        if (expected[i] == '\0' || AsciiUpper(text[i]) != AsciiUpper(expected[i])) {
            return false;
        }
    }
    return expected[i] == '\0';
}
