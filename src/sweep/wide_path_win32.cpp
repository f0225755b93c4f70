#include "sweep/wide_path_win32.h"

#include <windows.h>

#include <vector>

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty()) {
        return std::wstring();
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string WideToUtf8(const wchar_t* text, size_t length)
{
    if (length == 0) {
        return std::string();
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::wstring ExtendedPath(const std::string& path)
{
    std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) {
        return wide;
    }
    if (wide.compare(0, 4, L"\\\\?\\") == 0) {
        return wide;
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
    if (absolute.compare(0, 2, L"\\\\") == 0) {
        return L"\\\\?\\UNC\\" + absolute.substr(2);
    }
    return L"\\\\?\\" + absolute;
}
