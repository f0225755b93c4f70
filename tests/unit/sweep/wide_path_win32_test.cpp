// Names between the platform's UTF-16 and the sweep's UTF-8: every name comes back as it was,
// a lone surrogate included, so a file listed can be opened again by its printed path. (Wine 8
// cannot store such a name in a host file system, so this is not tried on a real file.)
#include "sweep/wide_path_win32.h"

#include <gtest/gtest.h>

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

}  // namespace
