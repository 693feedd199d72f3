// Lookup results coming back from the workers: finish the job, then store.

#include "core/document/NetloreDoc.h"

#include "core/record/Clock.h"

bool CNetloreDoc::MergeWhoisJob(CLookupJob* pJob)
{
    std::string strAddress;
    std::string strWhois;
    if (!m_data.FinishWhoisJob(pJob, strAddress, strWhois))
        return false;
    return StoreWhoisResult(strAddress, strWhois);
}

bool CNetloreDoc::MergeHostNameJob(CLookupJob* pJob)
{
    std::string strAddress;
    std::string strHostName;
    if (!m_data.FinishHostNameJob(pJob, strAddress, strHostName))
        return false;
    return StoreHostName(strAddress, strHostName);
}

bool CNetloreDoc::MergePingJob(CLookupJob* pJob)
{
    std::string strAddress;
    double dAverage = 0.0;
    int nFailures = 0;
    int nTries = 0;
    if (!m_data.FinishPingJob(pJob, strAddress, dAverage, nFailures, nTries))
        return false;
    return StorePingResult(strAddress, dAverage, uint32_t(nFailures), uint32_t(nTries));
}

bool CNetloreDoc::MergeTraceJob(CLookupJob* pJob)
{
    std::string strAddress;
    std::string strTrace;
    if (!m_data.FinishTraceJob(pJob, strAddress, strTrace))
        return false;
    return StoreTraceResult(strAddress, strTrace);
}

bool CNetloreDoc::QueueWhoisLookup(std::string_view strAddress, uint32_t nGapMinutes)
{
    return m_data.QueueWhoisLookup(strAddress, nGapMinutes, Now());
}

bool CNetloreDoc::QueueHostNameLookup(std::string_view strAddress)
{
    return m_data.QueueHostNameLookup(strAddress);
}

bool CNetloreDoc::QueuePingLookup(std::string_view strAddress, uint32_t nGapMinutes)
{
    return m_data.QueuePingLookup(strAddress, nGapMinutes, Now());
}

bool CNetloreDoc::QueueTraceLookup(std::string_view strAddress, uint32_t nGapMinutes)
{
    return m_data.QueueTraceLookup(strAddress, nGapMinutes, Now());
}
