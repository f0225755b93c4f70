#include "registry/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdint>

namespace {

TEST(RootKeyFromIndex, AlphabeticalOrderOfTheRootKeysAndNullElsewhere)
{
    struct Case {
        int32_t index;
        HKEY root;
        uint32_t handleValue;   // the 32-bit handle value (sign-extended on 64-bit builds)
    };
    const Case cases[] = {
        {1, HKEY_CLASSES_ROOT, 0x80000000},     {2, HKEY_CURRENT_CONFIG, 0x80000005},
        {3, HKEY_CURRENT_USER, 0x80000001},     {4, HKEY_DYN_DATA, 0x80000006},
        {5, HKEY_LOCAL_MACHINE, 0x80000002},    {6, HKEY_PERFORMANCE_DATA, 0x80000004},
        {7, HKEY_USERS, 0x80000003},            {0, nullptr, 0},
        {8, nullptr, 0},                        {-1, nullptr, 0},
        {-5, nullptr, 0},                       {INT_MIN, nullptr, 0},
        {INT_MAX, nullptr, 0},                  {0x105, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        HKEY root = RootKeyFromIndex(c.index);
        EXPECT_EQ(c.root, root);
        EXPECT_EQ(c.handleValue, static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(root)));
    }
    EXPECT_EQ(HKEY_LOCAL_MACHINE, RootKeyFromIndex(kRootIndexLocalMachine));
}

}  // namespace
