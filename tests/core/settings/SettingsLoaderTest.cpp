#include "core/settings/SettingsLoader.h"
#include "core/settings/MemorySettingsStore.h"
#include "core/settings/ProgramSettings.h"

#include <gtest/gtest.h>

namespace PS = ProgramSettings;

namespace {

// A setting with a range of its own.
constexpr CIntSetting kPercent {"Test", "Percent", 50, 0, 100};

} // namespace

TEST(SettingsLoader, NumbersReadAsStoredWithinTheirRangeAndUnreadableOnesAreNoted)
{
    const struct {
        const CIntSetting* m_pSetting;
        const char* m_pszStored; // null: absent
        int m_nExpected;
        const char* m_pszProblem; // null: none
    } cases[] = {
        {&PS::kWhoisInterval, nullptr, 10, nullptr},
        {&PS::kWhoisInterval, "", 10, nullptr},
        {&PS::kWhoisInterval, " 25", 25, nullptr},
        {&PS::kWhoisInterval, "0x10", 16, nullptr},
        // A limit of 0 or below stays: it means "none of the kind starts".
        {&PS::kWhoisLimit, "0", 0, nullptr},
        {&PS::kDnsLimit, "-4", -4, nullptr},
        {&PS::kPingLimit, "ten", 3, "Settings/Ping Simul Connections: 'ten' is not a number; 3 is used"},
        {&PS::kTraceLimit, "99999999999", 3,
         "Settings/Trace Simul Connections: '99999999999' is not a number; 3 is used"},
        {&PS::kDisplayMode, "32798", 32798, nullptr},
        {&kPercent, "100", 100, nullptr},
        {&kPercent, "101", 50, "Test/Percent: 101 is outside 0..100; 50 is used"},
        {&kPercent, "-1", 50, "Test/Percent: -1 is outside 0..100; 50 is used"},
    };
    for (const auto& c : cases) {
        CMemorySettingsStore store;
        if (c.m_pszStored)
            store.WriteProfileString(c.m_pSetting->m_pszSection, c.m_pSetting->m_pszKey, c.m_pszStored);
        CSettingsLoader loader(store);
        const std::string strCase = std::string(c.m_pSetting->m_pszKey) + "=" + (c.m_pszStored ? c.m_pszStored : "-");
        EXPECT_EQ(loader.Get(*c.m_pSetting), c.m_nExpected) << strCase;
        if (c.m_pszProblem)
            EXPECT_EQ(loader.Problems(), std::vector<std::string> {c.m_pszProblem}) << strCase;
        else
            EXPECT_TRUE(loader.Problems().empty()) << strCase;
    }
}

TEST(SettingsLoader, SwitchesTextsAndWritesGoThroughTheSameNames)
{
    CMemorySettingsStore store;
    CSettingsLoader loader(store);
    EXPECT_TRUE(loader.Get(PS::kConvertHostNames));
    EXPECT_FALSE(loader.Get(PS::kTraceHostLookup));
    store.WriteProfileString("Settings", "Convert Host Names", "0");
    store.WriteProfileString("Settings", "Trace Host Lookup", "2");
    EXPECT_FALSE(loader.Get(PS::kConvertHostNames));
    EXPECT_TRUE(loader.Get(PS::kTraceHostLookup));

    ASSERT_TRUE(loader.Set(PS::kLogFileCustom, true));
    ASSERT_TRUE(loader.Set(PS::kLogFileCustomText, "wp-login|"));
    ASSERT_TRUE(loader.Set(PS::kWhoisLimit, -1));
    EXPECT_EQ(store.GetProfileString("Settings", "Log File Custom"), "1");
    EXPECT_EQ(store.GetProfileString("Settings", "Log File Custom Text"), "wp-login|");
    EXPECT_EQ(loader.Get(PS::kWhoisLimit), -1);

    // Each problem is listed once, however often the value is read.
    store.WriteProfileString("Settings", "Rescan Gap", "soon");
    loader.Get(PS::kRescanGap);
    loader.Get(PS::kRescanGap);
    EXPECT_EQ(loader.Problems().size(), 1u);
}
