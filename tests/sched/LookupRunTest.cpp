#include "sched/LookupRun.h"
#include "cache/AnswerCache.h"
#include "cache/AnswerCacheWriter.h"
#include "cache/CacheDatabase.h"
#include "core/document/NetloreDoc.h"
#include "core/record/LookupJob.h"
#include "net/WhoisLoopbackFixture.h"
#include "sched/ThreadStarter.h"

#include "support/FakeClock.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

// The policy of a lookup run, on clocks the test moves: the workers run on the
// test's thread when it says so, against loopback whois servers.

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

const char* const kRipeTemporary = "%ERROR:201: access denied for 127.0.0.1\n"
                                   "%\n"
                                   "% Queries from your IP address have passed the daily limit of controlled objects.\n"
                                   "% Access from your host has been temporarily denied.\n";
const char* const kRipePermanent = "%ERROR:201: access denied for 127.0.0.1\n"
                                   "%\n"
                                   "% Sorry, access from your host has been permanently\n"
                                   "% denied because of a repeated excessive querying.\n";

// Keeps each job's work until the test runs it, on the test's own thread.
class CHeldWork : public CThreadStarter
{
public:
    bool Start(std::function<void()> fnWork) override
    {
        m_work.push_back(std::move(fnWork));
        return true;
    }
    void RunAll()
    {
        std::vector<std::function<void()>> work;
        work.swap(m_work);
        for (auto& fn : work)
            fn();
    }
    size_t Held() const { return m_work.size(); }

private:
    std::vector<std::function<void()>> m_work;
};

struct CHeard {
    std::string m_strAddress;
    ERunStatus m_status;
    std::string m_strReusedFrom;
    std::string m_strReason;
    bool operator==(const CHeard&) const = default;
};

std::ostream& operator<<(std::ostream& os, const CHeard& h)
{
    return os << h.m_strAddress << " " << int(h.m_status) << " from '" << h.m_strReusedFrom << "' '" << h.m_strReason
              << "'";
}

class CRecorder : public CLookupRunListener
{
public:
    void OnAddressFinished(const CRunFinished& f) override
    {
        m_finished.push_back({f.m_strAddress, f.m_status, f.m_strReusedFrom, f.m_strReason});
    }
    ECheckpoint OnCheckpointDue(bool) override
    {
        ++m_nCheckpoints;
        return m_checkpoint;
    }
    void OnPauseChanged(const std::string& strPauses) override { m_pauses.push_back(strPauses); }
    void OnRegistryDenied(const std::string& strRegistry, const std::string&) override
    {
        m_denied.push_back(strRegistry);
    }
    void OnGraceOver(int nRunning) override { m_nGraceOver = nRunning; }

    std::vector<CHeard> m_finished;
    int m_nCheckpoints = 0;
    ECheckpoint m_checkpoint = ECheckpoint::written;
    Strings m_pauses;
    Strings m_denied;
    int m_nGraceOver = -1;
};

class LookupRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nJobsBefore = CLookupJob::LiveCount();
        WhoisLoopback::StartAll(m_server);
        // ARIN hands every address to RIPE; RIPE answers for 128.79.0.0 - 128.79.63.0.
        m_server.SetDefaultAnswer(
            WhoisLoopback::kArin,
            ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_server.SetDefaultAnswer(WhoisLoopback::kRipe,
                                  ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        CLookupSession& session = m_run.Session();
        session.SetServers(WhoisLoopback::TableFor(m_server));
        session.SetThreadStarter(&m_work);
        CConnSettings settings;
        settings.m_nWhoisInterval = 0;
        settings.m_nWhoisLimit = 1;
        session.SetSettings(settings);
        m_run.SetSteadyClock([this] { return m_now; });
        m_run.SetListener(&m_heard);
    }

    void TearDown() override
    {
        m_work.RunAll();
        m_run.Finish();
        EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore) << "a job was leaked";
    }

    void Queue(const Strings& addresses)
    {
        for (const std::string& a : addresses)
            m_doc.AddIP(a);
        m_run.Queue(addresses, CLookupChoice());
    }

    // One tick, the work it started, and the merge of what that work delivered.
    void Step()
    {
        m_run.OnTimer();
        m_work.RunAll();
        m_run.MergeArrived(std::chrono::steady_clock::now());
    }

    void Advance(std::chrono::seconds seconds)
    {
        m_now += seconds;
        m_clock.AdvanceSeconds(double(seconds.count()));
    }

    int Waiting() const { return m_doc.GetData().GetWaitingList(lookupWhois).GetSize(); }
    CLookupCounts Counts() const { return m_run.Session().GetCounts(m_doc, lookupWhois); }

    CLoopbackWhoisServer m_server;
    CFakeNameResolver m_resolver;
    CFakeClock m_clock;
    std::chrono::steady_clock::time_point m_now = std::chrono::steady_clock::now();
    CNetloreDoc m_doc {&m_clock};
    CHeldWork m_work;
    CRecorder m_heard;
    CLookupRun m_run {m_doc, m_resolver, nullptr, m_clock};
    int m_nJobsBefore = 0;
};

} // namespace

TEST_F(LookupRunTest, OneAnswerCoversTheAddressesWaitingInsideItsRange)
{
    m_run.SetReuseKnownRanges(true);
    Queue({"128.79.1.1", "128.79.1.2", "128.79.2.3"});
    Step();
    EXPECT_EQ(m_heard.m_finished, (std::vector<CHeard> {{"128.79.1.1", ERunStatus::ok, "", ""},
                                                        {"128.79.1.2", ERunStatus::ok, "128.79.1.1", ""},
                                                        {"128.79.2.3", ERunStatus::ok, "128.79.1.1", ""}}));
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kRipe), 1);
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(m_run.ReusedCount(), 2);
    EXPECT_EQ(m_run.NotDone(lookupWhois), 0);
    EXPECT_EQ(m_doc.GetData().GetRawWhois("128.79.2.3").rfind("128.79.2.3\r\n\r\n% This is the RIPE", 0), 0u);
    EXPECT_EQ(m_doc.GetData().GetCountry("128.79.2.3"), "FR");

    // A later run answers from the known range at queue time.
    m_heard.m_finished.clear();
    Queue({"128.79.3.4"});
    EXPECT_EQ(m_heard.m_finished, (std::vector<CHeard> {{"128.79.3.4", ERunStatus::ok, "128.79.1.1", ""}}));
    EXPECT_FALSE(m_doc.HasPendingLookups());
}

TEST_F(LookupRunTest, AnAddressNoServerAnswersIsGivenUpAfterThreeTriesUntilAskedAgain)
{
    m_server.SetAnswer(WhoisLoopback::kArin, "10.9.9.9", "");
    Queue({"10.9.9.9"});
    for (int i = 0; i < CLookupSession::kMaxEmptyAnswers - 1; ++i) {
        Step();
        EXPECT_TRUE(m_heard.m_finished.empty()) << "try " << i;
        EXPECT_EQ(Waiting(), 1);
    }
    Step();
    EXPECT_EQ(m_heard.m_finished, (std::vector<CHeard> {{"10.9.9.9", ERunStatus::gaveUp, "", "no answer"}}));
    EXPECT_TRUE(m_run.IsGivenUp("10.9.9.9"));
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(Counts().m_nFailed, 1);
    // Its tries spent, the lookup failed: that is its status until it is asked again.
    ASSERT_NE(m_run.FailureOf("10.9.9.9"), nullptr);
    EXPECT_EQ(m_run.FailureOf("10.9.9.9")->m_eStatus, ERecordStatus::kFailed);
    EXPECT_EQ(m_run.FailureOf("10.9.9.9")->m_strReason, "no answer");
    EXPECT_EQ(FormatRunSummary(m_run.Tally(), true), "Looked up 1: 1 failed \u2014 see Messages");

    EXPECT_TRUE(m_run.QueueExplicit(lookupWhois, "10.9.9.9"));
    EXPECT_FALSE(m_run.IsGivenUp("10.9.9.9"));
    EXPECT_EQ(m_run.FailureOf("10.9.9.9"), nullptr);
}

TEST_F(LookupRunTest, ATemporaryDenialPausesTheRegistryStoresNothingAndSpendsNoTry)
{
    m_server.SetAnswer(WhoisLoopback::kRipe, "128.79.1.1", kRipeTemporary);
    Queue({"128.79.1.1"});
    Step();
    EXPECT_TRUE(m_heard.m_finished.empty());
    EXPECT_EQ(Waiting(), 1);
    EXPECT_EQ(m_doc.GetData().GetRawWhois("128.79.1.1"), "");
    EXPECT_EQ(Counts().m_nFailed, 0);
    ASSERT_EQ(m_heard.m_pauses.size(), 1u);
    EXPECT_EQ(m_heard.m_pauses[0].rfind("Query limit: RIPE paused until ", 0), 0u) << m_heard.m_pauses[0];

    // Paused: nothing starts. Once the pause is over the registry answers again.
    const int nAsked = m_server.Connections(WhoisLoopback::kRipe);
    Step();
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kRipe), nAsked);
    m_server.SetAnswer(WhoisLoopback::kRipe, "128.79.1.1",
                       ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
    Advance(61s);
    Step();
    EXPECT_EQ(m_heard.m_pauses.back(), "");
    Step();
    EXPECT_EQ(m_heard.m_finished, (std::vector<CHeard> {{"128.79.1.1", ERunStatus::ok, "", ""}}));
    EXPECT_NE(m_doc.GetData().GetRawWhois("128.79.1.1").find("% This is the RIPE"), std::string::npos);
}

TEST_F(LookupRunTest, APermanentDenialFailsEveryAddressOfThatRegistryAndSaysSoOnce)
{
    m_server.SetDefaultAnswer(WhoisLoopback::kRipe, kRipePermanent);
    // 193.0.0.0/8 is RIPE's in the registries' bootstrap.
    Queue({"193.0.6.1", "193.0.6.2", "193.0.6.3"});
    Step();
    // The registry is named once, in the denial; each address carries the reason's token.
    const std::string strReason = "registry refused";
    EXPECT_EQ(m_heard.m_finished, (std::vector<CHeard> {{"193.0.6.1", ERunStatus::failed, "", strReason},
                                                        {"193.0.6.2", ERunStatus::failed, "", strReason},
                                                        {"193.0.6.3", ERunStatus::failed, "", strReason}}));
    EXPECT_EQ(m_heard.m_denied, Strings {"RIPE"});
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_EQ(Counts().m_nFailed, 3);
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kRipe), 1);
    EXPECT_EQ(m_doc.GetData().GetRawWhois("193.0.6.1"), "");

    // Queued again in the same session, its addresses fail at once, unasked.
    Queue({"193.0.6.4"});
    Step();
    EXPECT_EQ(m_heard.m_finished.back(), (CHeard {"193.0.6.4", ERunStatus::failed, "", strReason}));
    EXPECT_EQ(m_heard.m_denied, Strings {"RIPE"});
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kRipe), 1);
}

TEST_F(LookupRunTest, CheckpointsAreDueAfterEnoughResultsOrEnoughTime)
{
    m_run.SetCheckpointCadence(30, 2);
    CConnSettings settings = m_run.Session().GetSettings();
    settings.m_nWhoisLimit = 3;
    m_run.Session().SetSettings(settings);
    Queue({"128.79.1.1", "128.79.1.2", "128.79.1.3", "128.79.1.4"});
    Step();
    EXPECT_EQ(m_heard.m_nCheckpoints, 0) << "one result, no time passed";
    Step();
    EXPECT_EQ(m_heard.m_nCheckpoints, 1) << "two results";
    EXPECT_EQ(m_run.UnsavedResults(), 0);

    // A checkpoint still being written is asked for again on the next tick.
    m_heard.m_checkpoint = ECheckpoint::busy;
    Step();
    Advance(31s);
    m_run.OnTimer();
    EXPECT_EQ(m_heard.m_nCheckpoints, 2) << "time passed";
    EXPECT_EQ(m_run.UnsavedResults(), 1);
    m_heard.m_checkpoint = ECheckpoint::written;
    m_run.OnTimer();
    EXPECT_EQ(m_heard.m_nCheckpoints, 3);
    EXPECT_EQ(m_run.UnsavedResults(), 0);

    // Saved by the user: nothing is owed.
    Step();
    m_run.OnDocumentSaved();
    Advance(31s);
    m_run.OnTimer();
    EXPECT_EQ(m_heard.m_nCheckpoints, 3);
}

TEST_F(LookupRunTest, AStopDuringABackOffEndsTheRunWithTheAddressNotLookedUp)
{
    m_server.SetDefaultAnswer(WhoisLoopback::kRipe, kRipeTemporary);
    Queue({"128.79.1.1", "128.79.1.2"});
    Step();
    ASSERT_EQ(Waiting(), 2);
    ASSERT_FALSE(m_heard.m_pauses.empty());

    m_run.Stop(10s);
    m_run.RunToEnd({}, 10s);
    EXPECT_FALSE(m_doc.HasPendingLookups());
    EXPECT_TRUE(m_heard.m_finished.empty());
    EXPECT_EQ(m_run.NotDone(lookupWhois), 2);
    EXPECT_EQ(Counts().m_nFailed, 0);
    EXPECT_EQ(m_heard.m_nGraceOver, -1) << "nothing ran, nothing to cancel";
}

// The window's way with the answer cache: final answers reach the file through
// the writer's thread, and answer another document's run from there.
class LookupRunCacheThreaded : public LookupRunTest
{ };

TEST_F(LookupRunCacheThreaded, AnswersReachTheFileThroughTheWriterAndAnswerTheNextDocument)
{
    CTempDir dir;
    const std::string strPath = dir.File("answers.sqlite");
    CCacheDatabase db;
    ASSERT_TRUE(db.Open(strPath, 1765000000).m_bOpen);
    CAnswerCache cache(db, {});
    {
        CAnswerCacheWriter writer(strPath, {});
        m_run.SetAnswerCache(&cache, true, &writer);
        Queue({"128.79.1.1"});
        Step();
        ASSERT_FALSE(m_doc.HasPendingLookups());
        m_run.FlushCache();
        writer.Wait();
        EXPECT_EQ(writer.Stored(), 1u);
        EXPECT_EQ(m_run.TakeCacheNotice(), "");
        m_run.SetAnswerCache(nullptr);
    }

    CNetloreDoc doc {&m_clock};
    CLookupRun run(doc, m_resolver, nullptr, m_clock);
    run.SetAnswerCache(&cache);
    doc.AddIP("128.79.5.5");
    run.Queue({"128.79.5.5"}, CLookupChoice());
    EXPECT_EQ(run.CachedCount(), 1);
    EXPECT_FALSE(doc.HasPendingLookups());
    EXPECT_EQ(doc.GetData().GetCountry("128.79.5.5"), "FR");
    EXPECT_EQ(m_server.Connections(WhoisLoopback::kRipe), 1);
}
