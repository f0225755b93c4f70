// The outbreak report's portable parts: a machine's status from its logs, the launcher's
// records and its sweeps (the scenarios' expected logs, read as the report reads them); the
// JSON Lines reading; the texts written into CSV and HTML; the log's dates.
#include "report/report.h"
#include "support/scenario_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Machine {
    MachineFacts facts;
    RunRecord latest;
};

void TakeRun(void* context, const RunRecord& run)
{
    Machine* machine = static_cast<Machine*>(context);
    ++machine->facts.runs;
    machine->facts.latest = ClassifyRun(run);
    machine->latest = run;
}

// The facts of a machine as the report gathers them from its files.
Machine Read(const std::string& log, const std::vector<std::string>& launcher,
             const std::vector<std::string>& sweep, uint32_t unreadable)
{
    Machine machine = {};
    LogReader* reader = new LogReader;
    StartReading(reader, TakeRun, &machine, 0);
    ReadLogBytes(reader, log.data(), log.size());
    FinishReading(reader);
    delete reader;
    std::vector<JsonMember> members;
    size_t offset = 0;
    for (const std::string& line : launcher) {
        LauncherRecord record;
        std::string problem;
        if (ReadJsonObject(line.data(), line.size(), &members, &offset) == kJsonOk &&
            ReadLauncherRecord(members, &record, &problem)) {
            ++machine.facts.launches;
            machine.facts.launcherLatest = record.outcome;
        } else {
            ++machine.facts.badLines;
        }
    }
    bool lastWasSummary = false;
    for (const std::string& text : sweep) {
        SweepLine line;
        std::string problem;
        if (ReadJsonObject(text.data(), text.size(), &members, &offset) != kJsonOk ||
            !ReadSweepLine(members, &line, &problem)) {
            ++machine.facts.badLines;
            continue;
        }
        SweepTally& tally = machine.facts.sweeps;
        tally.files = 1;
        lastWasSummary = line.kind == SweepLineKind::kSummary;
        tally.errors += line.kind == SweepLineKind::kError ? 1 : 0;
        if (line.kind == SweepLineKind::kFound) {
            ++tally.found;
            tally.leftInPlace += line.action.empty() || line.action == "failed" ? 1 : 0;
        }
    }
    machine.facts.sweeps.unfinished = !sweep.empty() && !lastWasSummary ? 1 : 0;
    machine.facts.unreadable = unreadable;
    return machine;
}

std::string Launch(const char* outcome)
{
    return std::string("{\"host\":\"PC\",\"started\":\"2026-12-07T15:30:12Z\",\"outcome\":\"") +
           outcome + "\",\"exit_code\":1}";
}

const char kFoundMoved[] =
    "{\"type\":\"found\",\"path\":\"/srv/a.exe\",\"size\":40960,\"variants\":[\"TROJ_VORN.A\"],"
    "\"action\":\"moved\",\"quarantine\":\"q.vir\"}";
const char kFoundLeft[] =
    "{\"type\":\"found\",\"path\":\"/srv/b.exe\",\"size\":1,\"variants\":[\"TROJ_VORN.C\"]}";
const char kSweepError[] =
    "{\"type\":\"error\",\"path\":\"/srv/private\",\"error\":\"Permission denied\"}";
const char kSummary[] = "{\"type\":\"summary\",\"scanned\":3,\"found\":1,\"errors\":0}";

TEST(ReportTest, StatusOfAMachine)
{
    ASSERT_NE(getenv("PURGEKIT_SCENARIOS"), nullptr) << "PURGEKIT_SCENARIOS is not set";
    std::string typical = ScenarioExpectedText("typical-infection-winxp/expected-log.txt");
    std::string cleaned = ScenarioExpectedText("memory-variant-a/expected-log.txt");
    std::string clean = ScenarioExpectedText("clean-nt351/expected-log.txt");
    size_t second = typical.find("Start :", typical.find("Start :") + 1);
    struct Case {
        const char* name;
        std::string log;
        std::vector<std::string> launcher;
        std::vector<std::string> sweep;
        uint32_t unreadable;
        MachineStatus status;
        uint32_t runs;
        const char* found;
    };
    const Case cases[] = {
        {"the second run after the reboot found nothing",
         typical,
         {},
         {},
         0,
         MachineStatus::kClean,
         2,
         ""},
        {"the first run found and removed everything",
         ScenarioExpectedText("typical-infection-winxp/expected-stdout-1.txt"),
         {},
         {},
         0,
         MachineStatus::kSecondRun,
         1,
         "services KernelSvc, Krn132; TROJ_VORN.A processes 1; start-up values Run\\krn132; "
         "inoculated"},
        {"a dropped file could not be deleted",
         ScenarioExpectedText("dropped-files/expected-log.txt"),
         {},
         {},
         0,
         MachineStatus::kAttention,
         1,
         "dropped files krn132.exe, wqk.dll"},
        {"the 95 family: the worm not ended",
         ScenarioExpectedText("typical-infection-win95/expected-log.txt"),
         {},
         {},
         0,
         MachineStatus::kAttention,
         1,
         nullptr},
        {"cut inside the second run",
         typical.substr(0, second + 200),
         {},
         {},
         0,
         MachineStatus::kAttention,
         2,
         ""},
        {"cut inside a line of the only run",
         cleaned.substr(0, cleaned.find("found TROJ_VORN.A") + 9),
         {},
         {},
         0,
         MachineStatus::kAttention,
         1,
         nullptr},
        {"clean log, the launcher's last run failed",
         clean,
         {Launch("clean"), Launch("failed")},
         {},
         0,
         MachineStatus::kAttention,
         1,
         ""},
        {"clean log, the launcher's last run incomplete",
         clean,
         {Launch("incomplete")},
         {},
         0,
         MachineStatus::kAttention,
         1,
         ""},
        {"the log decides over a launcher's clean",
         cleaned,
         {Launch("clean")},
         {},
         0,
         MachineStatus::kSecondRun,
         1,
         "TROJ_VORN.A processes 2"},
        {"a failed launch, then a clean one",
         clean,
         {Launch("failed"), Launch("clean")},
         {},
         0,
         MachineStatus::kClean,
         1,
         ""},
        {"the launcher alone: cleaned",
         "",
         {Launch("cleaned")},
         {},
         0,
         MachineStatus::kSecondRun,
         0,
         nullptr},
        {"the launcher alone: failed",
         "",
         {Launch("failed")},
         {},
         0,
         MachineStatus::kAttention,
         0,
         nullptr},
        {"a launcher record of another kind is not read",
         "",
         {Launch("rebooted")},
         {},
         0,
         MachineStatus::kAttention,
         0,
         nullptr},
        {"nothing at all", "", {}, {}, 0, MachineStatus::kNoRun, 0, nullptr},
        {"text that is not the cleaner's",
         std::string("MZ\x90\0\x03\0\0\0garbage\r\n", 17),
         {},
         {},
         0,
         MachineStatus::kNoRun,
         0,
         nullptr},
        {"a sweep that moved what it found",
         "",
         {},
         {kFoundMoved, kSummary},
         0,
         MachineStatus::kClean,
         0,
         nullptr},
        {"a sweep that left a copy in place",
         "",
         {},
         {kFoundLeft, kSummary},
         0,
         MachineStatus::kAttention,
         0,
         nullptr},
        {"a sweep that could not read a path",
         "",
         {},
         {kSweepError, kSummary},
         0,
         MachineStatus::kAttention,
         0,
         nullptr},
        {"a sweep without its summary",
         "",
         {},
         {kFoundMoved},
         0,
         MachineStatus::kAttention,
         0,
         nullptr},
        {"two shards of a sweep",
         "",
         {},
         {kFoundMoved, kSummary, kFoundMoved, kSummary},
         0,
         MachineStatus::kClean,
         0,
         nullptr},
        {"a clean machine whose sweep left a copy",
         clean,
         {},
         {kFoundLeft, kSummary},
         0,
         MachineStatus::kAttention,
         1,
         ""},
        {"a clean log, another file unreadable",
         clean,
         {},
         {},
         1,
         MachineStatus::kAttention,
         1,
         ""},
        {"a clean log, a line of runs.jsonl not read",
         clean,
         {Launch("clean"), "{\"host\":"},
         {},
         0,
         MachineStatus::kAttention,
         1,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine = Read(c.log, c.launcher, c.sweep, c.unreadable);
        EXPECT_EQ(StatusName(StatusOf(machine.facts)), std::string(StatusName(c.status)));
        EXPECT_EQ(machine.facts.runs, c.runs);
        if (c.found != nullptr) {
            EXPECT_EQ(FoundText(machine.latest), c.found);
        }
    }
}

TEST(ReportTest, FailuresOfARun)
{
    std::string log = ScenarioExpectedText("dropped-files/expected-log.txt");
    Machine machine = Read(log.substr(0, log.rfind("Stop")), {}, {}, 0);
    std::vector<std::string> texts;
    AppendFailureTexts(machine.latest, &texts);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "dropped file not deleted: C:\\windows\\system32\\wqk.dll");
    EXPECT_EQ(texts[1], "cut short: the run has no end");
    EXPECT_STREQ(DroppedText(machine.latest, 2), "delete failed");
    // A run after the inoculation: its "delete failed" lines are the blocking folders.
    Machine typical =
        Read(ScenarioExpectedText("typical-infection-winxp/expected-log.txt"), {}, {}, 0);
    EXPECT_STREQ(DroppedText(typical.latest, 3), "blocking folder");
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
        {"an array", "[1]", kJsonNotObject, 0},
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
        {"Latin-1 in a string", "{\"a\":\"caf\xe9\"}", kJsonNotUtf8, 0},
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
    const std::string samples[] = {std::string("\x00\x01\x7f\x80\xff", 5),
                                   "\xed\xa0\x80",
                                   "\xc0\xaf",
                                   "<script>\"x\"</script>",
                                   "\xf4\x90\x80\x80",
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
    const Integer integers[] = {{"9223372036854775807", true, INT64_MAX},
                                {"-9223372036854775808", true, INT64_MIN},
                                {"9223372036854775808", false, 0},
                                {"1e3", false, 0},
                                {"1.0", false, 0},
                                {"-0", true, 0}};
    for (const Integer& integer : integers) {
        JsonMember member = {"n", JsonKind::kNumber, integer.text, {}};
        int64_t value = 7;
        EXPECT_EQ(JsonInteger(member, &value), integer.valid) << integer.text;
        EXPECT_EQ(value, integer.valid ? integer.value : 7) << integer.text;
    }
}

TEST(ReportTest, InputLines)
{
    struct Case {
        const char* name;
        const char* line;
        bool sweep;
        bool valid;
    };
    const Case cases[] = {
        {"found, moved", kFoundMoved, true, true},
        {"found, no action", kFoundLeft, true, true},
        {"an error", kSweepError, true, true},
        {"a summary", kSummary, true, true},
        {"no type", "{\"path\":\"/a\"}", true, false},
        {"an unknown type", "{\"type\":\"clean\"}", true, false},
        {"found without variants", "{\"type\":\"found\",\"path\":\"/a\"}", true, false},
        {"found, variants not a list", "{\"type\":\"found\",\"path\":\"/a\",\"variants\":\"A\"}",
         true, false},
        {"found, a negative size",
         "{\"type\":\"found\",\"path\":\"/a\",\"variants\":[\"A\"],\"size\":-1}", true, false},
        {"found, an unknown action",
         "{\"type\":\"found\",\"path\":\"/a\",\"variants\":[\"A\"],\"action\":\"x\"}", true, false},
        {"a path that is a number", "{\"type\":\"found\",\"path\":1,\"variants\":[\"A\"]}", true,
         false},
        {"a launcher record",
         "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"cleaned\",\"exit_code\":3010}", false,
         true},
        {"a launcher record without outcome", "{\"host\":\"PC\",\"started\":\"s\"}", false, false},
        {"an exit code as text",
         "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"clean\",\"exit_code\":\"0\"}", false,
         false},
        {"an outcome of another kind", "{\"host\":\"PC\",\"started\":\"s\",\"outcome\":\"CLEAN\"}",
         false, false},
    };
    std::vector<JsonMember> members;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t offset = 0;
        ASSERT_EQ(ReadJsonObject(c.line, strlen(c.line), &members, &offset), kJsonOk);
        std::string problem;
        SweepLine line;
        LauncherRecord record;
        bool valid = c.sweep ? ReadSweepLine(members, &line, &problem)
                             : ReadLauncherRecord(members, &record, &problem);
        EXPECT_EQ(valid, c.valid);
        EXPECT_EQ(problem.empty(), c.valid) << problem;
    }
}

TEST(ReportTest, TextsForCsvAndHtml)
{
    struct Case {
        const char* name;
        std::string text;
        const char* csv;
        const char* html;
    };
    const Case cases[] = {
        {"plain", "PC-017", "PC-017", "PC-017"},
        {"a comma", "a,b", "\"a,b\"", "a,b"},
        {"quotes", "say \"hi\"", "\"say \"\"hi\"\"\"", "say &quot;hi&quot;"},
        {"a line break", "a\r\nb", "\"a\r\nb\"",
         "a<span class=\"byte\" title=\"a byte shown by its value\">\\x0D</span>"
         "<span class=\"byte\" title=\"a byte shown by its value\">\\x0A</span>b"},
        {"markup", "<script>alert('x')</script>&", "<script>alert('x')</script>&",
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;"},
        {"not UTF-8", "caf\xe9", "caf\xe9",
         "caf<span class=\"byte\" title=\"a byte shown by its value\">\\xE9</span>"},
        {"UTF-8", "Caf\xc3\xa9", "Caf\xc3\xa9", "Caf\xc3\xa9"},
        {"a mark that reverses text",
         "a\xe2\x80\xae"
         "b",
         "a\xe2\x80\xae"
         "b",
         "a<span class=\"byte\" title=\"a byte shown by its value\">\\xE2</span>"
         "<span class=\"byte\" title=\"a byte shown by its value\">\\x80</span>"
         "<span class=\"byte\" title=\"a byte shown by its value\">\\xAE</span>b"},
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
