#include "core/LookupJob.h"
#include "core/NetloreDoc.h"
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

#include <condition_variable>

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// Real worker threads whose work waits until the test opens the gate, so a test
// can look at jobs that are certainly still running.
class CGatedThreads : public CThreadStarter
{
public:
    ~CGatedThreads() override
    {
        Open();
        m_threads.JoinAll();
    }
    bool Start(std::function<void()> fnWork) override
    {
        return m_threads.Start([this, fn = std::move(fnWork)] {
            {
                std::unique_lock lock(m_mutex);
                m_opened.wait(lock, [this] { return m_bOpen; });
            }
            fn();
        });
    }
    void Open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bOpen = true;
        }
        m_opened.notify_all();
    }
    CWorkerThreads& Threads() { return m_threads; }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_bOpen = false;
    CWorkerThreads m_threads;
};

// A platform that has no threads left to give.
class CRefusingThreads : public CThreadStarter
{
public:
    bool Start(std::function<void()>) override
    {
        ++m_nRefused;
        return false;
    }
    int m_nRefused = 0;
};

Strings Waiting(const CIPDataArray& data, int nKind)
{
    Strings out;
    for (int i = 0; i < data.GetWaitingList(nKind).GetSize(); ++i)
        out.push_back(data.GetWaitingList(nKind).GetString(i));
    return out;
}

class SchedulerThreadedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nJobsBefore = CLookupJob::LiveCount();
        WhoisLoopback::StartAll(m_server);
        // A real ARIN answer handing 130.66.0.0/15 to RIPE, and RIPE's answer.
        m_server.SetDefaultAnswer(
            WhoisLoopback::kArin,
            ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_server.SetDefaultAnswer(WhoisLoopback::kRipe,
                                  ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        m_table = WhoisLoopback::TableFor(m_server);
        m_env.m_pServers = &m_table;
        m_env.m_pResolver = &m_resolver;
        m_env.m_pIcmp = &m_icmp;
        m_env.m_pSink = &m_queue;
        m_env.m_pThreads = &m_threads;
        m_env.m_pClock = &m_clock;
        m_env.m_pLastWhoisDone = &m_lastWhois;
        m_settings.m_nWhoisInterval = 0;
    }

    void TearDown() override
    {
        m_gated.Open();
        m_gated.Threads().JoinAll();
        m_threads.JoinAll();
        CCompletion c;
        while (m_queue.TryTake(c))
            HandleCompletion(&m_doc, c.m_nCode, c.m_pJob);
        EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore) << "a job was leaked";
    }

    void Queue(int nCount, const std::string& prefix = "130.66.76.")
    {
        for (int i = 1; i <= nCount; ++i)
            m_doc.QueueWhoisLookup(prefix + std::to_string(i), 1440);
    }

    // Waits for one completion and merges it; false when none came.
    bool MergeNext(bool* pbStored = nullptr)
    {
        CCompletion c;
        if (!m_queue.Take(c, 10s))
            return false;
        const bool bStored = HandleCompletion(&m_doc, c.m_nCode, c.m_pJob);
        if (pbStored)
            *pbStored = bStored;
        return true;
    }

    size_t RunningWhois() const { return m_doc.GetData().GetRunningList(lookupWhois).size(); }

    CLoopbackWhoisServer m_server;
    CWhoisServerTable m_table;
    CFakeNameResolver m_resolver;
    CFakeIcmpService m_icmp;
    CFakeClock m_clock;
    CLastWhoisDone m_lastWhois;
    CConnSettings m_settings;
    CNetloreDoc m_doc {&m_clock};
    CCompletionQueue m_queue;
    CWorkerThreads m_threads;
    CGatedThreads m_gated;
    CWorkerEnvironment m_env;
    int m_nJobsBefore = 0;
};

} // namespace

TEST_F(SchedulerThreadedTest, WhoisWaitsTheIntervalAfterTheLastResult)
{
    m_settings.m_nWhoisLimit = 3;
    m_settings.m_nWhoisInterval = 10;
    Queue(10);

    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    EXPECT_EQ(RunningWhois(), 1u);
    bool bStored = false;
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    EXPECT_EQ(m_lastWhois.Get(), m_clock.Now());
    EXPECT_EQ(m_doc.GetData().GetWhoisTime("130.66.76.1"), m_clock.Now());
    EXPECT_NE(m_doc.GetData().GetRawWhois("130.66.76.1").find("130.66.76.1\r\n\r\n"), std::string::npos);
    EXPECT_EQ(m_doc.GetData().GetCountry("130.66.76.1"), "FR");

    // Three slots free, but 9.4 seconds are not 10.
    for (int i = 0; i < 4; ++i) {
        m_clock.AdvanceSeconds(2.35);
        SchedulerTick(m_doc.GetData(), m_settings, m_env);
        EXPECT_EQ(RunningWhois(), 0u) << "tick " << i;
    }
    m_clock.AdvanceSeconds(0.6);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    EXPECT_EQ(RunningWhois(), 1u);
    EXPECT_EQ(m_doc.GetData().GetWaitingList(lookupWhois).GetSize(), 8);
    ASSERT_TRUE(MergeNext());
}

TEST_F(SchedulerThreadedTest, IntervalZeroStartsOneJobPerTickUpToTheLimit)
{
    m_env.m_pThreads = &m_gated;
    m_settings.m_nWhoisLimit = 3;
    Queue(10);
    for (size_t expected : {1u, 2u, 3u, 3u, 3u}) {
        SchedulerTick(m_doc.GetData(), m_settings, m_env);
        EXPECT_EQ(RunningWhois(), expected);
    }
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois).front(), "130.66.76.4");
    m_gated.Open();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(MergeNext());
    EXPECT_EQ(RunningWhois(), 0u);
    EXPECT_EQ(m_doc.GetData().GetSize(), 3);
}

TEST_F(SchedulerThreadedTest, StopAllWithTwoJobsRunningStillStoresBothResults)
{
    m_env.m_pThreads = &m_gated;
    m_settings.m_nWhoisLimit = 3;
    Queue(5);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    ASSERT_EQ(RunningWhois(), 2u);

    EXPECT_TRUE(m_doc.GetData().ClearAllPending());
    EXPECT_FALSE(m_doc.HasPendingLookups());
    m_gated.Open();
    bool bStored = false;
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    EXPECT_FALSE(m_doc.GetData().GetRawWhois("130.66.76.1").empty());
    EXPECT_FALSE(m_doc.GetData().GetRawWhois("130.66.76.2").empty());
    EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore);
    EXPECT_FALSE(m_doc.HasPendingLookups());
}

TEST_F(SchedulerThreadedTest, EmptyAnswerGoesBackToTheEndAndTheDeletedAddressComesBack)
{
    // 10.1.1.1 gets no answer at all (the server hangs up after the query).
    m_server.SetAnswer(WhoisLoopback::kArin, "10.1.1.1", "");
    m_doc.AddIP("10.1.1.1");
    m_doc.AddIP("130.66.76.1");
    m_doc.GetData().SetWhoisResult("10.1.1.1", "", COleDateTime());
    m_doc.SetModifiedFlag(false);
    m_settings.m_nWhoisLimit = 1;
    m_doc.QueueWhoisLookup("10.1.1.1", 1440);
    m_doc.QueueWhoisLookup("130.66.76.1", 1440);
    m_doc.QueueWhoisLookup("130.66.76.2", 1440);

    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    bool bStored = true;
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_FALSE(bStored);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.1", "130.66.76.2", "10.1.1.1"}));
    EXPECT_FALSE(m_doc.IsModified());

    // Deleted while its lookup runs: the answer adds the record back at the end.
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    m_doc.DeleteIP("130.66.76.1");
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    EXPECT_EQ(m_doc.GetData().GetIPAddressAt(1), "130.66.76.1");
    EXPECT_TRUE(m_doc.IsModified());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, LimitZeroOrLessLeavesItsListUntouched)
{
    m_settings.m_nWhoisLimit = 0;
    m_settings.m_nDnsLimit = -1;
    m_resolver.AddHost("one.example", 0x0A000001);
    Queue(2);
    m_doc.AddIP("10.0.0.1");
    m_doc.QueueHostNameLookup("10.0.0.1");
    m_doc.QueuePingLookup("10.0.0.1", 0);
    m_icmp.SetResponder([](const CFakeEchoRequest& r) { return CFakeEchoOutcome::Reply(r.m_dwAddress, 0, 7); });
    for (int i = 0; i < 20; ++i)
        SchedulerTick(m_doc.GetData(), m_settings, m_env);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.1", "130.66.76.2"}));
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupHostName), (Strings {"10.0.0.1"}));
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kArin), 0);
    // Ping's own limit still lets its job run.
    ASSERT_TRUE(MergeNext());
    EXPECT_EQ(m_doc.GetData().GetPingText("10.0.0.1"), "7 ms");
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, HostNamePingAndTraceWorkersDeliverTheirResults)
{
    m_resolver.AddHost("one.example", 0x0A000001);
    m_doc.GetData().SetResolveTraceHops(true);
    for (const char* a : {"10.0.0.1", "10.0.0.2"}) {
        m_doc.AddIP(a);
        m_doc.QueueHostNameLookup(a);
        m_doc.QueuePingLookup(a, 0);
        m_doc.QueueTraceLookup(a, 0);
    }
    // 10.0.0.1 answers pings in 10, 20 and 31 ms; the route to it is one router away.
    std::atomic<int> nEcho {0};
    m_icmp.SetResponder([&](const CFakeEchoRequest& r) {
        if (r.m_dwAddress != 0x0A000001)
            return CFakeEchoOutcome::NoReply();
        if (r.m_nTtl == 1)
            return CFakeEchoOutcome::Reply(0x0A0000FE, 11013, 1);
        static const uint32_t times[] = {10, 20, 31};
        return CFakeEchoOutcome::Reply(r.m_dwAddress, 0, r.m_nTtl == 2 ? 2 : times[nEcho++ % 3]);
    });
    m_settings.m_nPingLimit = 1;
    m_settings.m_nTraceLimit = 1;
    int nMerged = 0;
    while (m_doc.HasPendingLookups() && nMerged < 6) {
        SchedulerTick(m_doc.GetData(), m_settings, m_env);
        ASSERT_TRUE(MergeNext());
        ++nMerged;
    }
    EXPECT_EQ(nMerged, 6);
    const CIPDataArray& data = m_doc.GetData();
    EXPECT_EQ(data.GetHostName("10.0.0.1"), "one.example");
    EXPECT_EQ(data.GetHostName("10.0.0.2"), "unavailable");
    EXPECT_EQ(data.GetPingText("10.0.0.2"), "Failed");
    EXPECT_EQ(data.GetPingText("10.0.0.1"), "20 ms");
    EXPECT_EQ(data.FindByIP("10.0.0.1")->GetPingTries(), 3u);
    EXPECT_NE(data.GetTraceText("10.0.0.1").find("10.0.0.254"), std::string::npos);
    EXPECT_NE(data.GetTraceText("10.0.0.1").find("one.example"), std::string::npos);
    EXPECT_TRUE(data.GetTraceTime("10.0.0.2").IsValid());
}

TEST_F(SchedulerThreadedTest, PingWithoutAnIcmpSocketIsFailedNotZeroMilliseconds)
{
    m_icmp.FailOpen("Operation not permitted");
    m_doc.AddIP("10.0.0.1");
    m_doc.QueuePingLookup("10.0.0.1", 0);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    ASSERT_TRUE(MergeNext());
    EXPECT_EQ(m_doc.GetData().GetPingText("10.0.0.1"), "Failed");

    m_env.m_pIcmp = nullptr;
    m_doc.QueuePingLookup("10.0.0.1", 0);
    m_doc.QueueTraceLookup("10.0.0.1", 0);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    ASSERT_TRUE(MergeNext());
    ASSERT_TRUE(MergeNext());
    EXPECT_EQ(m_doc.GetData().GetPingText("10.0.0.1"), "Failed");
}

TEST_F(SchedulerThreadedTest, AThreadThatCannotStartHoldsNoSlot)
{
    CRefusingThreads refusing;
    m_env.m_pThreads = &refusing;
    m_settings.m_nWhoisLimit = 1;
    Queue(2);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(StartNextWhoisJob(m_doc.GetData(), LookupCodes::kWhoisCompleted, 1, 0, m_env));
    EXPECT_EQ(refusing.m_nRefused, 3);
    EXPECT_EQ(RunningWhois(), 0u);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.1", "130.66.76.2"}));
    EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore);

    // Threads are back: the same address goes first.
    m_env.m_pThreads = &m_threads;
    EXPECT_TRUE(StartNextWhoisJob(m_doc.GetData(), LookupCodes::kWhoisCompleted, 1, 0, m_env));
    ASSERT_TRUE(MergeNext());
    EXPECT_FALSE(m_doc.GetData().GetRawWhois("130.66.76.1").empty());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, AStartThatReentersTheLoopCannotStartTheSameAddressTwice)
{
    // A starter that pumps the event loop, which runs another tick.
    class CReentrant : public CThreadStarter
    {
    public:
        CReentrant(CIPDataArray& data, const CWorkerEnvironment& env, CThreadStarter& real)
            : m_data(data)
            , m_env(env)
            , m_real(real)
        { }
        bool Start(std::function<void()> fn) override
        {
            m_bInner = StartNextWhoisJob(m_data, LookupCodes::kWhoisCompleted, 3, 0, m_env);
            return m_real.Start(std::move(fn));
        }
        CIPDataArray& m_data;
        const CWorkerEnvironment& m_env;
        CThreadStarter& m_real;
        bool m_bInner = true;
    } reentrant(m_doc.GetData(), m_env, m_threads);
    m_env.m_pThreads = &reentrant;
    Queue(2);
    EXPECT_TRUE(StartNextWhoisJob(m_doc.GetData(), LookupCodes::kWhoisCompleted, 3, 0, m_env));
    EXPECT_FALSE(reentrant.m_bInner);
    EXPECT_EQ(RunningWhois(), 1u);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.2"}));
    m_env.m_pThreads = &m_threads;
    ASSERT_TRUE(MergeNext());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, ALocalClockThatWentBackDoesNotHoldWhoisBack)
{
    m_settings.m_nWhoisInterval = 10;
    // The last result was stored an hour "later" than now, before summer time ended.
    COleDateTime later(m_clock.Now().GetDays() + 1.0 / 24, COleDateTime::valid);
    m_lastWhois.Set(later);
    Queue(1);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    EXPECT_EQ(RunningWhois(), 0u);
    m_clock.AdvanceSeconds(10);
    SchedulerTick(m_doc.GetData(), m_settings, m_env);
    EXPECT_EQ(RunningWhois(), 1u);
    ASSERT_TRUE(MergeNext());
}

TEST_F(SchedulerThreadedTest, CompletionsWithoutADocumentOrWithAnUnknownCode)
{
    auto* pJob = new CLookupJob("10.0.0.1", LookupCodes::kWhoisCompleted);
    EXPECT_FALSE(HandleCompletion(nullptr, LookupCodes::kWhoisCompleted, pJob));
    EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore);

    CLookupJob job("10.0.0.1", 1234);
    job.m_strResult = "text";
    EXPECT_FALSE(HandleCompletion(&m_doc, 1234, &job));
    EXPECT_EQ(m_doc.GetData().GetSize(), 0);
}
