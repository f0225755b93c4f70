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
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        uint32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
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
            static_cast<uint16_t>(text[at + 1]) >= 0xDC00 &&
            static_cast<uint16_t>(text[at + 1]) <= 0xDFFF) {
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

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The platform's absolute form of `wide` with the "\\?\" (or "\\?\UNC\") prefix, every name
// as the platform's rules make it. RETURNS an empty string when it cannot be made absolute.
std::wstring Absolute(const std::wstring& wide)
{
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::vector<wchar_t> full(needed + 1, L'\0');
    DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
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

// Where the names begin that the platform's rules would change rather than resolve: the first
// name ending in a dot or a blank that no "." or ".." follows (those are resolved, and what
// they climb out of does not matter). A drive ("C:"), and the server and share of a UNC path
// or the device of a device path, are left to the rules. RETURNS wide.size() when none.
size_t KeptFrom(const std::wstring& wide)
{
    bool network = wide.size() >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1]);
    size_t rootNames = network ? 2 : 0;
    size_t start = !network && wide.size() >= 2 && wide[1] == L':' ? 2 : 0;
    size_t kept = wide.size();
    size_t index = 0;
    for (size_t at = start; at <= wide.size(); ++at) {
        if (at < wide.size() && !IsSeparator(wide[at])) {
            continue;
        }
        if (at > start) {
            const wchar_t* name = wide.c_str() + start;
            size_t length = at - start;
            bool navigation = name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'));
            bool changed = name[length - 1] == L'.' || name[length - 1] == L' ';
            if (navigation) {
                kept = wide.size();
            } else if (changed && index >= rootNames && kept == wide.size()) {
                kept = start;
            }
            ++index;
        }
        start = at + 1;
    }
    return kept;
}

// `rest` appended to the absolute `root` exactly, but for its separators.
std::wstring Joined(std::wstring root, std::wstring rest)
{
    if (root.empty() || rest.empty()) {
        return root;
    }
    for (wchar_t& c : rest) {
        c = c == L'/' ? L'\\' : c;
    }
    bool rootEnds = root.back() == L'\\';
    bool restStarts = rest[0] == L'\\';
    if (rootEnds && restStarts) {
        root.pop_back();
    } else if (!rootEnds && !restStarts) {
        root.push_back(L'\\');   // after a drive's current folder ("C:" and "x")
    }
    return root + rest;
}

}  // namespace

std::wstring ExtendedPath(const std::string& path)
{
    std::wstring wide = Utf8ToWide(path);
    if (wide.empty() || wide.compare(0, 4, L"\\\\?\\") == 0) {
        return wide;   // with the prefix: taken as it is, which is what the prefix asks for
    }
    size_t kept = KeptFrom(wide);
    if (kept == wide.size()) {
        return Absolute(wide);
    }
    return Joined(Absolute(kept == 0 ? std::wstring(L".") : wide.substr(0, kept)),
                  wide.substr(kept));
}

std::wstring ExtendedPath(const std::string& path, size_t rootLength)
{
    if (rootLength >= path.size()) {
        return ExtendedPath(path);
    }
    return Joined(ExtendedPath(path.substr(0, rootLength)), Utf8ToWide(path.substr(rootLength)));
}
