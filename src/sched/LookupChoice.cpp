#include "sched/LookupChoice.h"

#include "core/record/IPDataArray.h"
#include "sched/LookupProgress.h"
#include "sched/RangeReuse.h"

#include <algorithm>

bool CLookupChoice::AnyKind() const
{
    return std::any_of(m_bKinds.begin(), m_bKinds.end(), [](bool b) { return b; });
}

bool IsNeverLookedUp(const CIPAddressData& record, const CLookupChoice& choice)
{
    const bool bHas[kLookupKindCount] = {
        !record.RawWhoisView().empty() || record.GetWhoisDone().IsValid(),
        !record.GetHostName().empty(),
        record.GetPingDone().IsValid(),
        !record.GetTraceData().empty() || record.GetTraceDone().IsValid(),
    };
    for (int k = 0; k < kLookupKindCount; ++k)
        if (choice.m_bKinds[size_t(k)] && bHas[k])
            return false;
    return true;
}

CQueueCounts QueueChosenLookups(CIPDataArray& data, const LookupQueueFn& fnQueue,
                                const std::vector<std::string>& addresses, const CLookupChoice& choice,
                                uint32_t nGapMinutes, const COleDateTime& dtNow, CRangeReuse* pReuse,
                                CLookupProgress* pProgress)
{
    CQueueCounts counts;
    const uint32_t nGap = choice.m_bSkipFresh ? nGapMinutes : 0;
    for (const std::string& strAddress : addresses) {
        if (strAddress.empty())
            continue;
        if (choice.m_eRows == CLookupChoice::rowsNeverLookedUp) {
            const CIPAddressData* pRecord = data.FindByIP(strAddress);
            if (pRecord && !IsNeverLookedUp(*pRecord, choice))
                continue;
        }
        for (int k = 0; k < kLookupKindCount; ++k) {
            if (!choice.m_bKinds[size_t(k)])
                continue;
            CSerStringArray& waiting = data.GetWaitingList(k);
            const bool bWaited = waiting.Contains(strAddress);
            if (k == lookupWhois && !data.HasFreshWhois(strAddress, nGap, dtNow) && pReuse && !bWaited &&
                !pReuse->AnswerFromKnownRange(data, strAddress, nGap, dtNow).empty()) {
                ++counts.m_nFromKnownRange;
                if (pProgress) {
                    pProgress->Queued(k, strAddress);
                    pProgress->Finished(k, strAddress);
                }
                continue;
            }
            bool bWaits = fnQueue(k, strAddress, nGap);
            // A known host name is kept unless the user asked for everything again.
            if (!bWaits && k == lookupHostName && !choice.m_bSkipFresh)
                bWaits = waiting.AddUnique(strAddress) || waiting.Contains(strAddress);
            if (bWaits && k == lookupWhois && pReuse && !bWaited)
                pReuse->NoteWaiting(strAddress);
            if (!bWaits) {
                ++counts.m_nKept;
                continue;
            }
            ++counts.m_nQueued;
            if (pProgress && !bWaited)
                pProgress->Queued(k, strAddress);
        }
    }
    return counts;
}
