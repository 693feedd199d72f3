#include "core/document/NetloreDoc.h"
#include "core/document/ViewNotifier.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupJob.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

namespace {

// The completion codes the scheduler gives each kind's jobs; the jobs only carry them.
constexpr int kWhoisCode = 32790;
constexpr int kHostCode = 32819;
constexpr int kPingCode = 32822;
constexpr int kTraceCode = 32825;

class CHintRecorder : public CViewNotifier
{
public:
    void UpdateAllViews(const std::string* pHint) override { m_hints.push_back(pHint ? *pHint : "<all>"); }
    std::vector<std::string> m_hints;
};

std::vector<std::string> Waiting(const CIPDataArray& data, int nKind)
{
    std::vector<std::string> out;
    for (int i = 0; i < data.GetWaitingList(nKind).GetSize(); ++i)
        out.push_back(data.GetWaitingList(nKind).GetString(i));
    return out;
}

// A job as the start operation leaves it: listed in its kind's running list.
CLookupJob* Running(CIPDataArray& data, int nKind, const std::string& address, int nCode)
{
    auto* pJob = new CLookupJob(address, nCode);
    data.GetRunningList(nKind).push_back(pJob);
    return pJob;
}

class LookupJobsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nJobsBefore = CLookupJob::LiveCount();
        m_doc.SetViewNotifier(&m_views);
    }
    void TearDown() override { EXPECT_EQ(CLookupJob::LiveCount(), m_nJobsBefore) << "a job was not deleted"; }

    COleDateTime MinutesAgo(double minutes) const
    {
        return COleDateTime(m_clock.Now().GetDays() - minutes / 1440.0, COleDateTime::valid);
    }

    CFakeClock m_clock;
    CNetloreDoc m_doc {&m_clock};
    CIPDataArray& m_data = m_doc.GetData();
    CHintRecorder m_views;
    int m_nJobsBefore = 0;
};

} // namespace

TEST_F(LookupJobsTest, WhoisQueueingFollowsTheRescanGap)
{
    m_data.SetWhoisResult("10.0.0.1", "NetRange: 10.0.0.0 - 10.255.255.255\n", MinutesAgo(5));
    EXPECT_FALSE(m_doc.QueueWhoisLookup("10.0.0.1", 1440));
    EXPECT_TRUE(m_data.GetWaitingList(lookupWhois).IsEmpty());
    EXPECT_TRUE(m_doc.QueueWhoisLookup("10.0.0.1", 4));

    // Already waiting (compared without case): still true, the list unchanged.
    m_data.GetWaitingList(lookupWhois).AddUnique("host.EXAMPLE");
    EXPECT_TRUE(m_doc.QueueWhoisLookup("10.0.0.1", 4));
    EXPECT_TRUE(m_doc.QueueWhoisLookup("HOST.example", 0));
    EXPECT_EQ(Waiting(m_data, lookupWhois), (std::vector<std::string> {"10.0.0.1", "host.EXAMPLE"}));

    // An empty whois text is asked again however recent its time; no record at all too.
    m_data.SetWhoisResult("10.0.0.2", "", MinutesAgo(1));
    EXPECT_TRUE(m_doc.QueueWhoisLookup("10.0.0.2", 1440));
    EXPECT_TRUE(m_doc.QueueWhoisLookup("10.0.0.3", 1440));
    EXPECT_FALSE(m_doc.QueueWhoisLookup("", 0));

    // Gap 0 lets everything through except a time in the future; a huge gap never expires.
    m_data.SetWhoisResult("10.0.0.4", "x", MinutesAgo(0.5));
    m_data.SetWhoisResult("10.0.0.5", "x", MinutesAgo(-10));
    m_data.SetWhoisResult("10.0.0.6", "x", MinutesAgo(60.0 * 24 * 365 * 100));
    EXPECT_TRUE(m_doc.QueueWhoisLookup("10.0.0.4", 0));
    EXPECT_FALSE(m_doc.QueueWhoisLookup("10.0.0.5", 0));
    EXPECT_FALSE(m_doc.QueueWhoisLookup("10.0.0.6", 0xFFFFFFFFu));
    EXPECT_EQ(m_data.GetWaitingList(lookupWhois).GetSize(), 5);
}

TEST_F(LookupJobsTest, OtherKindsQueueAgainstTheirOwnResults)
{
    m_doc.AddIP("10.0.0.1");
    m_doc.AddIP("10.0.0.2");
    m_doc.SetHostName("10.0.0.2", "known.example");
    EXPECT_TRUE(m_doc.QueueHostNameLookup("10.0.0.1"));
    EXPECT_FALSE(m_doc.QueueHostNameLookup("10.0.0.2"));

    m_data.SetPingResult("10.0.0.1", 12, 0, 3, MinutesAgo(5));
    EXPECT_FALSE(m_doc.QueuePingLookup("10.0.0.1", 60));
    EXPECT_TRUE(m_doc.QueuePingLookup("10.0.0.1", 4));
    EXPECT_TRUE(m_doc.QueuePingLookup("10.0.0.2", 60));

    m_data.SetTraceResult("10.0.0.1", "1  10.0.0.1  -  1ms\r\n", MinutesAgo(5));
    m_data.SetTraceResult("10.0.0.2", "", MinutesAgo(5));
    EXPECT_FALSE(m_doc.QueueTraceLookup("10.0.0.1", 60));
    EXPECT_TRUE(m_doc.QueueTraceLookup("10.0.0.2", 60));
    EXPECT_EQ(Waiting(m_data, lookupTrace), (std::vector<std::string> {"10.0.0.2"}));
    EXPECT_TRUE(m_data.GetWaitingList(lookupWhois).IsEmpty());
}

TEST_F(LookupJobsTest, EmptyWhoisAnswerGoesBackToTheEndOfTheWaitingList)
{
    m_data.SetWhoisResult("10.0.0.1", "old answer", MinutesAgo(3000));
    m_doc.SetModifiedFlag(false);
    m_data.GetWaitingList(lookupWhois).AddUnique("10.0.0.7");
    CLookupJob* pJob = Running(m_data, lookupWhois, "10.0.0.1", kWhoisCode);

    EXPECT_FALSE(m_doc.MergeWhoisJob(pJob));
    EXPECT_EQ(Waiting(m_data, lookupWhois), (std::vector<std::string> {"10.0.0.7", "10.0.0.1"}));
    EXPECT_TRUE(m_data.GetRunningList(lookupWhois).empty());
    EXPECT_EQ(m_data.GetRawWhois("10.0.0.1"), "old answer");
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_TRUE(m_views.m_hints.empty());
    EXPECT_FALSE(m_doc.MergeWhoisJob(nullptr));
}

TEST_F(LookupJobsTest, WhoisResultForADeletedAddressBringsTheRecordBackAtTheEnd)
{
    m_doc.AddIP("10.0.0.1");
    m_doc.AddIP("10.0.0.2");
    CLookupJob* pJob = Running(m_data, lookupWhois, "10.0.0.1", kWhoisCode);
    pJob->m_strResult = "NetRange:       10.0.0.0 - 10.0.0.255\r\nCountry:        US\r\n";
    m_doc.DeleteIP("10.0.0.1");

    EXPECT_TRUE(m_doc.MergeWhoisJob(pJob));
    ASSERT_EQ(m_data.GetSize(), 2);
    EXPECT_EQ(m_data.GetIPAddressAt(1), "10.0.0.1");
    EXPECT_EQ(m_data.GetCountry("10.0.0.1"), "US");
    EXPECT_EQ(m_data.GetWhoisTime("10.0.0.1"), m_clock.Now());
    EXPECT_TRUE(m_doc.IsModified());
    EXPECT_EQ(m_views.m_hints, (std::vector<std::string> {"10.0.0.1"}));
}

TEST_F(LookupJobsTest, EmptyHostNameStoresNothingAndOtherKindsNeedTheirRecord)
{
    m_doc.AddIP("10.0.0.1");
    CLookupJob* pJob = Running(m_data, lookupHostName, "10.0.0.1", kHostCode);
    std::string address, name;
    EXPECT_FALSE(m_data.FinishHostNameJob(pJob, address, name));
    EXPECT_EQ(address, "10.0.0.1");
    EXPECT_EQ(name, "-");
    EXPECT_EQ(m_data.GetHostName("10.0.0.1"), "");

    pJob = Running(m_data, lookupHostName, "10.0.0.1", kHostCode);
    EXPECT_FALSE(m_doc.MergeHostNameJob(pJob));
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_TRUE(m_views.m_hints.empty());

    pJob = Running(m_data, lookupHostName, "10.0.0.1", kHostCode);
    pJob->m_strResult = "unavailable";
    EXPECT_TRUE(m_doc.MergeHostNameJob(pJob));
    EXPECT_EQ(m_data.GetHostName("10.0.0.1"), "unavailable");

    // Ping and traceroute for an address that is gone: finished, deleted, nothing stored.
    pJob = Running(m_data, lookupPing, "10.9.9.9", kPingCode);
    EXPECT_FALSE(m_doc.MergePingJob(pJob));
    pJob = Running(m_data, lookupTrace, "10.9.9.9", kTraceCode);
    EXPECT_FALSE(m_doc.MergeTraceJob(pJob));
    EXPECT_EQ(m_data.GetSize(), 1);
    EXPECT_FALSE(m_data.HasPending());
}

TEST_F(LookupJobsTest, AfterStopAllRunningJobsStillDeliverAndAreDeletedOnce)
{
    m_doc.AddIP("10.0.0.1");
    m_doc.AddIP("10.0.0.2");
    m_data.GetWaitingList(lookupWhois).AddUnique("10.0.0.3");
    CLookupJob* a = Running(m_data, lookupWhois, "10.0.0.1", kWhoisCode);
    CLookupJob* b = Running(m_data, lookupWhois, "10.0.0.2", kWhoisCode);
    EXPECT_TRUE(m_data.ClearAllPending());
    EXPECT_FALSE(m_data.HasPending());

    a->m_strResult = "answer one";
    EXPECT_TRUE(m_doc.MergeWhoisJob(a));
    // b answered nothing: back to waiting, even after Stop.
    EXPECT_FALSE(m_doc.MergeWhoisJob(b));
    EXPECT_EQ(m_data.GetRawWhois("10.0.0.1"), "answer one");
    EXPECT_EQ(Waiting(m_data, lookupWhois), (std::vector<std::string> {"10.0.0.2"}));
}

TEST_F(LookupJobsTest, CompletionForAReplacedDocumentIsFinishedAgainstTheCurrentOne)
{
    CLookupJob* pWhois = nullptr;
    CLookupJob* pHost = nullptr;
    {
        CNetloreDoc old(&m_clock);
        old.AddIP("10.0.0.1");
        pWhois = Running(old.GetData(), lookupWhois, "10.0.0.1", kWhoisCode);
        pHost = Running(old.GetData(), lookupHostName, "10.0.0.1", kHostCode);
        old.GetData().ClearAllPending();
    }
    pWhois->m_strResult = "answer";
    pHost->m_strResult = "name.example";
    // Only whois re-creates a missing record.
    EXPECT_FALSE(m_doc.MergeHostNameJob(pHost));
    EXPECT_EQ(m_data.GetSize(), 0);
    EXPECT_TRUE(m_doc.MergeWhoisJob(pWhois));
    ASSERT_EQ(m_data.GetSize(), 1);
    EXPECT_EQ(m_data.GetRawWhois("10.0.0.1"), "answer");
    EXPECT_EQ(m_data.GetHostName("10.0.0.1"), "");
}
