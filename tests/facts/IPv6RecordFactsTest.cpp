#include "core/record/IPAddressData.h"
#include "core/record/IPDataArray.h"
#include "facts/RecordStatus.h"
#include "facts/WhoisFactsCache.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

// What the Details table and the exports read for an IPv6 record: the facts of the
// network that holds the record's own address, and its status.
TEST(IPv6RecordFacts, RecordsReadTheNetworkOfTheirOwnAddress)
{
    const std::string apnic =
        ReadFileBytes(TestDataPath("whois6/apnic/ipwhois-jpnic-mirror-iij-2001-240-10c-1--ca20-9d1d.txt"));
    const struct {
        const char* address;
        const char* holder;
        const char* range;
        ERecordStatus status;
    } cases[] = {
        // The answer holds JPNIC's /32 and IIJ's /48: the /48 holds this one.
        {"2001:240:10c:1::ca20:9d1d", "Internet Initiative Japan Inc.", "2001:240:10c::/48", ERecordStatus::kOk},
        // Only the /32 holds this one.
        {"2001:240:20::1", "Japan Network Information Center", "2001:240::/32", ERecordStatus::kOk},
        // Neither holds it: the answer is about another network.
        {"2a00::1", "Internet Initiative Japan Inc.", "2001:240:10c::/48", ERecordStatus::kRangeMismatch},
    };
    CIPDataArray data;
    for (const auto& c : cases) {
        // The stored text names another address on its first line: the record's own counts.
        data.SetWhoisResult(c.address, "2001:240:10c:1::ca20:9d1d\r\n\r\n" + apnic, COleDateTime());
        const CIPAddressData& record = *data.FindByIP(c.address);
        const CWhoisFacts& facts = GetWhoisFacts(data, record);
        EXPECT_EQ(facts.m_strHolder, c.holder) << c.address;
        ASSERT_TRUE(facts.m_range6) << c.address;
        EXPECT_EQ(facts.m_range6->ToString(), c.range) << c.address;
        EXPECT_FALSE(facts.m_bHasRange);
        EXPECT_EQ(RecordStatusOf(record, facts), c.status) << c.address;
    }
}
