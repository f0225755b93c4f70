// The command line: what each form of each option sets, and what is a usage error.
#include "sweep/sweep.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        end = end == std::string::npos ? line.size() : end;
        if (end > start) {
            words.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

TEST(OptionsTest, FormsAndErrors)
{
    struct Case {
        const char* line;
        int32_t status;
        const char* check;   // what the parsed options must show (see below), or the problem
    };
    const Case cases[] = {
        {"dir", kOptionsOk, "paths=1"},
        {"-j2 -i --json -q a b", kOptionsOk, "threads=2 infected json quiet paths=2"},
        {"--threads 64 --threads=3 a", kOptionsOk, "threads=3 paths=1"},
        {"-f list.txt", kOptionsOk, "list=list.txt paths=0"},
        {"--file-list=- x", kOptionsOk, "list=- paths=1"},
        {"--exclude *.log --exclude=tmp a", kOptionsOk, "excludes=2 paths=1"},
        {"--follow-symlinks --one-file-system --remove --read-offline a", kOptionsOk,
         "follow onefs remove offline paths=1"},
        {"--move q a", kOptionsOk, "move=q paths=1"},
        {"-- -i", kOptionsOk, "paths=1"},
        {"-", kOptionsOk, "paths=1"},
        {"--help a", kOptionsHelp, ""},
        {"a --version", kOptionsVersion, ""},
        {"", kOptionsUsage, "no path to scan"},
        {"-i", kOptionsUsage, "no path to scan"},
        {"--move q --remove a", kOptionsUsage, "--move and --remove exclude each other"},
        {"-j 0 a", kOptionsUsage, "the number of threads must be 1 to 64"},
        {"-j 65 a", kOptionsUsage, "the number of threads must be 1 to 64"},
        {"-j x a", kOptionsUsage, "the number of threads must be 1 to 64"},
        {"a -j", kOptionsUsage, "option -j needs a value"},
        {"a --move", kOptionsUsage, "option --move needs a value"},
        {"--move= a", kOptionsUsage, "the quarantine folder must be named"},
        {"-f a -f b", kOptionsUsage, "only one file list can be given"},
        {"-x a", kOptionsUsage, "unknown option -x"},
        {"--json=1 a", kOptionsUsage, "unknown option --json=1"},
        {"-iq a", kOptionsUsage, "unknown option -iq"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SweepOptions options;
        std::string problem;
        ASSERT_EQ(c.status, ParseOptions(Split(c.line), &options, &problem));
        if (c.status == kOptionsUsage) {
            EXPECT_EQ(c.check, problem);
            continue;
        }
        if (c.status != kOptionsOk) {
            continue;
        }
        std::string seen;
        auto note = [&seen](const std::string& word) { seen += (seen.empty() ? "" : " ") + word; };
        if (options.threads != 0) note("threads=" + std::to_string(options.threads));
        if (options.infectedOnly) note("infected");
        if (options.json) note("json");
        if (options.quiet) note("quiet");
        if (options.haveFileList) note("list=" + options.fileList);
        if (!options.excludes.empty()) note("excludes=" + std::to_string(options.excludes.size()));
        if (options.followSymlinks) note("follow");
        if (options.oneFileSystem) note("onefs");
        if (options.remove) note("remove");
        if (options.readOffline) note("offline");
        if (options.haveMove) note("move=" + options.moveTo);
        note("paths=" + std::to_string(options.paths.size()));
        EXPECT_EQ(c.check, seen);
    }
}

TEST(OptionsTest, UsageAndVersionTexts)
{
    EXPECT_EQ(0u, std::string(UsageText()).find("Usage: purgekit-scan [options] PATH...\n"));
    EXPECT_STREQ("purgekit-scan 2.00\n", VersionText());
}

}  // namespace
