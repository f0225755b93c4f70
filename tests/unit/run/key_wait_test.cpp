// The key waits of the two banners read one key press: a function or arrow key arrives from
// _getch as two codes, and both belong to the same press.
#include "run/run.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

std::deque<int> g_pendingCodes;
int g_reads = 0;

int FakeGetch()
{
    ++g_reads;
    if (g_pendingCodes.empty()) {
        return 'x';
    }
    int code = g_pendingCodes.front();
    g_pendingCodes.pop_front();
    return code;
}

TEST(KeyWaitTest, ReadsBothCodesOfAFunctionOrArrowKeyAndOneOfAnyOther)
{
    struct Case {
        const char* name;
        std::deque<int> codes;
        int reads;
    };
    const Case cases[] = {
        {"letter", {'a', 'b'}, 1},
        {"arrow key (0xE0 lead)", {0xE0, 0x48, 'b'}, 2},
        {"function key (0 lead)", {0x00, 0x3B, 'b'}, 2},
        {"letter after a key whose second code was read", {0x48, 'b'}, 1},
    };
    ScopedImportPatch patch("msvcrt.dll", "_getch", reinterpret_cast<void*>(&FakeGetch));
    ASSERT_TRUE(patch.applied());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_pendingCodes = c.codes;
        g_reads = 0;
        testing::internal::CaptureStdout();
        ShowClosingBanner();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.reads, g_reads);
        EXPECT_EQ(c.codes.size() - c.reads, g_pendingCodes.size()) << "the next press is left";
    }
}

}  // namespace
