#include "sched/RunningJobs.h"

#include "core/record/LookupJob.h"

CRunningJobs::CRunningJobs() = default;

CRunningJobs::~CRunningJobs() = default;

CLookupJob* CRunningJobs::Adopt(std::unique_ptr<CLookupJob> pJob)
{
    CLookupJob* pRaw = pJob.get();
    std::lock_guard lock(m_mutex);
    m_jobs.emplace(pRaw, std::move(pJob));
    return pRaw;
}

void CRunningJobs::Release(CLookupJob* pJob)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(pJob);
    if (it == m_jobs.end())
        return;
    (void)it->second.release();
    m_jobs.erase(it);
}

void CRunningJobs::Discard(CLookupJob* pJob)
{
    std::unique_ptr<CLookupJob> pGone;
    std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(pJob);
    if (it == m_jobs.end())
        return;
    pGone = std::move(it->second);
    m_jobs.erase(it);
}

int CRunningJobs::Count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_jobs.size());
}
