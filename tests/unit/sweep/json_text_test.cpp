// JSON strings from path bytes: valid UTF-8 kept, controls escaped, each byte of an invalid
// sequence as "\udcXX", so every line stays valid JSON and the bytes can be had back.
#include "sweep/sweep.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonTextTest, Escapes)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* json;
    };
    const Case cases[] = {
        {"plain", "C:\\dir/a b.exe", "\"C:\\\\dir/a b.exe\""},
        {"quote", "a\"b", "\"a\\\"b\""},
        {"controls", std::string("\n\t\r\b\f\x01\x1f\x7f", 8), "\"\\n\\t\\r\\b\\f\\u0001\\u001f\\u007f\""},
        {"zero byte", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"valid two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
         "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
        {"lone continuation byte", "a\x80z", "\"a\\udc80z\""},
        {"Latin-1 e acute", "caf\xe9", "\"caf\\udce9\""},
        {"truncated sequence at the end", "a\xe2\x82", "\"a\\udce2\\udc82\""},
        {"overlong slash", "\xc0\xaf", "\"\\udcc0\\udcaf\""},
        {"encoded surrogate", "\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""},
        {"invalid lead then valid", "\xff\xc3\xa9", "\"\\udcff\xc3\xa9\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        AppendJsonString(&out, c.bytes);
        EXPECT_EQ(c.json, out);
    }
}

}  // namespace
