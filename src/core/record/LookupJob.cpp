#include "core/record/LookupJob.h"

#include <atomic>

namespace {

std::atomic<int> g_nLiveJobs {0};

} // namespace

CLookupJob::CLookupJob(std::string strAddress, int nKindCode)
    : m_strAddress(std::move(strAddress))
    , m_nKindCode(nKindCode)
{
    g_nLiveJobs.fetch_add(1, std::memory_order_relaxed);
}

CLookupJob::~CLookupJob()
{
    g_nLiveJobs.fetch_sub(1, std::memory_order_relaxed);
}

int CLookupJob::LiveCount()
{
    return g_nLiveJobs.load(std::memory_order_relaxed);
}
