#include "sched/ConnSettings.h"
#include "core/settings/CheckedSettingsStore.h"
#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the order of writes.
class CRecordingStore : public CMemorySettingsStore
{
public:
    bool WriteProfileInt(const std::string& section, const std::string& entry, int nValue) override
    {
        m_writes.push_back(section + "/" + entry + "=" + std::to_string(nValue));
        return CMemorySettingsStore::WriteProfileInt(section, entry, nValue);
    }
    std::vector<std::string> m_writes;
};

} // namespace

TEST(ConnSettings, EmptyStoreGivesTheDefaults)
{
    CMemorySettingsStore store;
    const CConnSettings s = LoadConnSettings(store);
    EXPECT_EQ(s.m_dwRescanGap, 1440u);
    EXPECT_EQ(s.m_nWhoisLimit, 3);
    EXPECT_EQ(s.m_nDnsLimit, 8);
    EXPECT_EQ(s.m_nTraceLimit, 3);
    EXPECT_EQ(s.m_nPingLimit, 3);
    EXPECT_EQ(s.m_nWhoisInterval, 10);
    EXPECT_FALSE(s.m_bTraceHostLookup);
    EXPECT_TRUE(s.m_bConvertHostNames);
}

TEST(ConnSettings, SaveWritesAllEightInDialogOrder)
{
    CRecordingStore store;
    CConnSettings s;
    s.m_nDnsLimit = -1;
    s.m_bTraceHostLookup = true;
    SaveConnSettings(store, s);
    const std::vector<std::string> expected = {
        "Settings/Rescan Gap=1440",          "Settings/IP Whois Interval=10",
        "Settings/Ping Simul Connections=3", "Settings/Trace Simul Connections=3",
        "Settings/DNS Simul Connections=-1", "Settings/IP Whois Simul Connections=3",
        "Settings/Trace Host Lookup=1",      "Settings/Convert Host Names=1"};
    EXPECT_EQ(store.m_writes, expected);
    const CConnSettings back = LoadConnSettings(store);
    EXPECT_EQ(back.m_nDnsLimit, -1);
    EXPECT_TRUE(back.m_bTraceHostLookup);
}

TEST(ConnSettings, StoredValuesAreReadAsTheyAre)
{
    CMemorySettingsStore store;
    store.WriteProfileString("Settings", "Rescan Gap", "4294967295"); // a DWORD
    store.WriteProfileString("Settings", "IP Whois Simul Connections", "0");
    store.WriteProfileString("Settings", "IP Whois Interval", "-5");
    store.WriteProfileString("Settings", "DNS Simul Connections", "lots"); // unreadable: default
    store.WriteProfileString("Settings", "Convert Host Names", "0");
    store.WriteProfileString("Settings", "Trace Host Lookup", "7");
    const CConnSettings s = LoadConnSettings(store);
    EXPECT_EQ(s.m_dwRescanGap, 4294967295u);
    EXPECT_EQ(s.m_nWhoisLimit, 0);
    EXPECT_EQ(s.m_nWhoisInterval, -5);
    EXPECT_EQ(s.m_nDnsLimit, 8);
    EXPECT_FALSE(s.m_bConvertHostNames);
    EXPECT_TRUE(s.m_bTraceHostLookup);
}

// Lookups run with usable limits: a stored limit below 1 is reported once and its
// default used; other values stay as stored.
TEST(ConnSettings, UsableLimitsReplaceThoseBelowOneAndSaySo)
{
    CMemorySettingsStore inner;
    inner.WriteProfileString("Settings", "IP Whois Simul Connections", "0");
    inner.WriteProfileString("Settings", "DNS Simul Connections", "-5");
    inner.WriteProfileString("Settings", "Trace Simul Connections", "1");
    inner.WriteProfileString("Settings", "IP Whois Interval", "-5");
    std::vector<std::string> reports;
    CCheckedSettingsStore store(inner, [&](const std::string& s) { reports.push_back(s); });
    for (int i = 0; i < 2; ++i) {
        const CConnSettings s = LoadUsableConnSettings(store);
        EXPECT_EQ(s.m_nWhoisLimit, 3);
        EXPECT_EQ(s.m_nDnsLimit, 8);
        EXPECT_EQ(s.m_nTraceLimit, 1);
        EXPECT_EQ(s.m_nPingLimit, 3);
        EXPECT_EQ(s.m_nWhoisInterval, -5);
    }
    const std::vector<std::string> expected = {
        "settings: Settings/IP Whois Simul Connections: 0 is below 1, so no such lookup would start; 3 is used",
        "settings: Settings/DNS Simul Connections: -5 is below 1, so no such lookup would start; 8 is used"};
    EXPECT_EQ(reports, expected);
}
