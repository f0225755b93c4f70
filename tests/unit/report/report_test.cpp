// The outbreak report's portable parts: a machine's status from the facts gathered of its files
// (what the reader makes of the cleaner's logs is tested with the reader); the JSON Lines
// reading; the texts written into CSV and HTML; the log's dates.
#include "report/report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(ReportTest, StatusOfAMachine)
{
    const RunOutcome clean = RunOutcome::kClean, cleaned = RunOutcome::kCleaned,
                     incomplete = RunOutcome::kIncomplete, failed = RunOutcome::kFailed;
    const SweepTally none = {}, moved = {1, 0, 1, 0, 0}, left = {1, 0, 1, 1, 0},
                     unreadPath = {1, 0, 0, 0, 1}, unfinished = {1, 1, 1, 0, 0},
                     shards = {2, 0, 2, 0, 0};
    struct Case {
        const char* name;
        uint32_t runs;
        RunOutcome latest;
        uint32_t launches;
        RunOutcome launcherLatest;
        SweepTally sweeps;
        uint32_t unreadable;
        uint32_t badLines;
        const char* status;
    };
    const Case cases[] = {
        {"the latest run found nothing", 2, clean, 0, clean, none, 0, 0, "clean"},
        {"the latest run found and removed everything", 1, cleaned, 0, clean, none, 0, 0,
         "second-run"},
        {"a removal failed", 1, incomplete, 0, clean, none, 0, 0, "attention"},
        {"the latest run cut short", 2, failed, 0, clean, none, 0, 0, "attention"},
        {"clean log, the launcher's last run failed", 1, clean, 2, failed, none, 0, 0, "attention"},
        {"clean log, the launcher's last run incomplete", 1, clean, 1, incomplete, none, 0, 0,
         "attention"},
        {"the log decides over a launcher's clean", 1, cleaned, 1, clean, none, 0, 0, "second-run"},
        {"a failed launch, then a clean one", 1, clean, 2, clean, none, 0, 0, "clean"},
        {"the launcher alone: cleaned", 0, clean, 1, cleaned, none, 0, 0, "second-run"},
        {"the launcher alone: failed", 0, clean, 1, failed, none, 0, 0, "attention"},
        {"a launcher record not read, nothing else", 0, clean, 0, clean, none, 0, 1, "attention"},
        {"nothing at all (or no run in the log)", 0, clean, 0, clean, none, 0, 0, "no-run"},
        {"a sweep that moved what it found", 0, clean, 0, clean, moved, 0, 0, "clean"},
        {"a sweep that left a copy in place", 0, clean, 0, clean, left, 0, 0, "attention"},
        {"a sweep that could not read a path", 0, clean, 0, clean, unreadPath, 0, 0, "attention"},
        {"a sweep without its summary", 0, clean, 0, clean, unfinished, 0, 0, "attention"},
        {"two shards of a sweep", 0, clean, 0, clean, shards, 0, 0, "clean"},
        {"a clean machine whose sweep left a copy", 1, clean, 0, clean, left, 0, 0, "attention"},
        {"a clean log, another file unreadable", 1, clean, 0, clean, none, 1, 0, "attention"},
        {"a clean log, a line of runs.jsonl not read", 1, clean, 1, clean, none, 0, 1,
         "attention"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MachineFacts facts = {c.runs, c.latest, c.launches, c.launcherLatest,
                              c.unreadable, c.badLines, c.sweeps};
        EXPECT_STREQ(StatusName(StatusOf(facts)), c.status);
    }
}

TEST(ReportTest, JsonLines)
{
    struct Case {
        const char* name;
        std::string line;
        int32_t status;
        size_t members;
    };
    std::string deep = "{\"a\":" + std::string(70, '[') + std::string(70, ']') + "}";
    std::string allowed = "{\"a\":" + std::string(63, '[') + std::string(63, ']') + "}";
    const Case cases[] = {
        {"an object", " {\"a\" : 1 , \"b\":[\"x\",2,{\"c\":null}],\"d\":{\"e\":[true,false]}}\r",
         kJsonOk, 3},
        {"empty object", "{}", kJsonOk, 0},
        {"a name twice is kept twice", "{\"a\":1,\"a\":2}", kJsonOk, 2},
        {"numbers", "{\"a\":-0,\"b\":1.5e-3,\"c\":10E+2}", kJsonOk, 3},
        {"blank", "  \t", kJsonEmpty, 0},
        {"cut", "{\"a\":\"b", kJsonSyntax, 0},
        {"cut after a name", "{\"a\"", kJsonSyntax, 0},
        {"text after the object", "{\"a\":1} x", kJsonSyntax, 0},
        {"two objects", "{}{}", kJsonSyntax, 0},
        {"leading zero", "{\"a\":01}", kJsonSyntax, 0},
        {"bare fraction", "{\"a\":1.}", kJsonSyntax, 0},
        {"a minus alone", "{\"a\":-}", kJsonSyntax, 0},
        {"trailing comma", "{\"a\":1,}", kJsonSyntax, 0},
        {"no colon", "{\"a\" 1}", kJsonSyntax, 0},
        {"a word cut", "{\"a\":tru}", kJsonSyntax, 0},
        {"a raw control character", "{\"a\":\"\x01\"}", kJsonSyntax, 0},
        {"a raw NUL", std::string("{\"a\":\"\0\"}", 9), kJsonSyntax, 0},
        {"an unknown escape", "{\"a\":\"\\x\"}", kJsonSyntax, 0},
        {"a short \\u", "{\"a\":\"\\u12\"}", kJsonSyntax, 0},
        {"a short \\u at the end", "{\"a\":\"\\ud800\\u12", kJsonSyntax, 0},
        {"a byte outside strings", "{\"a\":\xff}", kJsonNotUtf8, 0},
        {"nested too deep", deep, kJsonTooDeep, 0},
        {"nested as deep as allowed", allowed, kJsonOk, 1},
    };
    std::vector<JsonMember> members;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t offset = 0;
        EXPECT_EQ(ReadJsonObject(c.line.data(), c.line.size(), &members, &offset), c.status);
        EXPECT_EQ(members.size(), c.members);
        EXPECT_LE(offset, c.line.size());
    }
    std::string line = "{\"type\":\"found\",\"variants\":[\"A\",1,\"B\"],\"size\":40960}";
    size_t offset = 0;
    ASSERT_EQ(ReadJsonObject(line.data(), line.size(), &members, &offset), kJsonOk);
    const JsonMember* variants = FindJsonMember(members, "variants");
    ASSERT_NE(variants, nullptr);
    EXPECT_EQ(variants->strings, (std::vector<std::string>{"A", "B"}));
    int64_t size = 0;
    EXPECT_TRUE(JsonInteger(*FindJsonMember(members, "size"), &size));
    EXPECT_EQ(size, 40960);
    EXPECT_EQ(FindJsonMember(members, "nothing"), nullptr);
}

TEST(ReportTest, JsonStringsComeBackAsTheirBytes)
{
    struct Case {
        const char* name;
        std::string json;      // the string's JSON text, quotes included
        std::string bytes;
    };
    const Case cases[] = {
        {"surrogateescape", "\"caf\\udce9\"", "caf\xe9"},
        {"a pair", "\"\\ud83d\\ude00\"", "\xf0\x9f\x98\x80"},
        {"a lone high surrogate", "\"\\ud800x\"", "\xed\xa0\x80x"},
        {"a lone low surrogate below the bytes", "\"\\udc7f\"", "\xed\xb1\xbf"},
        {"NUL", "\"a\\u0000b\"", std::string("a\0b", 3)},
        {"escapes", "\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t"},
        {"UTF-8 as it is", "\"\xc3\xa9\xe2\x82\xac\"", "\xc3\xa9\xe2\x82\xac"},
    };
    std::vector<JsonMember> members;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = "{\"s\":" + c.json + "}";
        size_t offset = 0;
        ASSERT_EQ(ReadJsonObject(line.data(), line.size(), &members, &offset), kJsonOk);
        EXPECT_EQ(members[0].text, c.bytes);
    }
    // Whatever AppendJsonString writes reads back as the same bytes.
    const std::string samples[] = {std::string("\x00\x01\x7f\x80\xff", 5), "\xed\xa0\x80",
                                   "\xc0\xaf", "<script>\"x\"</script>", "\xf4\x90\x80\x80",
                                   std::string(300, '\xfe')};
    for (const std::string& bytes : samples) {
        std::string line = "{\"s\":";
        AppendJsonString(&line, bytes);
        line += "}";
        size_t offset = 0;
        ASSERT_EQ(ReadJsonObject(line.data(), line.size(), &members, &offset), kJsonOk) << line;
        EXPECT_EQ(members[0].text, bytes);
    }
    struct Integer {
        const char* text;
        bool valid;
        int64_t value;
    };
    const Integer integers[] = {
        {"9223372036854775807", true, INT64_MAX}, {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},        {"1e3", false, 0},
        {"1.0", false, 0},                        {"-0", true, 0}};
    for (const Integer& integer : integers) {
        JsonMember member = {"n", JsonKind::kNumber, integer.text, {}};
        int64_t value = 7;
        EXPECT_EQ(JsonInteger(member, &value), integer.valid) << integer.text;
        EXPECT_EQ(value, integer.valid ? integer.value : 7) << integer.text;
    }
}

// JSON objects that are no line of a sweep or of the launcher's runs.jsonl (the lines they do
// write are read in the whole-program tests).
TEST(ReportTest, InputLinesRefused)
{
    struct Case {
        const char* name;
        const char* line;
        bool sweep;
    };
    const Case cases[] = {
        {"no type", "{\"path\":\"/a\"}", true},
        {"an unknown type", "{\"type\":\"clean\"}", true},
        {"found without variants", "{\"type\":\"found\",\"path\":\"/a\"}", true},
        {"found, variants not a list",
         "{\"type\":\"found\",\"path\":\"/a\",\"variants\":\"A\"}", true},
        {"found, a negative size",
         "{\"type\":\"found\",\"path\":\"/a\",\"variants\":[\"A\"],\"size\":-1}", true},
        {"found, an unknown action",
         "{\"type\":\"found\",\"path\":\"/a\",\"variants\":[\"A\"],\"action\":\"x\"}", true},
        {"a path that is a number", "{\"type\":\"found\",\"path\":1,\"variants\":[\"A\"]}", true},
        {"a launcher record without outcome", "{\"host\":\"PC\",\"started\":\"s\"}", false},
        {"an exit code as text",
         "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"clean\",\"exit_code\":\"0\"}", false},
        {"an outcome of another kind", "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"CLEAN\"}",
         false},
        {"an outcome the launcher does not write",
         "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"rebooted\",\"exit_code\":1}", false},
    };
    std::vector<JsonMember> members;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t offset = 0;
        ASSERT_EQ(ReadJsonObject(c.line, strlen(c.line), &members, &offset), kJsonOk);
        std::string problem;
        SweepLine line;
        LauncherRecord record;
        EXPECT_FALSE(c.sweep ? ReadSweepLine(members, &line, &problem)
                             : ReadLauncherRecord(members, &record, &problem));
        EXPECT_FALSE(problem.empty());
    }
}

// A byte shown by its value in HTML text.
#define BYTE(hex) "<span class=\"byte\" title=\"a byte shown by its value\">\\x" hex "</span>"

TEST(ReportTest, TextsForCsvAndHtml)
{
    struct Case {
        const char* name;
        std::string text;
        const char* csv;
        const char* html;
    };
    const Case cases[] = {
        {"quotes", "say \"hi\"", "\"say \"\"hi\"\"\"", "say &quot;hi&quot;"},
        {"a line break", "a\r\nb", "\"a\r\nb\"", "a" BYTE("0D") BYTE("0A") "b"},
        {"markup", "<script>alert('x')</script>&", "<script>alert('x')</script>&",
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;"},
        {"a mark that reverses text", "a\xe2\x80\xae" "b", "a\xe2\x80\xae" "b",
         "a" BYTE("E2") BYTE("80") BYTE("AE") "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string csv, html;
        AppendCsvField(&csv, c.text);
        AppendHtmlText(&html, c.text);
        EXPECT_EQ(csv, c.csv);
        EXPECT_EQ(html, c.html);
    }
    // A long text is cut before a character, never inside one.
    std::string cut = JoinBounded(
        {std::string(600, 'a'), std::string(600, 'a') + "\xc3\xa9\xc3\xa9\xc3\xa9"}, 1206);
    EXPECT_EQ(cut.size(), 1205u);
    EXPECT_EQ(cut.substr(1200), "aa...");
    EXPECT_EQ(JoinBounded({"a", "b"}, 10), "a; b");
}

TEST(ReportTest, LogDates)
{
    struct Case {
        const char* text;
        const char* iso;   // nullptr: not a date
        uint32_t day;
    };
    const Case cases[] = {
        {"Wed Apr 03 09:05:03 2002", "2002-04-03T09:05:03", 20020403},
        {"Tue Feb 29 23:59:59 2000", "2000-02-29T23:59:59", 20000229},
        {"Sun Jan 01 00:00:00 1995", "1995-01-01T00:00:00", 19950101},
        {"Thu Feb 29 00:00:00 2001", nullptr, 0},
        {"Wed Apr 31 09:05:03 2002", nullptr, 0},
        {"Wed Apr 03 24:05:03 2002", nullptr, 0},
        {"Wed Apr 03 09:60:03 2002", nullptr, 0},
        {"Wed Xyz 03 09:05:03 2002", nullptr, 0},
        {"Wed Apr 03 09:05:03 20021", nullptr, 0},
        {"Wed Apr 03 09:05:03 2002 ", nullptr, 0},
        {"Wed Apr  3 09:05:03 2002", nullptr, 0},
        {"<date>", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string iso;
        uint32_t day = 0;
        EXPECT_EQ(ParseLogDate(c.text, &iso, &day), c.iso != nullptr);
        if (c.iso != nullptr) {
            EXPECT_EQ(iso, c.iso);
            EXPECT_EQ(day, c.day);
        }
    }
}

}  // namespace
