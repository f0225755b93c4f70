// --exclude patterns against full paths and base names.
#include "sweep/sweep.h"

#include <gtest/gtest.h>

namespace {

TEST(GlobMatchTest, Patterns)
{
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"*.log", "a.log", true},         {"*.log", "a.log.1", false},
        {"*", "", true},                  {"?", "", false},
        {"a?c", "abc", true},             {"a?c", "ac", false},
        {"*/cache/*", "/x/cache/y", true}, {"/x/*", "/x/a/b/c", true},
        {"[abc]x", "bx", true},           {"[!abc]x", "bx", false},
        {"[a-c]x", "cx", true},           {"[a-c]x", "dx", false},
        {"[]]x", "]x", true},             {"[x", "[x", true},
        {"\\*x", "*x", true},             {"\\*x", "ax", false},
        {"a*b*c", "aXbYbZc", true},       {"a*b*c", "aXbYbZ", false},
        {"**a", "bbba", true},            {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.matches, GlobMatches(c.pattern, c.text)) << c.pattern << " against " << c.text;
    }
}

TEST(GlobMatchTest, ExcludedByFullPathOrBaseName)
{
    SweepOptions options;
    options.excludes = {"*.tmp", "/srv/skip", "node_modules"};
    struct Case {
        const char* path;
        bool excluded;
    };
    const Case cases[] = {
        {"/srv/a.tmp", true},     {"/srv/skip", true},        {"/srv/skip/x", false},
        {"/a/node_modules", true}, {"/a/node_modules/", true}, {"C:\\a\\node_modules", true},
        {"/a/b.exe", false},      {"node_modules", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.excluded, IsExcluded(options, c.path)) << c.path;
    }
}

}  // namespace
