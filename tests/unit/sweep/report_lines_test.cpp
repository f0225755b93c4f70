// What the sweep prints for one file, an error and the summary; the list of -f; the
// quarantine's names and manifest line.
#include "sweep/quarantine_record.h"
#include "sweep/sweep.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

FileOutcome Found(uint32_t variants, FoundAction action = FoundAction::kNone)
{
    FileOutcome outcome;
    outcome.path = "d/a\xff.exe";
    outcome.size = 36352;
    outcome.scanned = true;
    outcome.variants = variants;
    outcome.action = action;
    outcome.quarantineName = "N.vir";
    outcome.actionError = action == FoundAction::kFailed ? ERROR_ACCESS_DENIED : 0;
    return outcome;
}

TEST(ReportLinesTest, OutcomesInTextAndJson)
{
    FileOutcome clean = Found(0);
    FileOutcome error;
    error.path = "d/gone";
    error.error = ERROR_FILE_NOT_FOUND;
    FileOutcome changed = Found(1, FoundAction::kFailed);
    changed.actionError = kErrorChangedSinceScan;
    struct Case {
        const char* name;
        FileOutcome outcome;
        bool json;
        bool infectedOnly;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"clean", clean, false, false, "d/a\xff.exe: OK\n", ""},
        {"clean with -i", clean, false, true, "", ""},
        {"clean in JSON", clean, true, false, "", ""},
        {"two sets, in the order A, C, E", Found(5), false, false,
         "d/a\xff.exe: TROJ_VORN.A FOUND\nd/a\xff.exe: TROJ_VORN.E FOUND\n", ""},
        {"moved", Found(2, FoundAction::kMoved), false, true,
         "d/a\xff.exe: TROJ_VORN.C FOUND\nd/a\xff.exe: moved to q/N.vir\n", ""},
        {"removed", Found(1, FoundAction::kRemoved), false, false,
         "d/a\xff.exe: TROJ_VORN.A FOUND\nd/a\xff.exe: removed\n", ""},
        {"a failed move", Found(1, FoundAction::kFailed), false, false,
         "d/a\xff.exe: TROJ_VORN.A FOUND\n", "d/a\xff.exe: ERROR: Permission denied\n"},
        {"an error", error, false, false, "", "d/gone: ERROR: No such file or directory\n"},
        {"a file changed since it was scanned", changed, false, true,
         "d/a\xff.exe: TROJ_VORN.A FOUND\n", "d/a\xff.exe: ERROR: changed since it was scanned\n"},
        {"found in JSON", Found(5), true, false,
         "{\"type\":\"found\",\"path\":\"d/a\\udcff.exe\",\"size\":36352,"
         "\"variants\":[\"TROJ_VORN.A\",\"TROJ_VORN.E\"]}\n", ""},
        {"moved in JSON", Found(4, FoundAction::kMoved), true, false,
         "{\"type\":\"found\",\"path\":\"d/a\\udcff.exe\",\"size\":36352,\"variants\":"
         "[\"TROJ_VORN.E\"],\"action\":\"moved\",\"quarantine\":\"N.vir\"}\n", ""},
        {"a failed removal in JSON", Found(1, FoundAction::kFailed), true, false,
         "{\"type\":\"found\",\"path\":\"d/a\\udcff.exe\",\"size\":36352,\"variants\":"
         "[\"TROJ_VORN.A\"],\"action\":\"failed\",\"error\":\"Permission denied\"}\n", ""},
        {"an error in JSON", error, true, false,
         "{\"type\":\"error\",\"path\":\"d/gone\",\"error\":\"No such file or directory\"}\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SweepOptions options;
        options.json = c.json;
        options.infectedOnly = c.infectedOnly;
        options.moveTo = "q";
        std::string out;
        std::string err;
        FormatOutcome(options, c.outcome, &out, &err);
        EXPECT_EQ(c.out, out);
        EXPECT_EQ(c.err, err);
    }
}

TEST(ReportLinesTest, Summary)
{
    SweepOptions options;
    std::string text;
    FormatSummary(options, 5012, 3, 1, 0, 0.412, &text);
    EXPECT_EQ("----------- SCAN SUMMARY -----------\nFiles scanned: 5012\nFiles found: 3\n"
              "Errors: 1\nTime: 0.412 s\nFiles per second: 12165\n", text);
    text.clear();
    FormatSummary(options, 5012, 3, 1, 2, 0.412, &text);   // skipped files show when there are any
    EXPECT_EQ("----------- SCAN SUMMARY -----------\nFiles scanned: 5012\nFiles found: 3\n"
              "Errors: 1\nFiles skipped: 2\nTime: 0.412 s\nFiles per second: 12165\n", text);
    options.json = true;
    std::string json;
    FormatSummary(options, 5012, 3, 1, 0, 0.412, &json);
    EXPECT_EQ("{\"type\":\"summary\",\"scanned\":5012,\"found\":3,\"errors\":1,\"seconds\":0.412,"
              "\"files_per_second\":12165}\n", json);
    json.clear();
    FormatSummary(options, 5012, 3, 1, 2, 0.412, &json);
    EXPECT_EQ("{\"type\":\"summary\",\"scanned\":5012,\"found\":3,\"errors\":1,\"skipped\":2,"
              "\"seconds\":0.412,\"files_per_second\":12165}\n", json);
}

// A skipped file: a line among the OK lines in text, none with -i or -q (its JSON object: the
// walk's test).
TEST(ReportLinesTest, SkippedFiles)
{
    for (int hidden = 0; hidden < 3; ++hidden) {   // shown, -i, -q
        SweepOptions options;
        options.infectedOnly = hidden == 1;
        options.quiet = hidden == 2;
        std::string out;
        FormatSkipped(options, "d/a\xff.exe", &out);
        EXPECT_EQ(hidden == 0 ? "d/a\xff.exe: SKIPPED: data not on the disk\n" : "", out) << hidden;
    }
}

void Collect(void* context, const std::string& path)
{
    static_cast<std::vector<std::string>*>(context)->push_back(path);
}

TEST(ReportLinesTest, FileListsInAnyChunking)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"no final newline", "a\nb", {"a", "b"}},
        {"no final newline after CR", "a\r", {"a"}},
        {"empty lines", "\n\na\n\r\n\nb\n\n", {"a", "b"}},
        {"blanks are part of a name", " a \n", {" a "}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t(1), size_t(2), size_t(1000)}) {
            SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(chunk));
            std::vector<std::string> paths;
            std::string pending;
            for (size_t at = 0; at < c.text.size(); at += chunk) {
                size_t size = c.text.size() - at < chunk ? c.text.size() - at : chunk;
                SplitListChunk(&pending, c.text.data() + at, size, false, Collect, &paths);
            }
            SplitListChunk(&pending, "", 0, true, Collect, &paths);
            EXPECT_EQ(c.paths, paths);
        }
    }
}

TEST(ReportLinesTest, QuarantineNamesAndManifestLine)
{
    const std::time_t when = 1796658612;   // 2026-12-07T15:50:12Z
    const std::string quarantined = "20261207T155012Z-web-1-42-000007.vir";
    EXPECT_EQ(quarantined, QuarantineName(when, "web-1", 42, 7));
    EXPECT_EQ("quarantine-web-1.tsv", ManifestName("web-1"));
    EXPECT_EQ("office-pc.corp", HostLabel("OFFICE-PC.corp"));
    EXPECT_EQ("a_b_c__", HostLabel("a b/c\xc3\xa9"));
    EXPECT_EQ("unknown", HostLabel(""));
    EXPECT_EQ(std::string(64, 'h'), HostLabel(std::string(80, 'H')));
    EXPECT_TRUE(IsQuarantineName(quarantined));
    for (const char* other : {"quarantine-web-1.tsv", "20261207T155012Z-../x.vir", "x.vir",
                              "20261207T155012Z-a\\b.vir", ".purgekit-web-1-42-1.tmp"}) {
        EXPECT_FALSE(IsQuarantineName(other)) << other;
    }

    // Work files: the host read from the end, so that it may hold '-'.
    WorkOwner posix{"web-1", "852e6f2f", "4026531836", 4242};
    WorkOwner windows{"office-pc", "", "", 4242};
    WorkOwner parsed;
    EXPECT_EQ(".purgekit-web-1-852e6f2f-4026531836-4242-9.tmp", WorkName(posix, 9, kCopySuffix));
    ASSERT_TRUE(ParseWorkName(WorkName(posix, 9, kCopySuffix), kCopySuffix, true, &parsed));
    EXPECT_EQ("web-1|852e6f2f|4026531836|4242",
              parsed.host + "|" + parsed.boot + "|" + parsed.space + "|" +
                  std::to_string(parsed.processId));
    ASSERT_TRUE(ParseWorkName(WorkName(windows, 3, kRecordSuffix), kRecordSuffix, false, &parsed));
    EXPECT_EQ("office-pc", parsed.host);
    EXPECT_EQ(4242u, parsed.processId);
    // A POSIX name read on Windows names another host, and is left alone there.
    ASSERT_TRUE(ParseWorkName(WorkName(posix, 9, kCopySuffix), kCopySuffix, false, &parsed));
    EXPECT_NE("web-1", parsed.host);
    for (const char* other : {"quarantine.tsv", ".purgekit-.tmp", ".purgekit-web-x-1.tmp",
                              ".purgekit-12.tmp", ".purgekit-web-99999999999-1.tmp",
                              ".purgekit-web-42-1.rec", "20261207T155012Z-web-42-000007.vir"}) {
        EXPECT_FALSE(ParseWorkName(other, kCopySuffix, false, &parsed)) << other;
    }

    FileOutcome outcome = Found(3);
    outcome.path = "C:\\a\tb%\n.exe";
    EXPECT_EQ("C:\\a%09b%25%0A.exe\t36352\tTROJ_VORN.A,TROJ_VORN.C\t2026-12-07T15:50:12Z\t"
              "N.vir\t\n", ManifestLine(outcome, when, "N.vir"));
    outcome.ownPath = "C:\\real\r.exe";   // reached through a link
    const std::string line = ManifestLine(outcome, when, quarantined);
    EXPECT_EQ("C:\\real%0D.exe\n", line.substr(line.rfind('\t') + 1));

    // Records: one whole line naming a quarantine name, and nothing else.
    std::string name;
    EXPECT_TRUE(RecordNamesFile(line, &name));
    EXPECT_EQ(quarantined, name);
    for (const std::string& broken :
         {line.substr(0, line.size() - 1), line + line, std::string("a\tb\n"),
          ManifestLine(outcome, when, "../x.vir")}) {
        EXPECT_FALSE(RecordNamesFile(broken, &name)) << broken;
    }
    // The manifest searched in chunks that cut lines; a name elsewhere in a line is no match.
    const std::string elsewhere = quarantined + "\t1\tA\tT\tother.vir\t\n";
    for (size_t chunk : {size_t(1), size_t(7), size_t(1000)}) {
        for (const std::string& manifest : {elsewhere + line, elsewhere}) {
            ManifestSearch search;
            search.name = quarantined;
            for (size_t at = 0; at < manifest.size(); at += chunk) {
                SearchManifestChunk(&search, manifest.data() + at,
                                    std::min(chunk, manifest.size() - at));
            }
            EXPECT_EQ(manifest != elsewhere, search.found) << chunk << " " << manifest;
        }
    }
}

}  // namespace
