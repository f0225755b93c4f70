// UTF-8 paths as the sweep prints them, and the wide "\\?\" paths the platform is called
// with, so that paths longer than 260 characters work. The conversions keep a lone
// surrogate of a file name as its own three bytes (the generalised UTF-8 called WTF-8), so
// that every name the platform lists can be opened again from its printed form.
#pragma once

#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const wchar_t* text, size_t length);
// A path as given, made absolute by the platform's rules (the current folder, "..", a device
// path), with the "\\?\" (or "\\?\UNC\") prefix; but a name that ends in a dot or a blank
// is kept as it is, with what follows it, since those rules would drop the dot and so name
// another file ("worm.exe" for "worm.exe."). A path with the prefix is taken as it is. RETURNS
// an empty string when the path cannot be made absolute.
std::wstring ExtendedPath(const std::string& path);
// A path whose first `rootLength` bytes are a path as given (made absolute as above) and whose
// rest the walk appended from names as the platform listed them: the rest is kept exactly, so
// that every name listed ("worm.exe.", "dotdir.\x", "con") is that file and no other.
std::wstring ExtendedPath(const std::string& path, size_t rootLength);
