// UTF-8 paths as the sweep prints them, and the wide "\\?\" paths the platform is called
// with, so that paths longer than 260 characters work. The conversions keep a lone
// surrogate of a file name as its own three bytes (the generalised UTF-8 called WTF-8), so
// that every name the platform lists can be opened again from its printed form.
#pragma once

#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const wchar_t* text, size_t length);
// The absolute wide path with the "\\?\" (or "\\?\UNC\") prefix. RETURNS an empty string
// when the path cannot be made absolute.
std::wstring ExtendedPath(const std::string& path);
