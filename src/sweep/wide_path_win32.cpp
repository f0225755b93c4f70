#include "sweep/wide_path_win32.h"

#include <windows.h>

#include <cstdint>
#include <vector>

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring wide;
    wide.reserve(text.size());
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    for (size_t at = 0; at < size;) {
        unsigned char lead = bytes[at];
        size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && length <= size - at;
        for (size_t index = 1; valid && index < length; ++index) {
            valid = (bytes[at + index] & 0xC0) == 0x80;
            code = (code << 6) | (bytes[at + index] & 0x3F);
        }
        // No overlong forms and nothing above U+10FFFF; a surrogate stands for itself.
        static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || code < kSmallest[length] || code > 0x10FFFF) {
            wide.push_back(static_cast<wchar_t>(0xFFFD));
            ++at;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(code));
        }
        at += length;
    }
    return wide;
}

std::string WideToUtf8(const wchar_t* text, size_t length)
{
    std::string utf8;
    utf8.reserve(length);
    for (size_t at = 0; at < length; ++at) {
        uint32_t code = static_cast<uint16_t>(text[at]);
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < length &&
            static_cast<uint16_t>(text[at + 1]) >= 0xDC00 && static_cast<uint16_t>(text[at + 1]) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++at]) - 0xDC00);
        }
        if (code < 0x80) {
            utf8.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {   // a lone surrogate too, as three bytes
            utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

std::wstring ExtendedPath(const std::string& path)
{
    std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) {
        return wide;
    }
    if (wide.compare(0, 4, L"\\\\?\\") == 0) {
        return wide;   // taken as it is: that is what the prefix asks for
    }
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::vector<wchar_t> full(needed + 1, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        return std::wstring();
    }
    std::wstring absolute(full.data(), length);
    if (absolute.compare(0, 4, L"\\\\?\\") == 0) {
        return absolute;
    }
    if (absolute.compare(0, 4, L"\\\\.\\") == 0) {
        // A device path ("\\.\Z:\", "\\.\GLOBALROOT\...") stays one, but every call would
        // normalise it again and strip a name's trailing dots: "\\?\" reaches the same object
        // without that.
        return L"\\\\?\\" + absolute.substr(4);
    }
    if (absolute.compare(0, 2, L"\\\\") == 0) {
        return L"\\\\?\\UNC\\" + absolute.substr(2);
    }
    return L"\\\\?\\" + absolute;
}

std::wstring ExtendedPath(const std::string& path, size_t rootLength)
{
    if (rootLength >= path.size()) {
        return ExtendedPath(path);
    }
    std::wstring wide = ExtendedPath(path.substr(0, rootLength));
    std::wstring rest = Utf8ToWide(path.substr(rootLength));
    if (wide.empty()) {
        return wide;
    }
    bool rootEnds = wide.back() == L'\\';
    bool restStarts = rest[0] == L'\\' || rest[0] == L'/';
    if (rootEnds && restStarts) {
        wide.pop_back();
    } else if (!rootEnds && !restStarts) {
        wide.push_back(L'\\');   // after a drive's current folder ("C:" and "x")
    }
    return wide + rest;
}
