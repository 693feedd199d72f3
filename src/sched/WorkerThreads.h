#pragma once

#include "sched/ThreadStarter.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The worker threads of one front end, each joined once it has finished: threads
// that are done are joined whenever another starts (or on Reap), and JoinAll (or the
// destructor) waits for the rest. So a long run never piles up finished threads,
// and nothing a worker uses is destroyed while it runs, as long as the registry is
// destroyed (or JoinAll called) before the worker environment.
class CWorkerThreads : public CThreadStarter
{
public:
    CWorkerThreads() = default;
    ~CWorkerThreads() override;
    CWorkerThreads(const CWorkerThreads&) = delete;
    CWorkerThreads& operator=(const CWorkerThreads&) = delete;

    bool Start(std::function<void()> fnWork) override;
    // Joins the threads that have finished their work.
    void Reap();
    void JoinAll();

    // Threads started and not yet joined.
    int Count() const;
    // Failed starts since the last successful one.
    int ConsecutiveFailures() const { return m_nConsecutiveFailures; }

private:
    struct CEntry {
        std::thread m_thread;
        std::shared_ptr<std::atomic<bool>> m_pDone;
    };

    mutable std::mutex m_mutex;
    std::vector<CEntry> m_threads;
    std::atomic<int> m_nConsecutiveFailures {0};
};
