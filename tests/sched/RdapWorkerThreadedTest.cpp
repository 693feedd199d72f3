#include "LoopbackRdapServer.h"
#include "core/LookupJob.h"
#include "core/NetloreDoc.h"
#include "core/RdapText.h"
#include "net/RdapClient.h"
#include "net/WhoisLoopbackFixture.h"
#include "sched/CompletionQueue.h"
#include "sched/ConnSettings.h"
#include "sched/LastWhoisDone.h"
#include "sched/LookupCodes.h"
#include "sched/Scheduler.h"
#include "sched/WorkerEnvironment.h"
#include "sched/WorkerThreads.h"

#include "support/FakeClock.h"
#include "support/FakeIcmpService.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

// The whois worker with RDAP first, through the scheduler's start and merge, against
// a loopback RDAP server and, for the fallback, the loopback whois servers.
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
        m_table = WhoisLoopback::TableFor(m_whois);
        ASSERT_TRUE(m_rdap.LoadAnswers(TestDataPath("rdap")));
        ASSERT_TRUE(m_rdap.Start());
        m_env.m_pServers = &m_table;
        m_env.m_pResolver = &m_resolver;
        m_env.m_pIcmp = &m_icmp;
        m_env.m_pSink = &m_queue;
        m_env.m_pThreads = &m_threads;
        m_env.m_pClock = &m_clock;
        m_env.m_pLastWhoisDone = &m_lastWhois;
        m_settings.m_nWhoisInterval = 0;
        m_settings.m_nWhoisLimit = 1;
    }

    void TearDown() override
    {
        m_threads.JoinAll();
        CCompletion c;
        while (m_queue.TryTake(c))
            HandleCompletion(&m_doc, c.m_nCode, c.m_pJob);
    }

    void UseRdap(const std::string& mode)
    {
        CRdapBootstrap b;
        std::string error;
        ASSERT_TRUE(b.Parse(R"({"services": [[["0.0.0.0/0"], [")" + m_rdap.BaseUrl(mode) + "\"]]]}", error));
        m_pClient = std::make_unique<CRdapClient>(std::move(b), m_table, "");
        m_env.m_pRdap = m_pClient.get();
    }

    // Starts one whois job and waits for its completion (not merged yet).
    CCompletion RunOne()
    {
        CCompletion c;
        EXPECT_TRUE(StartNextWhoisJob(m_doc.GetData(), LookupCodes::kWhoisCompleted, 1, 0, m_env));
        EXPECT_TRUE(m_queue.Take(c, 20s));
        m_threads.JoinAll();
        return c;
    }

    CLoopbackWhoisServer m_whois;
    CLoopbackRdapServer m_rdap;
    CWhoisServerTable m_table;
    CFakeNameResolver m_resolver;
    CFakeIcmpService m_icmp;
    CFakeClock m_clock;
    CLastWhoisDone m_lastWhois;
    CConnSettings m_settings;
    CNetloreDoc m_doc {&m_clock};
    CCompletionQueue m_queue;
    CWorkerThreads m_threads;
    CWorkerEnvironment m_env;
    std::unique_ptr<CRdapClient> m_pClient;
};

TEST_F(RdapWorkerThreadedTest, AnswerIsStoredAndReadLikeWhois)
{
    UseRdap("ok");
    m_doc.QueueWhoisLookup("74.125.225.229", 1440);
    const CCompletion c = RunOne();
    ASSERT_NE(c.m_pJob, nullptr);
    EXPECT_TRUE(HandleCompletion(&m_doc, c.m_nCode, c.m_pJob));
    const CIPDataArray& data = m_doc.GetData();
    const std::string text = data.GetRawWhois("74.125.225.229");
    EXPECT_EQ(text.rfind("74.125.225.229\r\n\r\nNetRange:       74.125.0.0 - 74.125.255.255\r\n", 0), 0u);
    EXPECT_EQ(RdapText::JsonOf(text), ReadFileBytes(TestDataPath("rdap/arin-ipwhois-74.125.225.229.json")));
    EXPECT_EQ(data.GetOwner("74.125.225.229"), "Google Inc.");
    EXPECT_EQ(data.GetRangeText("74.125.225.229"), "74.125.0.0 - 74.125.255.255");
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 0u);
}

TEST_F(RdapWorkerThreadedTest, ServerErrorFallsBackToPort43)
{
    UseRdap("fail");
    m_doc.QueueWhoisLookup("130.66.76.1", 1440);
    const CCompletion c = RunOne();
    EXPECT_TRUE(HandleCompletion(&m_doc, c.m_nCode, c.m_pJob));
    const std::string text = m_doc.GetData().GetRawWhois("130.66.76.1");
    EXPECT_TRUE(RdapText::JsonOf(text).empty());
    EXPECT_NE(text.find("inetnum:"), std::string::npos);
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 1u);
}

TEST_F(RdapWorkerThreadedTest, OverLimitSendsTheAddressBackWithoutATry)
{
    m_rdap.SetRetryAfter("300");
    UseRdap("limit");
    m_doc.QueueWhoisLookup("74.125.225.229", 1440);
    CCompletion c = RunOne();
    ASSERT_NE(c.m_pJob, nullptr);
    EXPECT_TRUE(c.m_pJob->m_bRetryLater);
    EXPECT_TRUE(c.m_pJob->m_strResult.empty());
    EXPECT_FALSE(HandleCompletion(&m_doc, c.m_nCode, c.m_pJob));
    EXPECT_EQ(m_doc.GetData().GetWaitingList(lookupWhois).GetSize(), 1);

    // Asked again at once: the registry is not contacted, nor is port 43.
    c = RunOne();
    EXPECT_TRUE(c.m_pJob->m_bRetryLater);
    HandleCompletion(&m_doc, c.m_nCode, c.m_pJob);
    EXPECT_EQ(m_rdap.Requests(), 1u);
    EXPECT_EQ(m_whois.Queries(WhoisLoopback::kArin).size(), 0u);
    m_doc.GetData().ClearAllPending();
}

} // namespace
