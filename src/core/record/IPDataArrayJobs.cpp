// The collection's side of the lookups: putting addresses in the waiting lists and
// taking finished jobs out of the running lists.

#include "core/record/IPDataArray.h"
#include "core/record/LookupJob.h"

#include <algorithm>
#include <cmath>

namespace {

// True while a result stored at dtDone is younger than the gap: later than now
// minus nGapMinutes.
bool IsFresh(const COleDateTime& dtDone, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    if (!dtDone.IsValid() || !dtNow.IsValid())
        return false;
    const double dThreshold = dtNow.GetLinearDays() - double(nGapMinutes) / 1440.0;
    return dtDone.GetLinearDays() > dThreshold;
}

} // namespace

bool CIPDataArray::QueueWhoisLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    if (strAddress.empty())
        return false;
    if (HasFreshWhois(strAddress, nGapMinutes, dtNow))
        return false;
    m_waiting[lookupWhois].AddUnique(strAddress);
    return true;
}

bool CIPDataArray::HasFreshWhois(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow) const
{
    // A record without whois text is always asked again, however recent its time.
    const CIPAddressData* pRecord = FindByIP(strAddress);
    return pRecord && !pRecord->RawWhoisView().empty() && IsFresh(pRecord->GetWhoisDone(), nGapMinutes, dtNow);
}

bool CIPDataArray::QueueHostNameLookup(std::string_view strAddress)
{
    if (strAddress.empty())
        return false;
    // No time is kept for host names: a known name is never asked again.
    const CIPAddressData* pRecord = FindByIP(strAddress);
    if (pRecord && !pRecord->GetHostName().empty())
        return false;
    m_waiting[lookupHostName].AddUnique(strAddress);
    return true;
}

bool CIPDataArray::QueuePingLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    if (strAddress.empty())
        return false;
    const CIPAddressData* pRecord = FindByIP(strAddress);
    if (pRecord && IsFresh(pRecord->GetPingDone(), nGapMinutes, dtNow))
        return false;
    m_waiting[lookupPing].AddUnique(strAddress);
    return true;
}

bool CIPDataArray::QueueTraceLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    if (strAddress.empty())
        return false;
    const CIPAddressData* pRecord = FindByIP(strAddress);
    if (pRecord && !pRecord->GetTraceData().empty() && IsFresh(pRecord->GetTraceDone(), nGapMinutes, dtNow))
        return false;
    m_waiting[lookupTrace].AddUnique(strAddress);
    return true;
}

bool CIPDataArray::RemoveAndDeleteJob(std::vector<CLookupJob*>& list, CLookupJob* pJob)
{
    const auto it = std::find(list.begin(), list.end(), pJob);
    if (it == list.end())
        return false;
    list.erase(it);
    delete pJob;
    return true;
}

namespace {

// Out of its running list and deleted, listed or not: exactly once either way.
void DeleteFinishedJob(std::vector<CLookupJob*>& running, CLookupJob* pJob)
{
    if (!CIPDataArray::RemoveAndDeleteJob(running, pJob))
        delete pJob;
}

} // namespace

bool CIPDataArray::FinishWhoisJob(CLookupJob* pJob, std::string& strAddress, std::string& strWhois)
{
    if (!pJob)
        return false;
    strAddress = std::move(pJob->m_strAddress);
    strWhois = std::move(pJob->m_strResult);
    DeleteFinishedJob(m_running[lookupWhois], pJob);
    if (strWhois.empty()) {
        m_waiting[lookupWhois].AddUnique(strAddress);
        return false;
    }
    return true;
}

bool CIPDataArray::FinishHostNameJob(CLookupJob* pJob, std::string& strAddress, std::string& strHostName)
{
    if (!pJob)
        return false;
    strAddress = std::move(pJob->m_strAddress);
    strHostName = std::move(pJob->m_strResult);
    DeleteFinishedJob(m_running[lookupHostName], pJob);
    if (strHostName.empty()) {
        strHostName.assign(1, '-');
        return false;
    }
    return true;
}

bool CIPDataArray::FinishPingJob(CLookupJob* pJob, std::string& strAddress, double& dAverage, int& nFailures,
                                 int& nTries)
{
    if (!pJob)
        return false;
    strAddress = std::move(pJob->m_strAddress);
    dAverage = pJob->m_dAverageMs;
    nFailures = pJob->m_nFailures;
    nTries = pJob->m_nTries;
    DeleteFinishedJob(m_running[lookupPing], pJob);
    return true;
}

bool CIPDataArray::FinishTraceJob(CLookupJob* pJob, std::string& strAddress, std::string& strTrace)
{
    if (!pJob)
        return false;
    strAddress = std::move(pJob->m_strAddress);
    strTrace = std::move(pJob->m_strResult);
    DeleteFinishedJob(m_running[lookupTrace], pJob);
    return true;
}
