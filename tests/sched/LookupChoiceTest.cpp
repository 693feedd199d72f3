#include "sched/LookupChoice.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"
#include "sched/LookupProgress.h"
#include "sched/RangeReuse.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

namespace {

const COleDateTime kNoon = COleDateTime::FromComponents(2026, 12, 7, 12, 0, 0);
const COleDateTime kHourAgo(kNoon.GetDays() - 1.0 / 24, COleDateTime::valid);

CLookupChoice Choice(CLookupChoice::ERows eRows, std::array<bool, kLookupKindCount> kinds, bool bSkipFresh = true)
{
    CLookupChoice choice;
    choice.m_eRows = eRows;
    choice.m_bKinds = kinds;
    choice.m_bSkipFresh = bSkipFresh;
    return choice;
}

std::vector<std::string> Waiting(const CIPDataArray& data, int nKind)
{
    std::vector<std::string> result;
    for (int i = 0; i < data.GetWaitingList(nKind).GetSize(); ++i)
        result.push_back(data.GetWaitingList(nKind).GetString(i));
    return result;
}

// The collection's own queueing, as the session's rows do it.
LookupQueueFn QueueInto(CIPDataArray& data)
{
    return [&data](int nKind, const std::string& strAddress, uint32_t nGap) {
        switch (nKind) {
        case lookupWhois:
            return data.QueueWhoisLookup(strAddress, nGap, kNoon);
        case lookupHostName:
            return data.QueueHostNameLookup(strAddress);
        case lookupPing:
            return data.QueuePingLookup(strAddress, nGap, kNoon);
        default:
            return data.QueueTraceLookup(strAddress, nGap, kNoon);
        }
    };
}

// Three records: one never looked up, one with a fresh whois answer, one with a
// host name only.
struct CDocument {
    CIPDataArray data;
    std::vector<std::string> rows {"192.0.2.1", "192.0.2.2", "192.0.2.3"};
    CDocument()
    {
        for (const std::string& str : rows)
            data.FindOrAdd(str);
        data.SetWhoisResult("192.0.2.2", "192.0.2.2\r\n\r\nnetname: X", kHourAgo);
        data.SetHostNameResult("192.0.2.3", "host.example");
    }
};

} // namespace

TEST(LookupChoice, RowsKindsAndFreshResultsDecideWhatWaits)
{
    struct Case {
        const char* pszName;
        CLookupChoice choice;
        std::vector<std::string> whois;
        std::vector<std::string> hostName;
        std::vector<std::string> ping;
    };
    using R = CLookupChoice;
    const Case cases[] = {
        {"whois, fresh kept", Choice(R::rowsAll, {true, false, false, false}), {"192.0.2.1", "192.0.2.3"}, {}, {}},
        {"whois, everything again",
         Choice(R::rowsAll, {true, false, false, false}, false),
         {"192.0.2.1", "192.0.2.2", "192.0.2.3"},
         {},
         {}},
        {"host names, known kept", Choice(R::rowsAll, {false, true, false, false}), {}, {"192.0.2.1", "192.0.2.2"}, {}},
        {"host names, everything again",
         Choice(R::rowsAll, {false, true, false, false}, false),
         {},
         {"192.0.2.1", "192.0.2.2", "192.0.2.3"},
         {}},
        {"whois and ping at once",
         Choice(R::rowsAll, {true, false, true, false}),
         {"192.0.2.1", "192.0.2.3"},
         {},
         {"192.0.2.1", "192.0.2.2", "192.0.2.3"}},
        {"never looked up by whois",
         Choice(R::rowsNeverLookedUp, {true, false, false, false}, false),
         {"192.0.2.1", "192.0.2.3"},
         {},
         {}},
        {"never looked up by whois or host name",
         Choice(R::rowsNeverLookedUp, {true, true, false, false}, false),
         {"192.0.2.1"},
         {"192.0.2.1"},
         {}},
    };
    for (const Case& c : cases) {
        CDocument doc;
        QueueChosenLookups(doc.data, QueueInto(doc.data), doc.rows, c.choice, 1440, kNoon, nullptr, nullptr);
        EXPECT_EQ(Waiting(doc.data, lookupWhois), c.whois) << c.pszName;
        EXPECT_EQ(Waiting(doc.data, lookupHostName), c.hostName) << c.pszName;
        EXPECT_EQ(Waiting(doc.data, lookupPing), c.ping) << c.pszName;
        EXPECT_TRUE(Waiting(doc.data, lookupTrace).empty()) << c.pszName;
    }
}

TEST(LookupChoice, NothingSelectedQueuesNothing)
{
    CDocument doc;
    const CQueueCounts counts = QueueChosenLookups(doc.data, QueueInto(doc.data), {},
                                                   Choice(CLookupChoice::rowsSelected, {true, true, true, true}), 1440,
                                                   kNoon, nullptr, nullptr);
    EXPECT_EQ(counts.m_nQueued, 0);
    EXPECT_FALSE(doc.data.HasPending());
    EXPECT_FALSE(Choice(CLookupChoice::rowsAll, {false, false, false, false}).AnyKind());
}

TEST(LookupChoice, AKnownRangeAnswersAtQueueTimeAndTheRunCountsItDone)
{
    CDocument doc;
    CFakeClock clock(kNoon);
    CRangeReuse reuse;
    CLookupProgress progress(clock);
    CWhoisFacts facts;
    facts.m_bHasRange = true;
    facts.m_dwRangeStart = ParseDottedQuad("192.0.2.0");
    facts.m_dwRangeEnd = ParseDottedQuad("192.0.2.127");
    facts.m_strRegistry = "RIPE";
    reuse.NoteKnownRange("192.0.2.2", facts, kHourAgo);
    doc.data.FindOrAdd("192.0.2.200");
    doc.rows.push_back("192.0.2.200");
    doc.data.GetWaitingList(lookupWhois).AddUnique("192.0.2.3"); // already waits: not counted again

    const CQueueCounts counts =
        QueueChosenLookups(doc.data, QueueInto(doc.data), doc.rows,
                           Choice(CLookupChoice::rowsAll, {true, false, false, false}), 1440, kNoon, &reuse, &progress);
    EXPECT_EQ(counts.m_nFromKnownRange, 1);
    EXPECT_EQ(counts.m_nKept, 1);
    EXPECT_EQ(counts.m_nQueued, 2);
    EXPECT_EQ(doc.data.GetRawWhois("192.0.2.1"), "192.0.2.1\r\n\r\nnetname: X");
    EXPECT_EQ(reuse.GetReusedFrom("192.0.2.1"), "192.0.2.2");
    EXPECT_EQ(Waiting(doc.data, lookupWhois), (std::vector<std::string> {"192.0.2.3", "192.0.2.200"}));
    EXPECT_EQ(progress.Text(), "Looking up 1 of 2");

    // Asking for everything again asks the servers, whatever the neighbours know.
    CDocument again;
    QueueChosenLookups(again.data, QueueInto(again.data), again.rows,
                       Choice(CLookupChoice::rowsAll, {true, false, false, false}, false), 1440, kNoon, &reuse,
                       nullptr);
    EXPECT_EQ(Waiting(again.data, lookupWhois).size(), 3u);
}
