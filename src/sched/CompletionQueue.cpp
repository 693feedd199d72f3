#include "sched/CompletionQueue.h"

#include "core/record/LookupJob.h"

CCompletionQueue::~CCompletionQueue()
{
    for (const CCompletion& c : m_items)
        delete c.m_pJob;
}

void CCompletionQueue::Post(int nCode, CLookupJob* pJob)
{
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(CCompletion {nCode, pJob});
    }
    m_arrived.notify_one();
}

bool CCompletionQueue::TakeUntil(CCompletion& out, std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_until(lock, deadline, [this] { return !m_items.empty(); }))
        return false;
    out = m_items.front();
    m_items.pop_front();
    return true;
}

bool CCompletionQueue::TryTake(CCompletion& out)
{
    std::lock_guard lock(m_mutex);
    if (m_items.empty())
        return false;
    out = m_items.front();
    m_items.pop_front();
    return true;
}

size_t CCompletionQueue::Size() const
{
    std::lock_guard lock(m_mutex);
    return m_items.size();
}
