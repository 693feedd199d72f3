#include "sched/WorkerThreads.h"

#include <algorithm>

CWorkerThreads::~CWorkerThreads()
{
    JoinAll();
}

bool CWorkerThreads::Start(std::function<void()> fnWork)
{
    Reap();
    try {
        auto pDone = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(m_mutex);
        // Room first: once the thread runs, its entry must not fail to be kept.
        m_threads.reserve(m_threads.size() + 1);
        std::thread thread([fn = std::move(fnWork), pDone]() noexcept {
            try {
                fn();
            } catch (...) {
            }
            pDone->store(true, std::memory_order_release);
        });
        m_threads.push_back(CEntry {std::move(thread), std::move(pDone)});
    } catch (...) {
        ++m_nConsecutiveFailures;
        return false;
    }
    m_nConsecutiveFailures = 0;
    return true;
}

void CWorkerThreads::Reap()
{
    std::vector<CEntry> finished;
    {
        std::lock_guard lock(m_mutex);
        auto it = std::stable_partition(m_threads.begin(), m_threads.end(),
                                        [](const CEntry& e) { return !e.m_pDone->load(std::memory_order_acquire); });
        std::move(it, m_threads.end(), std::back_inserter(finished));
        m_threads.erase(it, m_threads.end());
    }
    for (CEntry& e : finished)
        e.m_thread.join();
}

void CWorkerThreads::JoinAll()
{
    std::vector<CEntry> all;
    {
        std::lock_guard lock(m_mutex);
        all.swap(m_threads);
    }
    for (CEntry& e : all)
        e.m_thread.join();
}

int CWorkerThreads::Count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_threads.size());
}
