#include "LoopbackRdapServer.h"
#include "core/document/NetloreDoc.h"
#include "core/record/LookupJob.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"
#include "net/RdapClient.h"
#include "net/WhoisLoopbackFixture.h"
#include "sched/ConnSettings.h"
#include "sched/LookupSession.h"

#include "support/FakeClock.h"
#include "support/FakeIcmpService.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

// The lookup session's whois row with RDAP first, against a loopback RDAP server
// and, for the fallback, the loopback whois servers.
class RdapWorkerThreadedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WhoisLoopback::StartAll(m_whois);
        m_whois.SetDefaultAnswer(
            WhoisLoopback::kArin,
            ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_whois.SetDefaultAnswer(WhoisLoopback::kRipe,
                                 ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        ASSERT_TRUE(m_rdap.LoadAnswers(TestDataPath("rdap")));
        ASSERT_TRUE(m_rdap.Start());
        m_session.SetServers(WhoisLoopback::TableFor(m_whois));
        CConnSettings settings;
        settings.m_nWhoisInterval = 0;
        settings.m_nWhoisLimit = 1;
        m_session.SetSettings(settings);
        m_session.SetTickInterval(std::chrono::milliseconds(0));
    }

    void TearDown() override
    {
        m_session.Stop(m_doc);
        m_session.JoinAll();
        m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now());
    }

    void UseRdap(const std::string& mode)
    {
        CRdapBootstrap b;
        std::string error;
        ASSERT_TRUE(b.Parse(R"({"services": [[["0.0.0.0/0"], [")" + m_rdap.BaseUrl(mode) + "\"]]]}", error));
        m_session.SetRdapClient(std::make_unique<CRdapClient>(std::move(b), m_session.GetServers(), ""));
        m_session.SetWhoisSource(EWhoisSource::kRdap);
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

    CLoopbackWhoisServer m_whois;
    CLoopbackRdapServer m_rdap;
    CFakeNameResolver m_resolver;
    CFakeIcmpService m_icmp;
    CFakeClock m_clock;
    CNetloreDoc m_doc {&m_clock};
    CLookupSession m_session {m_resolver, &m_icmp, m_clock};
};

TEST_F(RdapWorkerThreadedTest, AnswerIsStoredAndReadLikeWhois)
{
    UseRdap("ok");
    m_session.Queue(m_doc, lookupWhois, "74.125.225.229");
    const CLookupOutcome o = RunOne();
    EXPECT_TRUE(o.m_bStored);
    const CIPDataArray& data = m_doc.GetData();
    const std::string text = data.GetRawWhois("74.125.225.229");
    EXPECT_EQ(text.rfind("74.125.225.229\r\n\r\nNetRange:       74.125.0.0 - 74.125.255.255\r\n", 0), 0u);
    EXPECT_EQ(RdapText::JsonOf(text), ReadFileBytes(TestDataPath("rdap/arin-ipwhois-74.125.225.229.json")));
    EXPECT_EQ(data.GetOwner("74.125.225.229"), "Google Inc.");
    EXPECT_EQ(data.GetRangeText("74.125.225.229"), "74.125.0.0 - 74.125.255.255");
    const CWhoisFacts facts = ReadWhoisFacts(text);
    EXPECT_TRUE(facts.m_bFromRdap);
    EXPECT_EQ(facts.m_strAbuse, "arin-contact@google.com");
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 0u);
}

TEST_F(RdapWorkerThreadedTest, ServerErrorFallsBackToPort43)
{
    UseRdap("fail");
    m_session.Queue(m_doc, lookupWhois, "130.66.76.1");
    EXPECT_TRUE(RunOne().m_bStored);
    const std::string text = m_doc.GetData().GetRawWhois("130.66.76.1");
    EXPECT_TRUE(RdapText::JsonOf(text).empty());
    EXPECT_NE(text.find("inetnum:"), std::string::npos);
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 1u);
}

TEST_F(RdapWorkerThreadedTest, OverLimitSendsTheAddressBackWithoutATry)
{
    m_rdap.SetRetryAfter("300");
    UseRdap("limit");
    m_session.Queue(m_doc, lookupWhois, "74.125.225.229");
    const CLookupOutcome first = RunOne();
    EXPECT_TRUE(first.m_bRequeued);
    EXPECT_EQ(first.m_strLimitRegistry, m_session.RegistryOf("74.125.225.229"));
    // The registry is paused for as long as it asked, longer than the first minute:
    // its address waits and is not started.
    for (double dSeconds : {0.0, 61.0, 238.0}) {
        m_clock.AdvanceSeconds(dSeconds);
        m_session.Tick(m_doc);
        EXPECT_TRUE(m_doc.GetData().GetRunningList(lookupWhois).empty()) << dSeconds;
        EXPECT_NE(m_session.BackoffText().find("paused until 12:05:00"), std::string::npos) << m_session.BackoffText();
    }
    m_clock.AdvanceSeconds(2.0);
    // More rounds than the empty-answer limit: the address keeps waiting, nothing counts as failed.
    for (int round = 0; round < CLookupSession::kMaxEmptyAnswers + 2; ++round) {
        SCOPED_TRACE(round);
        const CLookupOutcome o = RunOne();
        EXPECT_FALSE(o.m_bStored);
        EXPECT_TRUE(o.m_bRequeued);
        EXPECT_FALSE(o.m_bGaveUp);
        EXPECT_EQ(o.m_nEmptyAnswers, 0);
        EXPECT_EQ(m_doc.GetData().GetWaitingList(lookupWhois).GetSize(), 1);
    }
    EXPECT_EQ(m_session.GetCounts(m_doc, lookupWhois).m_nFailed, 0);
    // Only the first round reached the registry (the client keeps its own wait); port 43 was never asked.
    EXPECT_EQ(m_rdap.Requests(), 1u);
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 0u);
}

} // namespace
