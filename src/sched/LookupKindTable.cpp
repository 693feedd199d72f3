#include "sched/LookupKindTable.h"

#include "core/document/NetloreDoc.h"
#include "core/record/LookupJob.h"
#include "core/record/LookupKind.h"
#include "sched/ConnSettings.h"
#include "sched/LookupCodes.h"
#include "sched/LookupWorkers.h"

namespace {

bool NothingFound(const CLookupJob& job)
{
    return job.m_strResult.empty();
}

constexpr CLookupKindRow kRows[kLookupKindCount] = {
    {lookupWhois, "whois", LookupCodes::kWhoisCompleted,
     [](CNetloreDoc& doc, std::string_view a, uint32_t nGap) { return doc.QueueWhoisLookup(a, nGap); },
     &CConnSettings::m_nWhoisLimit, &CConnSettings::m_nWhoisInterval, WhoisWorker, &CNetloreDoc::MergeWhoisJob,
     NothingFound, true},
    {lookupHostName, "host", LookupCodes::kHostNameCompleted,
     [](CNetloreDoc& doc, std::string_view a, uint32_t) { return doc.QueueHostNameLookup(a); },
     &CConnSettings::m_nDnsLimit, nullptr, HostNameWorker, &CNetloreDoc::MergeHostNameJob,
     [](const CLookupJob& job) { return job.m_strResult.empty() || job.m_strResult == "unavailable"; }, false},
    {lookupPing, "ping", LookupCodes::kPingCompleted,
     [](CNetloreDoc& doc, std::string_view a, uint32_t nGap) { return doc.QueuePingLookup(a, nGap); },
     &CConnSettings::m_nPingLimit, nullptr, PingWorker, &CNetloreDoc::MergePingJob,
     [](const CLookupJob& job) { return job.m_nTries > 0 && job.m_nFailures >= job.m_nTries; }, false},
    {lookupTrace, "trace", LookupCodes::kTraceCompleted,
     [](CNetloreDoc& doc, std::string_view a, uint32_t nGap) { return doc.QueueTraceLookup(a, nGap); },
     &CConnSettings::m_nTraceLimit, nullptr, TraceWorker, &CNetloreDoc::MergeTraceJob, NothingFound, false},
};

constexpr bool RowsInKindOrder()
{
    for (int k = 0; k < kLookupKindCount; ++k)
        if (kRows[k].m_nKind != k)
            return false;
    return true;
}
static_assert(RowsInKindOrder(), "one row per kind, in the order of the collection's per-kind lists");

} // namespace

const CLookupKindRow* LookupKindRow(int nKind)
{
    return nKind >= 0 && nKind < kLookupKindCount ? &kRows[nKind] : nullptr;
}

const CLookupKindRow* LookupKindOfCode(int nCode)
{
    for (const CLookupKindRow& row : kRows)
        if (row.m_nCode == nCode)
            return &row;
    return nullptr;
}

const CLookupKindRow* LookupKindNamed(std::string_view strName)
{
    for (const CLookupKindRow& row : kRows)
        if (strName == row.m_pszName)
            return &row;
    return nullptr;
}
