// Names between the platform's UTF-16 and the sweep's UTF-8: every name comes back as it was,
// a lone surrogate included, so a file listed can be opened again by its printed path. (Wine 8
// cannot store such a name in a host file system, so this is not tried on a real file.)
#include "sweep/late_imports_win32.h"
#include "sweep/wide_path_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(WidePathTest, RoundTrips)
{
    struct Case {
        const char* name;
        std::wstring wide;
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII", L"C:\\a b.exe", "C:\\a b.exe"},
        {"two and three bytes", L"\u00fc\u20ac", "\xc3\xbc\xe2\x82\xac"},
        {"a pair: four bytes", std::wstring(L"\xd83d\xde00"), "\xf0\x9f\x98\x80"},
        {"a lone high surrogate", std::wstring(L"a\xd800z"), "a\xed\xa0\x80z"},
        {"a lone low surrogate at the end", std::wstring(L"a\xdfff"), "a\xed\xbf\xbf"},
        {"low before high is no pair", std::wstring(L"\xdc00\xd800"), "\xed\xb0\x80\xed\xa0\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.utf8, WideToUtf8(c.wide.data(), c.wide.size()));
        EXPECT_TRUE(c.wide == Utf8ToWide(c.utf8));
    }
    // Bytes that are no UTF-8 at all (only ever typed, never listed) become U+FFFD each.
    EXPECT_TRUE(std::wstring(L"a\xfffd\xfffd\xfffd" L"z") == Utf8ToWide("a\xff\xc0\xaf" "z"));
}

// The platform's rules make a path absolute, but never drop a name's trailing dots or blanks,
// which would name another file; what the walk appended from a listing is kept exactly.
TEST(WidePathTest, WalkedNamesStayAsListed)
{
    wchar_t current[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::wstring here = std::wstring(L"\\\\?\\") + current;
    struct Case {
        const char* path;
        size_t rootLength;
        std::wstring wide;
    };
    const Case cases[] = {
        {"C:\\sweep\\worm.exe.", 8, L"\\\\?\\C:\\sweep\\worm.exe."},
        {"C:\\sweep\\worm2.exe ", 8, L"\\\\?\\C:\\sweep\\worm2.exe "},
        {"C:\\sweep\\dotdir.\\worm.exe", 8, L"\\\\?\\C:\\sweep\\dotdir.\\worm.exe"},
        {"C:\\sweep\\..\\sweep.\\x.", 18, L"\\\\?\\C:\\sweep.\\x."},
        {"C:\\sweep\\worm.exe.", std::string::npos, L"\\\\?\\C:\\sweep\\worm.exe."},   // all given
        {"C:/sweep/dotdir./../worm2.exe ", std::string::npos, L"\\\\?\\C:\\sweep\\worm2.exe "},
        {"C:\\sweep\\.\\con", std::string::npos, L"\\\\?\\con"},   // given: a device, by the rules
        {"C:\\sweep\\con", 8, L"\\\\?\\C:\\sweep\\con"},   // listed: that file
        {"C:\\x.", 3, L"\\\\?\\C:\\x."},
        {"\\\\.\\Z:\\d\\e.", 8, L"\\\\?\\Z:\\d\\e."},   // a device path stays on its device
        {"\\\\.\\Z:\\", std::string::npos, L"\\\\?\\Z:\\"},
        {"\\\\server\\share\\a.", 14, L"\\\\?\\UNC\\server\\share\\a."},
        {"\\\\?\\C:\\a.\\b.", 9, L"\\\\?\\C:\\a.\\b."},
        {"C:x.", 2, here + L"\\x."},   // a drive's current folder
        {"C:x.", std::string::npos, here + L"\\x."},
        {"sub.\\x.", 4, here + L"\\sub.\\x."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::wstring wide = ExtendedPath(c.path, c.rootLength);
        EXPECT_TRUE(c.wide == wide) << WideToUtf8(wide.data(), wide.size());
    }
}

// The millisecond count the program hands the C++ runtime on systems without GetTickCount64.
TEST(LateImportsTest, TickCountCarriesWraps)
{
    struct Case {
        const char* name;
        uint64_t last;
        uint32_t now;
        uint64_t next;
    };
    const Case cases[] = {
        {"the first reading", 0, 0xFFFFFF00u, 0xFFFFFF00u},
        {"forward", 0x100000010ull, 0x20, 0x100000020ull},
        {"across a wrap", 0x1FFFFFFF0ull, 0x10, 0x200000010ull},
        {"behind a later one handed out", 0x100000020ull, 0x10, 0x100000020ull},
        {"behind, across a wrap", 0x200000010ull, 0xFFFFFFF0u, 0x200000010ull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.next, NextTickCount(c.last, c.now));
    }
}

}  // namespace
