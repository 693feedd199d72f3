// The registry back-off in real runs: the lookup session against the loopback
// whois servers, with a clock the test moves.

#include "LoopbackWhoisServer.h"
#include "core/document/NetloreDoc.h"
#include "net/WhoisLoopbackFixture.h"
#include "sched/ConnSettings.h"
#include "sched/LookupSession.h"

#include "support/FakeClock.h"
#include "support/FakeIcmpService.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// 193.0.0.0/8 is RIPE's and 8.0.0.0/8 ARIN's in the shipped bootstrap. ARIN hands
// the RIPE addresses on; RIPE says "query limit" for kLimited.
constexpr const char* kLimited = "193.0.0.1";
constexpr const char* kRipeToo = "193.0.0.2";
constexpr const char* kArinOwn = "8.8.8.8";

class RegistryBackoffThreadedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WhoisLoopback::StartAll(m_whois);
        const std::string referral =
            ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
        for (const char* a : {kLimited, kRipeToo})
            m_whois.SetAnswer(WhoisLoopback::kArin, a, referral);
        m_whois.SetAnswer(WhoisLoopback::kArin, kArinOwn,
                          "NetRange:       8.0.0.0 - 8.255.255.255\nOrgName:        Level 3 Parent, LLC\n");
        m_whois.SetDefaultAnswer(WhoisLoopback::kRipe, RipeAnswer());
        m_whois.SetAnswer(WhoisLoopback::kRipe, kLimited, CLoopbackWhoisServer::QueryLimitText());
        m_session.SetServers(WhoisLoopback::TableFor(m_whois));
        CConnSettings settings;
        settings.m_nWhoisInterval = 0;
        settings.m_nWhoisLimit = 1;
        // One start a tick, every chain from ARIN; pacing per registry has tests of its own.
        settings.m_bPacePerRegistry = false;
        m_session.SetSettings(settings);
    }

    void TearDown() override
    {
        m_session.Stop(m_doc);
        m_session.JoinAll();
        m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now());
    }

    static std::string RipeAnswer() { return ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")); }

    void Queue(const Strings& addresses)
    {
        for (const std::string& a : addresses) {
            m_doc.AddIP(a);
            ASSERT_TRUE(m_session.Queue(m_doc, lookupWhois, a)) << a;
        }
    }

    // One tick and the one completion it brings.
    CLookupOutcome RunOne()
    {
        m_session.Tick(m_doc);
        CLookupOutcome outcome;
        EXPECT_EQ(m_session.MergeArrived(
                      &m_doc, std::chrono::steady_clock::now() + 20s, [&](const CLookupOutcome& o) { outcome = o; }, 1),
                  1);
        return outcome;
    }

    // A tick that must start nothing.
    void TickStartsNothing()
    {
        m_session.Tick(m_doc);
        EXPECT_TRUE(m_doc.GetData().GetRunningList(lookupWhois).empty());
    }

    Strings Waiting() const
    {
        Strings result;
        const CSerStringArray& waiting = m_doc.GetData().GetWaitingList(lookupWhois);
        for (int i = 0; i < waiting.GetSize(); ++i)
            result.push_back(waiting.GetString(i));
        return result;
    }

    CLoopbackWhoisServer m_whois;
    CFakeNameResolver m_resolver;
    CFakeIcmpService m_icmp;
    CFakeClock m_clock;
    CNetloreDoc m_doc {&m_clock};
    CLookupSession m_session {m_resolver, &m_icmp, m_clock};
};

} // namespace

TEST_F(RegistryBackoffThreadedTest, ALimitAnswerPausesItsRegistryWhileTheOthersGoOn)
{
    ASSERT_EQ(m_session.RegistryOf(kLimited), "RIPE");
    ASSERT_EQ(m_session.RegistryOf(kArinOwn), "ARIN");
    Queue({kLimited, kRipeToo, kArinOwn});

    const CLookupOutcome limited = RunOne();
    EXPECT_EQ(limited.m_strAddress, kLimited);
    EXPECT_EQ(limited.m_strLimitRegistry, "RIPE");
    EXPECT_TRUE(limited.m_bRequeued);
    EXPECT_EQ(limited.m_nEmptyAnswers, 0);
    EXPECT_EQ(m_session.BackoffText(), "Query limit: RIPE paused until 12:01:00");

    // The other RIPE address waits; ARIN's own goes on.
    const CLookupOutcome other = RunOne();
    EXPECT_EQ(other.m_strAddress, kArinOwn);
    EXPECT_TRUE(other.m_bStored);
    TickStartsNothing();
    EXPECT_EQ(Waiting(), (Strings {kRipeToo, kLimited}));
    const size_t nRipeAsked = m_whois.Queries(WhoisLoopback::kRipe).size();
    m_clock.AdvanceSeconds(59);
    TickStartsNothing();
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kRipe).size(), nRipeAsked);
    EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nFailed, 0);

    // After the pause RIPE answers the other address, which forgives the limit: the
    // next one pauses it for a minute again, the one after that for two.
    m_clock.AdvanceSeconds(2);
    EXPECT_EQ(m_session.BackoffText(), "");
    const CLookupOutcome again = RunOne();
    EXPECT_EQ(again.m_strAddress, kRipeToo);
    EXPECT_TRUE(again.m_bStored);
    EXPECT_EQ(RunOne().m_strLimitRegistry, "RIPE");
    EXPECT_EQ(m_session.BackoffText(), "Query limit: RIPE paused until 12:02:01");
    m_clock.AdvanceSeconds(61);
    EXPECT_EQ(RunOne().m_strLimitRegistry, "RIPE");
    EXPECT_EQ(m_session.BackoffText(), "Query limit: RIPE paused until 12:04:02");

    // A good answer ends it.
    m_whois.SetAnswer(WhoisLoopback::kRipe, kLimited, RipeAnswer());
    m_clock.AdvanceSeconds(121);
    EXPECT_TRUE(RunOne().m_bStored);
    EXPECT_EQ(m_session.BackoffText(), "");
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nDone, 3);
    EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nFailed, 0);
}

TEST_F(RegistryBackoffThreadedTest, ALimitAnswerOnTheLastTrySpendsNoTry)
{
    Queue({kLimited});
    // Two lookups in which ARIN never answers (four queries each).
    m_whois.SetMode(WhoisLoopback::kArin, EWhoisServerMode::closeAtOnce, 8);
    EXPECT_EQ(RunOne().m_nEmptyAnswers, 1);
    EXPECT_EQ(RunOne().m_nEmptyAnswers, 2);
    // The third try meets RIPE's limit: it waits again, without a try spent.
    const CLookupOutcome limited = RunOne();
    EXPECT_EQ(limited.m_strLimitRegistry, "RIPE");
    EXPECT_TRUE(limited.m_bRequeued);
    EXPECT_FALSE(limited.m_bGaveUp);
    EXPECT_EQ(Waiting(), Strings {kLimited});
    // Once the pause is over the registry answers, and the answer is stored.
    m_whois.SetAnswer(WhoisLoopback::kRipe, kLimited, RipeAnswer());
    TickStartsNothing();
    m_clock.AdvanceSeconds(61);
    EXPECT_TRUE(RunOne().m_bStored);
    EXPECT_NE(m_doc.GetData().GetRawWhois(kLimited).find("128.79.0.0"), std::string::npos);
}

TEST_F(RegistryBackoffThreadedTest, StopAllOrARegistryThatDisappearsEndsTheRun)
{
    for (const bool bStop : {true, false}) {
        SCOPED_TRACE(bStop ? "Stop All during the pause" : "the registry disappears after its limit");
        m_session.ResetCounts();
        Queue({kLimited, kRipeToo});
        EXPECT_EQ(RunOne().m_strLimitRegistry, "RIPE");
        TickStartsNothing();
        if (bStop) {
            m_session.Stop(m_doc);
            EXPECT_FALSE(m_doc.HasPendingLookups());
            EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nFailed, 0);
            m_clock.AdvanceSeconds(3600);
            continue;
        }
        // RIPE no longer answers at all: once the pause is over each address keeps
        // ARIN's answer (a referral to a dead server loses nothing), and the run ends.
        m_whois.SetMode(WhoisLoopback::kRipe, EWhoisServerMode::closeAtOnce);
        m_clock.AdvanceSeconds(3600);
        for (int n = 0; n < 2; ++n)
            EXPECT_TRUE(RunOne().m_bStored);
        EXPECT_FALSE(m_doc.HasPendingLookups());
        EXPECT_EQ(m_session.BackoffText(), "");
        EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nFailed, 0);
        for (const char* a : {kLimited, kRipeToo})
            EXPECT_NE(m_doc.GetData().GetRawWhois(a).find("ReferralServer"), std::string::npos) << a;
    }
}
