#include "sched/RunSummary.h"
#include "sched/LookupRun.h"

#include <gtest/gtest.h>

TEST(RunSummary, SaysWhatTheRunCameToWithThousandsAndOnlyThePartsThatHappened)
{
    const struct {
        CRunTally tally;
        bool bSeeMessages;
        const char* pszText;
    } kCases[] = {
        {{4870, 110, 0, 20, 0}, true, "Looked up 5,000: 4,870 ok, 110 reused, 20 failed \u2014 see Messages"},
        {{4870, 110, 0, 20, 0}, false, "Looked up 5,000: 4,870 ok, 110 reused, 20 failed"},
        {{3, 0, 0, 0, 0}, true, "Looked up 3: 3 ok"},
        {{0, 1234567, 2, 0, 1}, true, "Looked up 1,234,570: 1,234,567 reused, 2 cached, 1 gave up \u2014 see Messages"},
        {{}, true, "Looked up 0"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FormatRunSummary(c.tally, c.bSeeMessages), c.pszText);
}

TEST(RunSummary, AnAddressWhoseTriesAreSpentFailedOneTheRunStoppedAskingGaveUp)
{
    const auto finished = [](ERunStatus status, int nEmpty, const char* pszFrom, const char* pszReason) {
        CRunFinished f;
        f.m_nKind = lookupWhois;
        f.m_status = status;
        f.m_nEmptyAnswers = nEmpty;
        f.m_strReusedFrom = pszFrom;
        f.m_strReason = pszReason;
        return f;
    };
    const struct {
        CRunFinished f;
        ERecordStatus eStatus;
        const char* pszReason;
    } kCases[] = {
        {finished(ERunStatus::ok, 0, "", ""), ERecordStatus::kRangeMismatch, ""}, // as the record tells
        {finished(ERunStatus::ok, 0, "128.79.1.1", ""), ERecordStatus::kReused, ""},
        {finished(ERunStatus::ok, 0, "cache", ""), ERecordStatus::kCached, ""},
        {finished(ERunStatus::gaveUp, 3, "", "time-out"), ERecordStatus::kFailed, "time-out"},
        {finished(ERunStatus::gaveUp, 1, "", "connection refused"), ERecordStatus::kGaveUp, "connection refused"},
        {finished(ERunStatus::failed, 0, "", "registry refused"), ERecordStatus::kFailed, "registry refused"},
        {finished(ERunStatus::failed, 0, "", ""), ERecordStatus::kFailed, "no answer"},
    };
    for (const auto& c : kCases) {
        const CRecordStatus status = FinishedStatus(c.f, ERecordStatus::kRangeMismatch);
        EXPECT_EQ(status.m_eStatus, c.eStatus) << c.f.m_strReusedFrom << c.f.m_strReason;
        EXPECT_EQ(status.m_strReason, c.pszReason);
    }
}
