#include "cache/CacheAddress.h"
#include "core/document/NetloreDoc.h"
#include "core/record/LookupJob.h"
#include "net/WhoisLoopbackFixture.h"
#include "sched/DelegationLookup.h"
#include "sched/LookupCodes.h"
#include "sched/LookupKindTable.h"
#include "sched/LookupSession.h"
#include "sched/Scheduler.h"

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
        m_session.SetServers(WhoisLoopback::TableFor(m_server));
        CConnSettings settings;
        settings.m_nWhoisInterval = 0;
        // One start a tick, every chain from ARIN; pacing per registry has tests of its own.
        settings.m_bPacePerRegistry = false;
        m_session.SetSettings(settings);
    }

    void TearDown() override
    {
        m_gated.Open();
        m_gated.Threads().JoinAll();
        m_session.JoinAll();
        m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now());
        EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore) << "a job was leaked";
    }

    // Changes one lookup setting of the session.
    template <typename T> void Set(T CConnSettings::*pMember, T value)
    {
        CConnSettings settings = m_session.GetSettings();
        settings.*pMember = value;
        m_session.SetSettings(settings);
    }

    void Tick() { m_session.Tick(m_doc); }

    void Queue(int nCount, const std::string& prefix = "130.66.76.")
    {
        for (int i = 1; i <= nCount; ++i)
            m_doc.QueueWhoisLookup(prefix + std::to_string(i), 1440);
    }

    // Waits for one completion and merges it; false when none came.
    bool MergeNext(bool* pbStored = nullptr)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        return m_session.MergeArrived(
                   &m_doc, deadline,
                   [&](const CLookupOutcome& o) {
                       if (pbStored)
                           *pbStored = o.m_bStored;
                   },
                   1) == 1;
    }

    size_t RunningWhois() const { return m_doc.GetData().GetRunningList(lookupWhois).size(); }

    CLoopbackWhoisServer m_server;
    CFakeNameResolver m_resolver;
    CFakeIcmpService m_icmp;
    CFakeClock m_clock;
    CNetloreDoc m_doc {&m_clock};
    CGatedThreads m_gated;
    CLookupSession m_session {m_resolver, &m_icmp, m_clock};
    int m_nJobsBefore = 0;
};

} // namespace

TEST_F(SchedulerThreadedTest, WhoisWaitsTheIntervalAfterTheLastResult)
{
    Set(&CConnSettings::m_nWhoisLimit, 3);
    Set(&CConnSettings::m_nWhoisInterval, 10);
    Queue(10);

    Tick();
    EXPECT_EQ(RunningWhois(), 1u);
    bool bStored = false;
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    EXPECT_EQ(m_session.GetLastWhoisDone().Get(), m_clock.Now());
    EXPECT_EQ(m_doc.GetData().GetWhoisTime("130.66.76.1"), m_clock.Now());
    EXPECT_NE(m_doc.GetData().GetRawWhois("130.66.76.1").find("130.66.76.1\r\n\r\n"), std::string::npos);
    EXPECT_EQ(m_doc.GetData().GetCountry("130.66.76.1"), "FR");

    // Three slots free, but 9.4 seconds are not 10.
    for (int i = 0; i < 4; ++i) {
        m_clock.AdvanceSeconds(2.35);
        Tick();
        EXPECT_EQ(RunningWhois(), 0u) << "tick " << i;
    }
    m_clock.AdvanceSeconds(0.6);
    Tick();
    EXPECT_EQ(RunningWhois(), 1u);
    EXPECT_EQ(m_doc.GetData().GetWaitingList(lookupWhois).GetSize(), 8);
    ASSERT_TRUE(MergeNext());
}

TEST_F(SchedulerThreadedTest, IntervalZeroStartsOneJobPerTickUpToTheLimit)
{
    m_session.SetThreadStarter(&m_gated);
    Set(&CConnSettings::m_nWhoisLimit, 3);
    Queue(10);
    for (size_t expected : {1u, 2u, 3u, 3u, 3u}) {
        Tick();
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
    m_session.SetThreadStarter(&m_gated);
    Set(&CConnSettings::m_nWhoisLimit, 3);
    Queue(5);
    Tick();
    Tick();
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
    Set(&CConnSettings::m_nWhoisLimit, 1);
    m_doc.QueueWhoisLookup("10.1.1.1", 1440);
    m_doc.QueueWhoisLookup("130.66.76.1", 1440);
    m_doc.QueueWhoisLookup("130.66.76.2", 1440);

    Tick();
    bool bStored = true;
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_FALSE(bStored);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.1", "130.66.76.2", "10.1.1.1"}));
    EXPECT_FALSE(m_doc.IsModified());

    // Deleted while its lookup runs: the answer adds the record back at the end.
    Tick();
    m_doc.DeleteIP("130.66.76.1");
    ASSERT_TRUE(MergeNext(&bStored));
    EXPECT_TRUE(bStored);
    EXPECT_EQ(m_doc.GetData().GetIPAddressAt(1), "130.66.76.1");
    EXPECT_TRUE(m_doc.IsModified());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, LimitZeroOrLessLeavesItsListUntouched)
{
    Set(&CConnSettings::m_nWhoisLimit, 0);
    Set(&CConnSettings::m_nDnsLimit, -1);
    m_resolver.AddHost("one.example", 0x0A000001);
    Queue(2);
    m_doc.AddIP("10.0.0.1");
    m_doc.QueueHostNameLookup("10.0.0.1");
    m_doc.QueuePingLookup("10.0.0.1", 0);
    m_icmp.SetResponder([](const CFakeEchoRequest& r) { return CFakeEchoOutcome::Reply(r.m_dwAddress, 0, 7); });
    for (int i = 0; i < 20; ++i)
        Tick();
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
    Set(&CConnSettings::m_nPingLimit, 1);
    Set(&CConnSettings::m_nTraceLimit, 1);
    int nMerged = 0;
    while (m_doc.HasPendingLookups() && nMerged < 6) {
        Tick();
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
    Tick();
    ASSERT_TRUE(MergeNext());
    EXPECT_EQ(m_doc.GetData().GetPingText("10.0.0.1"), "Failed");

    CLookupSession noIcmp(m_resolver, nullptr, m_clock);
    m_doc.QueuePingLookup("10.0.0.1", 0);
    m_doc.QueueTraceLookup("10.0.0.1", 0);
    noIcmp.Tick(m_doc);
    for (int nMerged = 0; nMerged < 2;)
        nMerged += noIcmp.MergeArrived(&m_doc, std::chrono::steady_clock::now() + 10s);
    EXPECT_EQ(m_doc.GetData().GetPingText("10.0.0.1"), "Failed");
}

TEST_F(SchedulerThreadedTest, AThreadThatCannotStartHoldsNoSlot)
{
    CRefusingThreads refusing;
    m_session.SetThreadStarter(&refusing);
    Set(&CConnSettings::m_nWhoisLimit, 1);
    Queue(2);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(StartNextJob(m_doc.GetData(), lookupWhois, 1, 0, m_session.GetEnvironment()));
    EXPECT_EQ(refusing.m_nRefused, 3);
    EXPECT_EQ(RunningWhois(), 0u);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.1", "130.66.76.2"}));
    EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore);

    // Threads are back: the same address goes first.
    m_session.SetThreadStarter(nullptr);
    EXPECT_TRUE(StartNextJob(m_doc.GetData(), lookupWhois, 1, 0, m_session.GetEnvironment()));
    ASSERT_TRUE(MergeNext());
    EXPECT_FALSE(m_doc.GetData().GetRawWhois("130.66.76.1").empty());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, AStartThatReentersTheLoopCannotStartTheSameAddressTwice)
{
    // A starter that pumps the event loop, which runs another tick.
    CWorkerThreads real;
    class CReentrant : public CThreadStarter
    {
    public:
        CReentrant(CIPDataArray& data, const CLookupSession& session, CThreadStarter& real)
            : m_data(data)
            , m_session(session)
            , m_real(real)
        { }
        bool Start(std::function<void()> fn) override
        {
            m_bInner = StartNextJob(m_data, lookupWhois, 3, 0, m_session.GetEnvironment());
            return m_real.Start(std::move(fn));
        }
        CIPDataArray& m_data;
        const CLookupSession& m_session;
        CThreadStarter& m_real;
        bool m_bInner = true;
    } reentrant(m_doc.GetData(), m_session, real);
    m_session.SetThreadStarter(&reentrant);
    Queue(2);
    EXPECT_TRUE(StartNextJob(m_doc.GetData(), lookupWhois, 3, 0, m_session.GetEnvironment()));
    EXPECT_FALSE(reentrant.m_bInner);
    EXPECT_EQ(RunningWhois(), 1u);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"130.66.76.2"}));
    m_session.SetThreadStarter(nullptr);
    ASSERT_TRUE(MergeNext());
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, ALocalClockThatWentBackDoesNotHoldWhoisBack)
{
    Set(&CConnSettings::m_nWhoisInterval, 10);
    // The last result was stored an hour "later" than now, before summer time ended.
    COleDateTime later(m_clock.Now().GetDays() + 1.0 / 24, COleDateTime::valid);
    m_session.GetLastWhoisDone().Set(later);
    Queue(1);
    Tick();
    EXPECT_EQ(RunningWhois(), 0u);
    m_clock.AdvanceSeconds(10);
    Tick();
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

TEST_F(SchedulerThreadedTest, AnAddressWithoutAnAnswerIsGivenUpAfterThreeTriesInARow)
{
    m_server.SetAnswer(WhoisLoopback::kArin, "10.1.1.1", "");
    Set(&CConnSettings::m_nWhoisLimit, 1);
    m_session.Queue(m_doc, lookupWhois, "10.1.1.1");
    m_session.Queue(m_doc, lookupWhois, "130.66.76.1");

    std::vector<CLookupOutcome> outcomes;
    for (int i = 0; i < 10 && m_doc.HasPendingLookups(); ++i) {
        Tick();
        m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now() + 10s,
                               [&](const CLookupOutcome& o) { outcomes.push_back(o); });
    }
    EXPECT_FALSE(m_doc.HasPendingLookups());
    // Tried, answered, tried twice more, given up.
    ASSERT_EQ(outcomes.size(), 4u);
    const struct {
        const char* m_pszAddress;
        bool m_bRequeued, m_bGaveUp;
        int m_nEmpty;
    } expected[] = {{"10.1.1.1", true, false, 1},
                    {"130.66.76.1", false, false, 0},
                    {"10.1.1.1", true, false, 2},
                    {"10.1.1.1", false, true, 3}};
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i].m_strAddress, expected[i].m_pszAddress) << i;
        EXPECT_EQ(outcomes[i].m_bRequeued, expected[i].m_bRequeued) << i;
        EXPECT_EQ(outcomes[i].m_bGaveUp, expected[i].m_bGaveUp) << i;
        EXPECT_EQ(outcomes[i].m_nEmptyAnswers, expected[i].m_nEmpty) << i;
    }
    const CLookupCounts counts = m_session.GetCounts(m_doc, lookupWhois);
    EXPECT_EQ(counts.m_nDone, 1);
    EXPECT_EQ(counts.m_nFailed, 1);
    EXPECT_EQ(counts.m_nWaiting + counts.m_nRunning, 0);

    // Asked for again, it gets three new tries.
    EXPECT_TRUE(m_session.Queue(m_doc, lookupWhois, "10.1.1.1"));
    Tick();
    ASSERT_TRUE(MergeNext());
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"10.1.1.1"}));
    m_doc.GetData().ClearAllPending();
}

TEST_F(SchedulerThreadedTest, CountsFollowEachKindAndStoppingGivesUpAtOnce)
{
    m_session.SetThreadStarter(&m_gated);
    m_server.SetAnswer(WhoisLoopback::kArin, "10.1.1.1", "");
    Set(&CConnSettings::m_nWhoisLimit, 2);
    m_doc.AddIP("10.0.0.1");
    m_session.Queue(m_doc, lookupWhois, "10.1.1.1");
    Queue(2);
    m_session.Queue(m_doc, lookupPing, "10.0.0.1", 0);
    Tick();

    const auto counts = [&](int nKind) {
        const CLookupCounts c = m_session.GetCounts(m_doc, nKind);
        return std::vector<int> {c.m_nWaiting, c.m_nRunning, c.m_nDone, c.m_nFailed};
    };
    EXPECT_EQ(counts(lookupWhois), (std::vector<int> {2, 1, 0, 0}));
    EXPECT_EQ(counts(lookupPing), (std::vector<int> {0, 1, 0, 0}));
    EXPECT_EQ(counts(lookupTrace), (std::vector<int> {0, 0, 0, 0}));

    // Stopped while 10.1.1.1 runs: its empty answer ends it instead of queuing it again.
    m_session.Stop(m_doc);
    EXPECT_FALSE(m_session.TickIfDue(m_doc));
    m_gated.Open();
    bool bGaveUp = false;
    for (int nMerged = 0; nMerged < 2;)
        nMerged += m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now() + 10s,
                                          [&](const CLookupOutcome& o) { bGaveUp |= o.m_bGaveUp; });
    EXPECT_TRUE(bGaveUp);
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(counts(lookupWhois), (std::vector<int> {0, 0, 0, 1}));
    // The fake answers no ping.
    EXPECT_EQ(counts(lookupPing), (std::vector<int> {0, 0, 0, 1}));
}

TEST(LookupKindTable, NamesCodesAndKindsLeadToTheSameRow)
{
    const struct {
        const char* m_pszName;
        int m_nKind;
        int m_nCode;
    } rows[] = {{"whois", lookupWhois, LookupCodes::kWhoisCompleted},
                {"host", lookupHostName, LookupCodes::kHostNameCompleted},
                {"ping", lookupPing, LookupCodes::kPingCompleted},
                {"trace", lookupTrace, LookupCodes::kTraceCompleted}};
    for (const auto& r : rows) {
        const CLookupKindRow* pRow = LookupKindNamed(r.m_pszName);
        ASSERT_NE(pRow, nullptr) << r.m_pszName;
        EXPECT_EQ(pRow, LookupKindRow(r.m_nKind)) << r.m_pszName;
        EXPECT_EQ(pRow, LookupKindOfCode(r.m_nCode)) << r.m_pszName;
        EXPECT_NE(pRow->m_pnLimit, nullptr);
        EXPECT_EQ(pRow->m_pnInterval != nullptr, r.m_nKind == lookupWhois) << r.m_pszName;
    }
    EXPECT_EQ(LookupKindNamed("WHOIS"), nullptr);
    EXPECT_EQ(LookupKindNamed(""), nullptr);
    EXPECT_EQ(LookupKindRow(kLookupKindCount), nullptr);
    EXPECT_EQ(LookupKindRow(-1), nullptr);
    EXPECT_EQ(LookupKindOfCode(1234), nullptr);
}

TEST_F(SchedulerThreadedTest, DueTicksAreNeverBunchedSoTheFirstTwoAreAWholeIntervalApart)
{
    // "IP Whois Interval" 3 s, limit 3: the second due tick must not follow the first at once.
    m_session.SetThreadStarter(&m_gated);
    Set(&CConnSettings::m_nWhoisLimit, 3);
    Set(&CConnSettings::m_nWhoisInterval, 3);
    m_session.SetTickInterval(2000ms);
    Queue(3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_session.TickIfDue(m_doc, start));
    EXPECT_FALSE(m_session.TickIfDue(m_doc, start));
    EXPECT_FALSE(m_session.TickIfDue(m_doc, start + 1999ms));
    EXPECT_EQ(RunningWhois(), 1u);
    EXPECT_TRUE(m_session.TickIfDue(m_doc, start + 2000ms));
    // A late tick moves the next one a whole interval on instead of catching up.
    EXPECT_TRUE(m_session.TickIfDue(m_doc, start + 7000ms));
    EXPECT_FALSE(m_session.TickIfDue(m_doc, start + 7001ms));
    EXPECT_FALSE(m_session.TickIfDue(m_doc, start + 8999ms));
    EXPECT_TRUE(m_session.TickIfDue(m_doc, start + 9000ms));
}

TEST_F(SchedulerThreadedTest, CancellingEndsAnExchangeWithAServerThatNeverAnswers)
{
    // Without the cancel this worker would wait for its server for ten minutes.
    CWhoisServerTable table = WhoisLoopback::TableFor(m_server);
    table.m_nIdleTimeoutMs = 600000;
    table.m_nAnswerTimeoutMs = 600000;
    m_session.SetServers(table);
    m_server.SetMode(WhoisLoopback::kArin, EWhoisServerMode::neverAnswer);
    Queue(1);
    Tick();
    ASSERT_EQ(RunningWhois(), 1u);
    while (m_server.ActiveConnections() == 0)
        std::this_thread::sleep_for(1ms);

    m_session.CancelRunning();
    m_session.JoinAll();
    bool bCancelled = false;
    EXPECT_EQ(m_session.MergeArrived(&m_doc, std::chrono::steady_clock::now() + 10s,
                                     [&](const CLookupOutcome& o) { bCancelled = o.m_bCancelled; }),
              1);
    EXPECT_TRUE(bCancelled);
    EXPECT_EQ(RunningWhois(), 0u);
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(m_doc.GetData().GetRawWhois("130.66.76.1"), "");
    const CLookupCounts counts = m_session.GetCounts(m_doc, lookupWhois);
    EXPECT_EQ(counts.Finished(), 0) << "a cancelled lookup is not looked up, nor failed";
}

TEST_F(SchedulerThreadedTest, AJobWhoseWorkerNeverReportsIsDeletedWithTheSession)
{
    // A platform that says it started the thread and then loses the work.
    class CLosingThreads : public CThreadStarter
    {
    public:
        bool Start(std::function<void()>) override { return true; }
    } losing;
    const int nBefore = CLookupJob::LiveCount();
    {
        CNetloreDoc doc(&m_clock);
        CLookupSession session(m_resolver, &m_icmp, m_clock);
        session.SetThreadStarter(&losing);
        session.Queue(doc, lookupWhois, "130.66.76.1", 0);
        session.Tick(doc);
        EXPECT_EQ(doc.GetData().GetRunningList(lookupWhois).size(), 1u);
        EXPECT_EQ(CLookupJob::LiveCount(), nBefore + 1);
        doc.GetData().ClearAllPending();
    }
    EXPECT_EQ(CLookupJob::LiveCount(), nBefore);
}

namespace {

// How many of a server's query lines name the address.
int AskedFor(const CLoopbackWhoisServer& server, const char* pszServer, const std::string& strAddress)
{
    int n = 0;
    for (const std::string& q : server.Queries(pszServer))
        n += q.find(strAddress) != std::string::npos;
    return n;
}

} // namespace

// Pacing per registry: one start per registry a tick, each chain at the address's
// own registry, and each registry's interval counting from its own latest result.
TEST_F(SchedulerThreadedTest, PacedTicksStartOneLookupPerRegistryAtItsOwnServer)
{
    for (const char* pszServer : {WhoisLoopback::kApnic, WhoisLoopback::kLacnic, WhoisLoopback::kAfrinic})
        m_server.SetDefaultAnswer(pszServer, ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
    Set(&CConnSettings::m_bPacePerRegistry, true);
    Set(&CConnSettings::m_nWhoisLimit, 8);
    Set(&CConnSettings::m_nWhoisInterval, 10);
    // By the shipped bootstrap: ARIN, ARIN, RIPE, RIPE, APNIC, LACNIC, AFRINIC.
    for (const char* a : {"8.8.8.1", "8.8.8.2", "193.0.6.1", "193.0.6.2", "1.0.16.1", "200.1.1.1", "41.1.1.1"})
        m_doc.QueueWhoisLookup(a, 1440);

    Tick();
    EXPECT_EQ(RunningWhois(), 5u);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"8.8.8.2", "193.0.6.2"}));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(MergeNext());
    const struct {
        const char* pszAddress;
        const char* pszServer;
    } firstAsked[] = {{"8.8.8.1", WhoisLoopback::kArin},
                      {"193.0.6.1", WhoisLoopback::kRipe},
                      {"1.0.16.1", WhoisLoopback::kApnic},
                      {"200.1.1.1", WhoisLoopback::kLacnic},
                      {"41.1.1.1", WhoisLoopback::kAfrinic}};
    for (const auto& c : firstAsked) {
        EXPECT_EQ(AskedFor(m_server, c.pszServer, c.pszAddress), 1) << c.pszAddress;
        if (std::string(c.pszServer) != WhoisLoopback::kArin) {
            EXPECT_EQ(AskedFor(m_server, WhoisLoopback::kArin, c.pszAddress), 0) << c.pszAddress << " went to ARIN";
        }
    }

    // Every registry has just had a result: none may start before its interval.
    Tick();
    EXPECT_EQ(RunningWhois(), 0u);
    // RIPE's latest result is older than ARIN's: only RIPE's address starts.
    m_session.GetLastWhoisDone().Set("RIPE", COleDateTime(m_clock.Now().GetDays() - 20.0 / 86400, COleDateTime::valid));
    Tick();
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"8.8.8.2"}));
    ASSERT_TRUE(MergeNext());
    m_clock.AdvanceSeconds(10);
    Tick();
    EXPECT_TRUE(Waiting(m_doc.GetData(), lookupWhois).empty());
    ASSERT_TRUE(MergeNext());
}

// With pacing the simultaneous limit holds for each registry: one ARIN lookup
// running keeps the next ARIN address waiting, not RIPE's.
TEST_F(SchedulerThreadedTest, PacedLimitHoldsForEachRegistry)
{
    m_session.SetThreadStarter(&m_gated);
    Set(&CConnSettings::m_bPacePerRegistry, true);
    Set(&CConnSettings::m_nWhoisLimit, 1);
    for (const char* a : {"8.8.8.1", "8.8.8.2", "193.0.6.1"})
        m_doc.QueueWhoisLookup(a, 1440);
    Tick();
    EXPECT_EQ(RunningWhois(), 2u);
    Tick();
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"8.8.8.2"}));
    m_gated.Open();
    ASSERT_TRUE(MergeNext());
    ASSERT_TRUE(MergeNext());
    Tick();
    EXPECT_TRUE(Waiting(m_doc.GetData(), lookupWhois).empty());
    ASSERT_TRUE(MergeNext());
}

// With pacing, a paused registry holds back its own addresses only; ARIN's pause no
// longer holds the chains that start elsewhere.
TEST_F(SchedulerThreadedTest, PacedTicksSkipAPausedRegistryOnly)
{
    Set(&CConnSettings::m_bPacePerRegistry, true);
    Set(&CConnSettings::m_nWhoisLimit, 8);
    CPausedRegistries paused;
    paused.Set({"ARIN"});
    CWorkerEnvironment env = m_session.GetEnvironment();
    env.m_pPaused = &paused;
    for (const char* a : {"8.8.8.1", "www.example.org", "193.0.6.1"})
        m_doc.QueueWhoisLookup(a, 1440);
    EXPECT_EQ(StartPacedWhoisJobs(m_doc.GetData(), 8, 0, env), 1);
    EXPECT_EQ(Waiting(m_doc.GetData(), lookupWhois), (Strings {"8.8.8.1", "www.example.org"}));
    ASSERT_TRUE(MergeNext());
}

// The delegation data names the registry before the bootstrap does: the paced
// chain starts there, and the back-off counts the address as that registry's.
TEST_F(SchedulerThreadedTest, DelegationDataNamesTheRegistryOfAnAddress)
{
    CDelegationIndex index;
    index.Add(*CCacheAddress::Parse("8.8.8.0"), *CCacheAddress::Parse("8.8.8.255"), "RIPE", "NL", "20100101",
              "allocated");
    index.Finish();
    CDelegationLookup delegations;
    delegations.Assign(std::move(index));
    m_session.SetDelegations(&delegations);
    EXPECT_EQ(m_session.RegistryOf("8.8.8.1"), "RIPE");
    EXPECT_EQ(m_session.RegistryOf("8.8.4.4"), "ARIN");

    for (const bool bPace : {true, false}) {
        Set(&CConnSettings::m_bPacePerRegistry, bPace);
        const std::string strAddress = bPace ? "8.8.8.1" : "8.8.8.2";
        m_doc.QueueWhoisLookup(strAddress, 1440);
        Tick();
        ASSERT_TRUE(MergeNext());
        // Unpaced, every chain still begins at ARIN.
        EXPECT_EQ(AskedFor(m_server, WhoisLoopback::kArin, strAddress), bPace ? 0 : 1);
        EXPECT_EQ(AskedFor(m_server, WhoisLoopback::kRipe, strAddress), 1);
    }
    m_session.SetDelegations(nullptr);
}
