#include "sched/RunSummary.h"

#include "sched/LookupRun.h"

CRecordStatus FinishedStatus(const CRunFinished& finished, ERecordStatus eAnswered)
{
    CRecordStatus status;
    switch (finished.m_status) {
    case ERunStatus::ok:
        status.m_strReusedFrom = finished.m_strReusedFrom;
        status.m_eStatus = finished.m_strReusedFrom.empty()      ? eAnswered
                           : finished.m_strReusedFrom == "cache" ? ERecordStatus::kCached
                                                                 : ERecordStatus::kReused;
        return status;
    case ERunStatus::failed:
        status.m_eStatus = ERecordStatus::kFailed;
        break;
    case ERunStatus::gaveUp:
        status.m_eStatus = finished.m_nEmptyAnswers >= CLookupSession::kMaxEmptyAnswers ? ERecordStatus::kFailed
                                                                                        : ERecordStatus::kGaveUp;
        break;
    }
    status.m_strReason = finished.m_strReason.empty() ? std::string(LookupFailureToken(ELookupFailure::kNoAnswer))
                                                      : finished.m_strReason;
    return status;
}

void CRunTally::Add(const CRunFinished& finished)
{
    if (finished.m_nKind != lookupWhois)
        return;
    switch (FinishedStatus(finished, ERecordStatus::kOk).m_eStatus) {
    case ERecordStatus::kReused:
        ++m_nReused;
        break;
    case ERecordStatus::kCached:
        ++m_nCached;
        break;
    case ERecordStatus::kFailed:
        ++m_nFailed;
        break;
    case ERecordStatus::kGaveUp:
        ++m_nGaveUp;
        break;
    default:
        ++m_nOk;
        break;
    }
}

std::string DescribeFailure(const CRunFinished& finished)
{
    const CRecordStatus status = FinishedStatus(finished, ERecordStatus::kOk);
    std::string text = finished.m_strAddress + ": whois lookup ";
    text += status.m_eStatus == ERecordStatus::kGaveUp ? "given up" : "failed";
    if (finished.m_nEmptyAnswers > 1)
        text += " after " + std::to_string(finished.m_nEmptyAnswers) + " tries";
    return text + ": " + status.m_strReason;
}

std::string WithThousands(long long n)
{
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string text = n < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string FormatRunSummary(const CRunTally& tally, bool bSeeMessages)
{
    std::string text = "Looked up " + WithThousands(tally.Total());
    const struct {
        int n;
        const char* pszWord;
    } parts[] = {{tally.m_nOk, "ok"},
                 {tally.m_nReused, "reused"},
                 {tally.m_nCached, "cached"},
                 {tally.m_nFailed, "failed"},
                 {tally.m_nGaveUp, "gave up"}};
    const char* pszSeparator = ": ";
    for (const auto& part : parts) {
        if (part.n == 0)
            continue;
        text += pszSeparator + WithThousands(part.n) + " " + part.pszWord;
        pszSeparator = ", ";
    }
    if (bSeeMessages && tally.m_nFailed + tally.m_nGaveUp > 0)
        text += " \u2014 see Messages";
    return text;
}
