// SetPrivilege: one named privilege enabled or disabled in a token opened by the caller.
#include "fake_system.h"

namespace {

class SetPrivilegeTest : public FakeSystemTest {};

TEST_F(SetPrivilegeTest, FullAdjustmentGivesOne)
{
    struct Case {
        const char* name;
        int enable;
        const char* attributes;
    };
    const Case cases[] = {{"enable", 1, "0x2"}, {"enable with any non-zero", -7, "0x2"},
                          {"disable", 0, "0x0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        SetLastError(0xDEADBEEF);   // an earlier error must not make a success look like a failure
        EXPECT_EQ(1, SetPrivilege(kFakeToken, "SeDebugPrivilege", c.enable));
        EXPECT_EQ((std::vector<std::string>{
                      "lookup SeDebugPrivilege local",
                      std::string("adjust token disable=0 count=1 attr=") + c.attributes +
                          " len=16 noprevious"}),
                  EventsStartingWith("")) ;
        EXPECT_TRUE(EventsStartingWith("close").empty()) << "the token is not closed here";
    }
}

TEST_F(SetPrivilegeTest, UnknownPrivilegeNameGivesZeroAndLeavesTheTokenAlone)
{
    EXPECT_EQ(0, SetPrivilege(kFakeToken, "SeNoSuchPrivilegeAtAll", 1));
    EXPECT_EQ(std::vector<std::string>{"lookup SeNoSuchPrivilegeAtAll local"},
              EventsStartingWith(""));
    EXPECT_EQ(0, SetPrivilege(kFakeToken, nullptr, 1));
    EXPECT_TRUE(EventsStartingWith("adjust").empty());
}

TEST_F(SetPrivilegeTest, PrivilegeNotHeldGivesZeroAlthoughTheCallSucceeds)
{
    g_fake.adjust = AdjustMode::kNotAllAssigned;
    EXPECT_EQ(0, SetPrivilege(kFakeToken, "SeDebugPrivilege", 1));
    EXPECT_EQ(1u, EventsStartingWith("adjust").size());
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED), GetLastError());
}

TEST_F(SetPrivilegeTest, FailedAdjustmentGivesZero)
{
    g_fake.adjust = AdjustMode::kFails;
    EXPECT_EQ(0, SetPrivilege(kFakeToken, "SeDebugPrivilege", 1));
}

// On the real platform: the program's own token, as the memory pass uses it.
TEST(SetPrivilegeOnThePlatform, DebugPrivilegeOfTheOwnToken)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTokenAccess, &token));
    EXPECT_EQ(1, SetPrivilege(token, kDebugPrivilege, 1));
    EXPECT_EQ(0, SetPrivilege(token, "SeNoSuchPrivilegeAtAll", 1));
    CloseHandle(token);
}

}  // namespace
