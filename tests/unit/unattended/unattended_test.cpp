// The unattended launcher's parts that decide something: its command line, the computer name
// as a folder name, the time stamps, the run's record line, the console instance's report, and
// which run's messages give the outcome (this run's part of a log that holds earlier runs, or
// the console capture when the log has no whole run of it), read from the acceptance
// scenarios' expected files.
#include "unattended/unattended.h"

#include "json/json.h"
#include "support/scenario_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(UnattendedTest, Options)
{
    struct Case {
        std::vector<const char*> arguments;
        int32_t status;
        const char* work;
        const char* results;
        uint32_t timeout;
        const char* problem;   // a part of the reason given for a usage error
    };
    std::string longPath(kLaunchPathSize, 'x');
    std::string longestPath(kLaunchPathSize - 1, 'x');
    const Case cases[] = {
        {{}, kOptionsOk, "", "", kDefaultTimeoutSeconds, ""},
        {{"--work", "C:\\w", "--results", "\\\\srv\\share\\r", "--timeout", "60"}, kOptionsOk,
         "C:\\w", "\\\\srv\\share\\r", 60, ""},
        {{"--timeout", "604800"}, kOptionsOk, "", "", kMaxTimeoutSeconds, ""},
        {{"--work", longestPath.c_str()}, kOptionsOk, longestPath.c_str(), "", 540, ""},
        {{"--help"}, kOptionsHelp, "", "", 540, ""},
        {{"--timeout", "0"}, kOptionsUsage, "", "", 540, "seconds"},
        {{"--timeout", "604801"}, kOptionsUsage, "", "", 540, "seconds"},
        {{"--timeout", "99999999999999999999"}, kOptionsUsage, "", "", 540, "seconds"},
        {{"--timeout", "-5"}, kOptionsUsage, "", "", 540, "seconds"},
        {{"--timeout", "12s"}, kOptionsUsage, "", "", 540, "seconds"},
        {{"--work"}, kOptionsUsage, "", "", 540, "missing after --work"},
        {{"--results", ""}, kOptionsUsage, "", "", 540, "missing after --results"},
        {{"--work", "a", "--work", "b"}, kOptionsUsage, "", "", 540, "twice: --work"},
        {{"--work", longPath.c_str()}, kOptionsUsage, "", "", 540, "longer than 259"},
        {{"/work", "x"}, kOptionsUsage, "", "", 540, "unknown option: /work"},
        {{"C:\\dir"}, kOptionsUsage, "", "", 540, "unknown option"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const char* argument : c.arguments) {
            line += std::string(argument).substr(0, 20) + " ";
        }
        SCOPED_TRACE(line);
        LaunchOptions options;
        char problem[64];
        memset(problem, 0xBD, sizeof(problem));
        int32_t status = ParseLaunchOptions(static_cast<int>(c.arguments.size()),
                                            c.arguments.data(), &options, problem,
                                            sizeof(problem));
        EXPECT_EQ(status, c.status);
        EXPECT_NE(memchr(problem, '\0', sizeof(problem)), nullptr);
        EXPECT_NE(strstr(problem, c.problem), nullptr) << problem;
        if (status == kOptionsOk) {
            EXPECT_STREQ(options.work, c.work);
            EXPECT_STREQ(options.results, c.results);
            EXPECT_EQ(options.timeoutSeconds, c.timeout);
        }
    }
}

TEST(UnattendedTest, ComputerNameAsFolderName)
{
    struct Case {
        const char* name;
        size_t size;
        const char* folder;
    };
    const Case cases[] = {
        {"PC-ONE", 64, "PC-ONE"},
        {"pc_2.lab", 64, "pc_2.lab"},
        {"A\\..\\B", 64, "A_.._B"},
        {"..", 64, "__"},
        {".hidden.", 64, "_hidden_"},
        {"C:x/y*?\"<>| z", 64, "C_x_y_______z"},
        {"CAF\xc9\x01", 64, "CAF__"},
        {"CON", 64, "_CON"},
        {"nul.lab", 64, "_nul.lab"},
        {"Com1", 64, "_Com1"},
        {"LPT9", 64, "_LPT9"},
        {"COM", 64, "COM"},
        {"COM10", 64, "COM10"},
        {"CONSOLE", 64, "CONSOLE"},
        {"", 64, "UNKNOWN"},
        {"ABCDEFGH", 5, "ABCD"},
        {"CON", 3, "_C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[64];
        memset(out, 0xBD, sizeof(out));
        SafeFolderName(c.name, out, c.size);
        EXPECT_STREQ(out, c.folder);
        EXPECT_EQ(static_cast<unsigned char>(out[c.size < 64 ? c.size : 63]),
                  c.size < 64 ? 0xBD : static_cast<unsigned char>(out[63]));
    }
}

TEST(UnattendedTest, TimeStamps)
{
    UtcTime time = {2026, 12, 7, 5, 3, 9};
    char iso[kUtcTextSize];
    char compact[kUtcTextSize];
    FormatIsoUtc(time, iso, sizeof(iso));
    FormatCompactUtc(time, compact, sizeof(compact));
    EXPECT_STREQ(iso, "2026-12-07T05:03:09Z");
    EXPECT_STREQ(compact, "20261207T050309Z");
    char small[8] = "canary";
    FormatIsoUtc(time, small, sizeof(small));
    EXPECT_STREQ(small, "");
}

TEST(UnattendedTest, RunLineIsJsonWhateverTheTexts)
{
    RunRecordLine line = {"PC\"1\\", "2026-12-07T15:30:12Z", "2026-12-07T15:31:00Z",
                          "Windows XP\x01\xe9", "failed", 1, "console-20261207T153012Z.txt",
                          "purgekit.exe not found: C:\\kit\\purgekit.exe"};
    char out[kRunLineSize];
    ASSERT_TRUE(ComposeRunLine(line, out, sizeof(out)));
    EXPECT_STREQ(out,
                 "{\"host\":\"PC\\\"1\\\\\",\"started\":\"2026-12-07T15:30:12Z\","
                 "\"ended\":\"2026-12-07T15:31:00Z\",\"platform\":\"Windows XP\\u0001\\udce9\","
                 "\"outcome\":\"failed\",\"exit_code\":1,"
                 "\"console\":\"console-20261207T153012Z.txt\","
                 "\"reason\":\"purgekit.exe not found: C:\\\\kit\\\\purgekit.exe\"}\n");
    line.outcome = "cleaned";
    line.exitCode = 3010;
    line.reason = "";
    ASSERT_TRUE(ComposeRunLine(line, out, sizeof(out)));
    EXPECT_NE(strstr(out, "\"exit_code\":3010,\"console\":\"console-20261207T153012Z.txt\"}\n"),
              nullptr);
    EXPECT_EQ(strstr(out, "reason"), nullptr);
}

TEST(UnattendedTest, BoundedJsonStringsEqualTheOthers)
{
    const std::string texts[] = {"plain", "a\"b\\c", std::string("\n\t\x01\x7f\0z", 6),
                                 "\xc3\xa9\xf0\x9f\x98\x80", "caf\xe9", "\xed\xa0\x80"};
    for (const std::string& text : texts) {
        std::string expected;
        AppendJsonString(&expected, text);
        char out[64] = "x";
        ASSERT_TRUE(AppendJsonStringTo(out, sizeof(out), text.data(), text.size()));
        EXPECT_EQ("x" + expected, out);
        // One byte short: nothing is appended, the text stays ended.
        char tight[64] = "x";
        size_t size = expected.size() + 1;
        memset(tight + 2, 0xBD, sizeof(tight) - 2);
        EXPECT_FALSE(AppendJsonStringTo(tight, size, text.data(), text.size()));
        EXPECT_STREQ(tight, "x");
        EXPECT_EQ(static_cast<unsigned char>(tight[size]), 0xBD);
    }
}

TEST(UnattendedTest, ConsoleReports)
{
    const int32_t statuses[] = {kConsoleCleanerEnded, kConsoleNone, kConsoleKeysShort,
                                kConsoleTimedOut, kConsoleBadArguments};
    for (int32_t status : statuses) {
        int32_t decoded = -1;
        uint32_t error = 1;
        ASSERT_TRUE(DecodeConsoleReport(ComposeConsoleReport(status, 0x12345), &decoded, &error));
        EXPECT_EQ(decoded, status);
        EXPECT_EQ(error, 0x2345u);
    }
    // What a process ends with otherwise is no report: a crash, a termination, a plain 0.
    for (uint32_t code : {0xC0000005u, 1u, 0u, 259u}) {
        int32_t status = 0;
        uint32_t error = 0;
        EXPECT_FALSE(DecodeConsoleReport(code, &status, &error)) << code;
    }
    EXPECT_TRUE(IsConsoleFailure(kConsoleKeysNotQueued));
    EXPECT_FALSE(IsConsoleFailure(kConsoleTimedOut));
}

// ---- Which run's messages give the outcome ------------------------------------------------

void WriteFile(const char* path, const std::string& bytes, bool present)
{
    remove(path);
    if (!present) {
        return;
    }
    FILE* file = fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

TEST(UnattendedTest, TheRunsOwnMessagesGiveTheOutcome)
{
    ASSERT_NE(getenv("PURGEKIT_SCENARIOS"), nullptr);
    std::string log = ScenarioExpectedText("typical-infection-winxp/expected-log.txt");
    std::string first = ScenarioExpectedText("typical-infection-winxp/expected-stdout-1.txt");
    std::string second = ScenarioExpectedText("typical-infection-winxp/expected-stdout-2.txt");
    ASSERT_FALSE(log.empty() || first.empty() || second.empty());
    // The log's second run begins with the blank lines before its start line.
    size_t secondRun = log.find("\r\n\r\n========================\r\nStart", 10);
    ASSERT_NE(secondRun, std::string::npos);
    std::string firstRunOnly = log.substr(0, secondRun);
    std::string cut = log.substr(0, log.find("Cleaning System Registry"));
    struct Case {
        const char* name;
        bool logPresent;
        std::string logBytes;
        uint64_t sizeBefore;
        std::string capture;
        uint8_t foldersStanding;
        LaunchOutcome outcome;
        const char* reason;
    };
    const Case cases[] = {
        {"this run follows an inoculating run in the log", true, log, secondRun, second, 0,
         LaunchOutcome::kClean, ""},
        {"the log's first run, when it was all there was", true, log, 0, first, 0,
         LaunchOutcome::kCleaned, ""},
        {"no log: the console, the blocking folders found standing", false, "", 0, second, 0x0F,
         LaunchOutcome::kClean, ""},
        {"no log: the console, nothing known to stand", false, "", 0, second, 0,
         LaunchOutcome::kIncomplete, ""},
        {"the log not written this time: the console", true, firstRunOnly, firstRunOnly.size(),
         first, 0, LaunchOutcome::kCleaned, ""},
        {"the log's run cut short, the console whole", true, cut, 0, first, 0,
         LaunchOutcome::kCleaned, ""},
        {"both cut short", true, cut, 0, first.substr(0, first.size() / 2), 0,
         LaunchOutcome::kFailed, "no end"},
        {"no messages at all", false, "", 0, "", 0, LaunchOutcome::kFailed, "no run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("PURGEKIT.LOG", c.logBytes, c.logPresent);
        WriteFile("console.txt", c.capture, true);
        RunVerdict verdict = ReadRunVerdict("PURGEKIT.LOG", c.sizeBefore, "console.txt",
                                            c.foldersStanding);
        EXPECT_STREQ(LaunchOutcomeName(verdict.outcome), LaunchOutcomeName(c.outcome));
        EXPECT_NE(strstr(verdict.reason, c.reason), nullptr) << verdict.reason;
        if (c.outcome != LaunchOutcome::kFailed) {
            EXPECT_STREQ(verdict.platform, "Windows XP");
            EXPECT_STREQ(verdict.reason, "");
        }
    }
    remove("PURGEKIT.LOG");
    remove("console.txt");
}

}  // namespace
