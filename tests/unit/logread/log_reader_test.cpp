// The reader of the cleaner's logs and transcripts, on what the acceptance scenarios expect the
// cleaner to write (their expected files, read from the source tree), on two-run logs, and on
// cut and damaged copies of them.
#include "logread/logread.h"
#include "support/scenario_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ReadResult {
    std::vector<RunRecord> runs;
    uint64_t linesOutsideRuns = 0;
};

void Collect(void* context, const RunRecord& run)
{
    static_cast<ReadResult*>(context)->runs.push_back(run);
}

// Reads `bytes` in chunks of `chunk` bytes.
ReadResult Read(const std::string& bytes, size_t chunk = 1 << 20)
{
    ReadResult result;
    LogReader* reader = new LogReader;
    StartReading(reader, Collect, &result, 0);
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        ReadLogBytes(reader, bytes.data() + at, std::min(chunk, bytes.size() - at));
    }
    FinishReading(reader);
    result.linesOutsideRuns = reader->linesOutsideRuns;
    delete reader;
    return result;
}

std::string Outcomes(const ReadResult& result)
{
    std::string names;
    for (const RunRecord& run : result.runs) {
        names += names.empty() ? "" : " ";
        names += OutcomeName(ClassifyRun(run));
    }
    return names;
}

TEST(LogReaderTest, ScenariosExpectedOutputsHaveTheirOutcomes)
{
    ASSERT_FALSE(ScenariosFolder().empty()) << "PURGEKIT_SCENARIOS is not set";
    struct Case {
        const char* file;
        const char* outcomes;
    };
    // Under Wine the 95 family's Toolhelp names are bare file names: the worm is neither
    // scanned nor ended, and its running file cannot be deleted, so those runs are incomplete.
    // A console transcript has no earlier runs: a blocking folder's "delete failed" there is a
    // file that could not be deleted, while the log that holds the earlier run knows better.
    const Case cases[] = {
        {"clean-nt351/expected-log.txt", "clean"},
        {"clean-win95/expected-stdout.txt", "clean"},
        {"clean-win10/expected-log.txt", "clean"},
        {"clean-winxp/expected-stdout.txt", "clean"},
        {"dropped-files/expected-log.txt", "incomplete"},
        {"inoculation-wqk-file-held/expected-log.txt", "incomplete"},
        {"key-wait-under-pty/expected-log.txt", "clean"},
        {"log-is-a-folder/expected-stdout.txt", "clean"},
        {"memory-variant-a/expected-log.txt", "cleaned"},
        {"memory-variant-c/expected-stdout.txt", "cleaned"},
        {"memory-variant-e/expected-log.txt", "cleaned"},
        {"memory-win98/expected-log.txt", "incomplete"},
        {"memory-wqk-pass-e/expected-log.txt", "cleaned"},
        {"memory-wqk/expected-stdout.txt", "cleaned"},
        {"registry-appinit-exact/expected-log.txt", "cleaned"},
        {"registry-appinit-list/expected-log.txt", "clean"},
        {"registry-oversized-value/expected-log.txt", "cleaned"},
        {"registry-run-not-found/expected-log.txt", "clean"},
        {"registry-same-data-twice/expected-log.txt", "cleaned cleaned"},
        {"registry-wink-values/expected-log.txt", "clean"},
        {"reinfection-after-inoculation/expected-log.txt", "cleaned cleaned"},
        {"reinfection-after-inoculation/expected-stdout-2.txt", "incomplete"},
        {"service-krn132-no-kernelsvc/expected-log.txt", "cleaned"},
        {"service-krn132-not-worm/expected-log.txt", "cleaned"},
        {"service-winsvc-worm/expected-stdout.txt", "cleaned"},
        {"service-worm-winme/expected-log.txt", "clean"},
        {"two-runs-append/expected-log.txt", "clean clean"},
        {"typical-infection-nt351/expected-log.txt", "cleaned"},
        {"typical-infection-win2k/expected-stdout.txt", "cleaned"},
        {"typical-infection-win95/expected-log.txt", "incomplete"},
        {"typical-infection-winme/expected-stdout.txt", "incomplete"},
        {"typical-infection-winxp/expected-log.txt", "cleaned clean"},
        {"typical-infection-winxp/expected-stdout-1.txt", "cleaned"},
        {"typical-infection-winxp/expected-stdout-2.txt", "incomplete"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string text = ScenarioExpectedText(c.file);
        ASSERT_FALSE(text.empty());
        ReadResult whole = Read(text);
        EXPECT_EQ(Outcomes(whole), c.outcomes);
        EXPECT_EQ(Outcomes(Read(text, 1)), c.outcomes) << "read a byte at a time";
        for (const RunRecord& run : whole.runs) {
            EXPECT_EQ(run.unrecognisedLines, 0u);
            EXPECT_STRNE(run.platform, "");
        }
        EXPECT_EQ(whole.linesOutsideRuns, 0u);
    }
}

TEST(LogReaderTest, TypicalInfectionIsReadStageByStage)
{
    ReadResult result = Read(ScenarioExpectedText("typical-infection-winxp/expected-log.txt"));
    ASSERT_EQ(result.runs.size(), 2u);
    const RunRecord& first = result.runs[0];
    EXPECT_TRUE(first.startLineSeen);
    EXPECT_STREQ(first.version, "2.00");
    EXPECT_STREQ(first.platform, "Windows XP");
    EXPECT_STREQ(first.dateTime, "<date>");
    EXPECT_EQ(first.serviceKeysDeleted, kServiceKernelSvc | kServiceKrn132);
    EXPECT_EQ(first.servicesStopped, kServiceKernelSvc | kServiceKrn132);
    EXPECT_EQ(first.passes[0].wormsFound, 1u);
    EXPECT_EQ(first.passes[0].terminated, 1u);
    EXPECT_EQ(first.passes[0].filesDeleted, 1u);
    EXPECT_EQ(first.valuesRemoved, kValueRunKrn132);
    EXPECT_EQ(first.dropped[0], DroppedOutcome::kNotFound);
    EXPECT_EQ(first.foldersCreated, 0x0F);
    EXPECT_TRUE(first.systemInoculated);
    // The second run meets the four blocking folders: their "delete failed" is no failure.
    const RunRecord& second = result.runs[1];
    EXPECT_EQ(second.droppedBlocked, 0x0F);
    EXPECT_EQ(second.dropped[3], DroppedOutcome::kDeleteFailed);
    EXPECT_EQ(second.failureCount, 0u);
    std::string log = ScenarioExpectedText("typical-infection-winxp/expected-log.txt");
    EXPECT_EQ(second.startOffset,
              static_cast<uint64_t>(log.find("Start :", log.find("Start :") + 1)));
}

TEST(LogReaderTest, CutAndDamagedLogs)
{
    std::string log = ScenarioExpectedText("typical-infection-winxp/expected-log.txt");
    std::string infected = ScenarioExpectedText("memory-variant-a/expected-log.txt");
    size_t secondStart = log.find("Start :", log.find("Start :") + 1);
    size_t memoryLine = infected.find("---> found TROJ_VORN.A") + 5;
    std::string lf = log;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    struct Case {
        const char* name;
        std::string bytes;
        const char* outcomes;
    };
    const Case cases[] = {
        {"cut inside the first run", log.substr(0, log.find("Cleaning System")), "failed"},
        {"cut inside a line of the second run", log.substr(0, secondStart + 300), "cleaned failed"},
        {"a run without its stop line, then the next", 
         log.substr(0, log.find("\r\nStop\r\n")) + log.substr(secondStart - 28), "failed clean"},
        {"the worm found, the run cut before its termination", infected.substr(0, memoryLine),
         "failed"},
        {"garbage and a NUL between the runs",
         log.substr(0, secondStart - 28) + std::string("\x00\xff\xfe garbage\r\n", 15) +
             log.substr(secondStart - 28),
         "cleaned clean"},
        {"LF line ends", lf, "cleaned clean"},
        {"text that is not the cleaner's", "hello\nworld\n\x01\x02\x03", ""},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Outcomes(Read(c.bytes)), c.outcomes);
        EXPECT_EQ(Outcomes(Read(c.bytes, 7)), c.outcomes);
    }
}

TEST(LogReaderTest, FailuresAreNamed)
{
    // A worm found but never ended, a file that could not be deleted after the termination, and
    // a long line that is kept only in part.
    std::string run =
        "\r\n\r\n========================\r\nStart : PURGEKIT version 2.00\r\n"
        "Windows Platform : Windows XP\r\nDate and Time: Wed Apr 03 09:05:03 2002\r\n\r\n"
        "Stopping/Removing Worm/Virus services!\r\n\t Worm/Virus services not found!.\r\n\r\n"
        "Terminating Worm/Virus processes for TROJ_VORN.A! \r\n"
        "\t Scanning C:\\a\\held.exe ---> found TROJ_VORN.A\r\n"
        "\t Scanning C:\\a\\locked.exe ---> found TROJ_VORN.A (Terminated)\r\n"
        "\t Error deleting C:\\a\\locked.exe\r\n"
        "\t Scanning C:\\" + std::string(3000, 'x') + " ---> Not found\r\n"
        "\r\nCleaning System Registry!\r\nStop\r\n========================";
    ReadResult result = Read(run);
    ASSERT_EQ(result.runs.size(), 1u);
    const RunRecord& record = result.runs[0];
    EXPECT_EQ(Outcomes(result), "incomplete");
    ASSERT_EQ(record.failuresKept, 2u);
    EXPECT_EQ(record.failures[0].kind, FailureKind::kProcessNotEnded);
    EXPECT_STREQ(record.failures[0].text, "C:\\a\\held.exe");
    EXPECT_EQ(record.failures[1].kind, FailureKind::kFileNotDeleted);
    EXPECT_STREQ(record.failures[1].text, "C:\\a\\locked.exe");
    EXPECT_EQ(record.passes[0].scanned, 3u);
    EXPECT_EQ(record.cutLines, 1u);
}

}  // namespace
