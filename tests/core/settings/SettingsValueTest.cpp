#include "core/settings/SettingsValue.h"
#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

TEST(SettingsValue, ReadsIntegersAndRejectsEverythingElse)
{
    EXPECT_EQ(ParseProfileInt("1440", 7), 1440);
    EXPECT_EQ(ParseProfileInt("  -1 ", 7), -1);
    EXPECT_EQ(ParseProfileInt("+3", 7), 3);
    EXPECT_EQ(ParseProfileInt("0x10", 7), 16);
    // An unsigned value stored as a DWORD reads back with the same bit pattern.
    EXPECT_EQ(ParseProfileInt("4294967295", 7), -1);
    EXPECT_EQ(ParseProfileInt("-2147483648", 7), INT32_MIN);

    EXPECT_EQ(ParseProfileInt("", 7), 7);
    EXPECT_EQ(ParseProfileInt("-", 7), 7);
    EXPECT_EQ(ParseProfileInt("12abc", 7), 7);
    EXPECT_EQ(ParseProfileInt("1 2", 7), 7);
    EXPECT_EQ(ParseProfileInt("4294967296", 7), 7);
    EXPECT_EQ(ParseProfileInt("-2147483649", 7), 7);
    EXPECT_EQ(ParseProfileInt(std::string(5000, '9'), 7), 7);
}

TEST(MemorySettingsStore, MissingValuesGiveDefaults)
{
    CMemorySettingsStore store;
    EXPECT_EQ(store.GetProfileInt("Settings", "Rescan Gap", 1440), 1440);
    EXPECT_EQ(store.GetProfileString("Settings", "Name", "def"), "def");
    store.WriteProfileInt("Settings", "Rescan Gap", 5);
    store.WriteProfileString("Other", "Name", "x");
    EXPECT_EQ(store.GetProfileInt("Settings", "Rescan Gap", 1440), 5);
    EXPECT_EQ(store.GetProfileString("Other", "Name"), "x");
    // A text where a number is expected reads as the default.
    EXPECT_EQ(store.GetProfileInt("Other", "Name", 9), 9);
}
