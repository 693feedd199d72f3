#include "sched/RangeReuse.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const COleDateTime kNoon = COleDateTime::FromComponents(2026, 12, 7, 12, 0, 0);

CWhoisFacts Facts(const char* pszStart, const char* pszEnd, const char* pszRegistry = "RIPE")
{
    CWhoisFacts facts;
    facts.m_bHasRange = true;
    facts.m_dwRangeStart = ParseDottedQuad(pszStart);
    facts.m_dwRangeEnd = ParseDottedQuad(pszEnd);
    facts.m_strRegistry = pszRegistry;
    return facts;
}

std::string Answer(const std::string& strAddress)
{
    return strAddress + "\r\n\r\ninetnum:        192.0.2.0 - 192.0.2.255\r\nnetname:        EXAMPLE-NET\r\n";
}

// A document whose addresses all wait for whois, as the session queues them.
struct CWaitingDocument {
    CIPDataArray data;
    CRangeReuse reuse;

    void Queue(const std::string& strAddress)
    {
        data.FindOrAdd(strAddress);
        data.GetWaitingList(lookupWhois).AddUnique(strAddress);
        reuse.NoteWaiting(strAddress);
    }
    bool Waits(const std::string& strAddress) const { return data.GetWaitingList(lookupWhois).Contains(strAddress); }
};

} // namespace

TEST(RangeReuse, OnlyARegionalRegistrysOwnRangeUpToASlash8IsReused)
{
    struct Case {
        const char* pszName;
        CWhoisFacts facts;
        bool bReusable;
    };
    CWhoisFacts stub = Facts("192.0.0.0", "192.255.255.255", "ARIN");
    stub.m_bIsRegistryStub = true;
    CWhoisFacts noRange;
    noRange.m_strRegistry = "RIPE";
    const Case cases[] = {
        {"RIPE /24", Facts("192.0.2.0", "192.0.2.255"), true},
        {"one address", Facts("192.0.2.7", "192.0.2.7", "APNIC"), true},
        {"exactly a /8", Facts("10.0.0.0", "10.255.255.255", "ARIN"), true},
        {"LACNIC and AFRINIC", Facts("200.0.0.0", "200.0.255.255", "LACNIC"), true},
        {"AFRINIC", Facts("41.0.0.0", "41.0.255.255", "AFRINIC"), true},
        {"wider than a /8", Facts("10.0.0.0", "11.0.0.0", "ARIN"), false},
        {"whole address space", Facts("0.0.0.0", "255.255.255.255", "ARIN"), false},
        {"start above end", Facts("192.0.2.255", "192.0.2.0"), false},
        {"stub naming another registry", stub, false},
        {"rwhois host", Facts("192.0.2.0", "192.0.2.255", "rwhois:rwhois.example.net"), false},
        {"national registry", Facts("192.0.2.0", "192.0.2.255", "JPNIC"), false},
        {"unknown registry", Facts("192.0.2.0", "192.0.2.255", ""), false},
        {"registry spelt otherwise", Facts("192.0.2.0", "192.0.2.255", "ripe"), false},
        {"no range", noRange, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsReusableRange(c.facts), c.bReusable) << c.pszName;
}

TEST(RangeReuse, ReHeadingReplacesOnlyTheFirstLine)
{
    struct Case {
        const char* pszText;
        const char* pszExpected;
    };
    const Case cases[] = {
        {"192.0.2.1\r\n\r\nnetname: X\r\n", "192.0.2.9\r\n\r\nnetname: X\r\n"},
        {"192.0.2.1 [host.example]\r\n\r\nnetname: X", "192.0.2.9\r\n\r\nnetname: X"},
        {"192.0.2.1\n\nnetname: X", "192.0.2.9\n\nnetname: X"},
        {"192.0.2.1", "192.0.2.9"},
        {"", "192.0.2.9"},
        {"\r\n192.0.2.1", "192.0.2.9\r\n192.0.2.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReHeadWhoisText(c.pszText, "192.0.2.9"), c.pszExpected) << c.pszText;
}

TEST(RangeReuse, AFinalAnswerAnswersEveryWaitingAddressInsideItsRange)
{
    CWaitingDocument doc;
    for (const char* psz : {"192.0.2.1", "192.0.2.200", "192.0.3.1", "192.0.1.255", "192.0.2.255"})
        doc.Queue(psz);
    doc.data.FindOrAdd("192.0.2.7");
    const std::string strText = Answer("192.0.2.7");

    const std::vector<std::string> answered =
        doc.reuse.ApplyFinalAnswer(doc.data, "192.0.2.7", strText, Facts("192.0.2.0", "192.0.2.255"), kNoon);

    EXPECT_EQ(answered, (std::vector<std::string> {"192.0.2.1", "192.0.2.200", "192.0.2.255"}));
    for (const std::string& strAddress : answered) {
        EXPECT_FALSE(doc.Waits(strAddress));
        EXPECT_EQ(doc.data.GetRawWhois(strAddress), Answer(strAddress));
        EXPECT_EQ(doc.data.GetWhoisTime(strAddress), kNoon);
        EXPECT_EQ(doc.reuse.GetReusedFrom(strAddress), "192.0.2.7");
    }
    EXPECT_EQ(doc.data.GetOwner("192.0.2.200"), doc.data.GetOwner("192.0.2.1"));
    EXPECT_TRUE(doc.Waits("192.0.3.1"));
    EXPECT_TRUE(doc.Waits("192.0.1.255"));
    EXPECT_EQ(doc.data.GetWaitingList(lookupWhois).GetSize(), 2);
    EXPECT_EQ(doc.reuse.GetReusedFrom("192.0.2.7"), "");
}

TEST(RangeReuse, AnswersThatMayNotBeReusedAnswerNobody)
{
    CWhoisFacts stub = Facts("192.0.0.0", "192.255.255.255", "ARIN");
    stub.m_bIsRegistryStub = true;
    const CWhoisFacts unusable[] = {stub, Facts("0.0.0.0", "255.255.255.255", "ARIN"),
                                    Facts("192.0.2.255", "192.0.2.0"),
                                    Facts("192.0.2.0", "192.0.2.255", "rwhois:rwhois.example.net")};
    for (const CWhoisFacts& facts : unusable) {
        CWaitingDocument doc;
        doc.Queue("192.0.2.1");
        EXPECT_TRUE(doc.reuse.ApplyFinalAnswer(doc.data, "192.0.2.7", Answer("192.0.2.7"), facts, kNoon).empty());
        EXPECT_TRUE(doc.Waits("192.0.2.1"));
        EXPECT_EQ(doc.data.GetRawWhois("192.0.2.1"), "");
        // Nor is such a range remembered for later.
        doc.data.SetWhoisResult("192.0.2.7", Answer("192.0.2.7"), kNoon);
        doc.data.FindOrAdd("192.0.2.9");
        EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "192.0.2.9", 1440, kNoon), "");
    }
}

TEST(RangeReuse, ExplicitRequestsDeletedRecordsAndStartedAddressesKeepTheirOwnQuery)
{
    CWaitingDocument doc;
    for (const char* psz : {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4"})
        doc.Queue(psz);
    doc.reuse.NoteExplicit("192.0.2.1"); // F5 on this row
    doc.data.RemoveByIP("192.0.2.2"); // deleted while waiting
    doc.data.GetWaitingList(lookupWhois).RemoveAt(doc.data.GetWaitingList(lookupWhois).Find("192.0.2.3")); // started

    const std::vector<std::string> answered = doc.reuse.ApplyFinalAnswer(doc.data, "192.0.2.7", Answer("192.0.2.7"),
                                                                         Facts("192.0.2.0", "192.0.2.255"), kNoon);
    EXPECT_EQ(answered, std::vector<std::string> {"192.0.2.4"});
    EXPECT_TRUE(doc.Waits("192.0.2.1"));
    EXPECT_TRUE(doc.Waits("192.0.2.2"));
    EXPECT_EQ(doc.data.FindByIP("192.0.2.2"), nullptr) << "no record is brought back without a query";
    EXPECT_EQ(doc.data.GetRawWhois("192.0.2.3"), "");
}

TEST(RangeReuse, AnAnswerForASourceDeletedMeanwhileStillAnswersItsNeighbours)
{
    CWaitingDocument doc;
    doc.Queue("192.0.2.1");
    // The source's record is gone; the answer itself is still the registry's word.
    const auto answered = doc.reuse.ApplyFinalAnswer(doc.data, "192.0.2.7", Answer("192.0.2.7"),
                                                     Facts("192.0.2.0", "192.0.2.255"), kNoon);
    EXPECT_EQ(answered, std::vector<std::string> {"192.0.2.1"});
    // But a range whose record is gone answers nobody queued later.
    doc.data.FindOrAdd("192.0.2.9");
    EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "192.0.2.9", 1440, kNoon), "");
}

TEST(RangeReuse, AnAddressQueuedLaterIsAnsweredFromTheMostSpecificFreshRange)
{
    CIPDataArray data;
    CRangeReuse reuse;
    const COleDateTime dtEarlier = COleDateTime(kNoon.GetDays() - 1.0 / 24, COleDateTime::valid);
    data.SetWhoisResult("192.0.0.1", Answer("192.0.0.1"), dtEarlier);
    reuse.NoteKnownRange("192.0.0.1", Facts("192.0.0.0", "192.0.255.255"), dtEarlier);
    data.SetWhoisResult("192.0.2.7", Answer("192.0.2.7"), kNoon);
    reuse.NoteKnownRange("192.0.2.7", Facts("192.0.2.0", "192.0.2.255"), kNoon);
    for (const char* psz : {"192.0.2.9", "192.0.9.9", "192.1.0.1"})
        data.FindOrAdd(psz);

    EXPECT_EQ(reuse.AnswerFromKnownRange(data, "192.0.2.9", 1440, kNoon), "192.0.2.7");
    EXPECT_EQ(data.GetRawWhois("192.0.2.9"), Answer("192.0.2.9"));
    EXPECT_EQ(data.GetWhoisTime("192.0.2.9"), kNoon);
    EXPECT_EQ(reuse.GetReusedFrom("192.0.2.9"), "192.0.2.7");
    EXPECT_EQ(reuse.AnswerFromKnownRange(data, "192.0.9.9", 1440, kNoon), "192.0.0.1");
    EXPECT_EQ(reuse.AnswerFromKnownRange(data, "192.1.0.1", 1440, kNoon), "");
    EXPECT_EQ(reuse.AnswerFromKnownRange(data, "192.0.2.7", 1440, kNoon), "") << "never from itself";
    EXPECT_EQ(reuse.AnswerFromKnownRange(data, "not.an.address", 1440, kNoon), "");
}

TEST(RangeReuse, AKnownRangeAnswersOnlyWhileItsRecordHoldsAFreshAnswer)
{
    struct Case {
        const char* pszName;
        int nAgeMinutes;
        bool bReplaced;
        bool bDeleted;
        bool bAnswered;
    };
    const Case cases[] = {
        {"fresh", 30, false, false, true},
        {"older than the gap", 1441, false, false, false},
        {"source looked up again since", 30, true, false, false},
        {"source deleted", 30, false, true, false},
    };
    for (const Case& c : cases) {
        CIPDataArray data;
        CRangeReuse reuse;
        const COleDateTime dtWhen(kNoon.GetDays() - c.nAgeMinutes / 1440.0, COleDateTime::valid);
        data.SetWhoisResult("192.0.2.7", Answer("192.0.2.7"), dtWhen);
        reuse.NoteKnownRange("192.0.2.7", Facts("192.0.2.0", "192.0.2.255"), dtWhen);
        if (c.bReplaced)
            data.SetWhoisResult("192.0.2.7", "192.0.2.7\r\n\r\nother answer", kNoon);
        if (c.bDeleted)
            data.RemoveByIP("192.0.2.7");
        data.FindOrAdd("192.0.2.9");
        EXPECT_EQ(!reuse.AnswerFromKnownRange(data, "192.0.2.9", 1440, kNoon).empty(), c.bAnswered) << c.pszName;
        EXPECT_EQ(!data.GetRawWhois("192.0.2.9").empty(), c.bAnswered) << c.pszName;
    }
}

TEST(RangeReuse, TenThousandWaitingAddressesOverTwoHundredNetworksTakeTwoHundredAnswers)
{
    CWaitingDocument doc;
    // Queued in an order that is not the numeric one.
    for (int nHost = 1; nHost <= 50; ++nHost)
        for (int nNet = 0; nNet < 200; ++nNet)
            doc.Queue("10." + std::to_string(nNet) + ".7." + std::to_string(nHost));
    ASSERT_EQ(doc.data.GetWaitingList(lookupWhois).GetSize(), 10000);

    size_t nAnswered = 0;
    int nQueries = 0;
    while (!doc.data.GetWaitingList(lookupWhois).IsEmpty()) {
        // The scheduler takes the first waiting address and its answer comes back.
        CSerStringArray& waiting = doc.data.GetWaitingList(lookupWhois);
        const std::string strAddress = waiting.GetString(0);
        waiting.RemoveAt(0);
        ++nQueries;
        const uint32_t dwNet = ParseDottedQuad(strAddress) & 0xFFFFFF00u;
        CWhoisFacts facts = Facts("0.0.0.0", "0.0.0.0");
        facts.m_dwRangeStart = dwNet;
        facts.m_dwRangeEnd = dwNet | 0xFFu;
        doc.data.SetWhoisResult(strAddress, Answer(strAddress), kNoon);
        nAnswered += doc.reuse.ApplyFinalAnswer(doc.data, strAddress, Answer(strAddress), facts, kNoon).size();
        ASSERT_LE(nQueries, 200);
    }
    EXPECT_EQ(nQueries, 200);
    EXPECT_EQ(nAnswered, 9800u);
    EXPECT_EQ(doc.reuse.ReusedCount(), 9800u);
}
