#pragma once

#include "sched/CompletionSink.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

// One finished job as it arrives on the UI thread.
struct CCompletion {
    int m_nCode = 0;
    CLookupJob* m_pJob = nullptr;
};

// Completions in the order the workers posted them, for a loop that drains them
// on its own thread. Jobs still queued when the queue is destroyed are deleted
// with it: nobody else can reach them any more.
class CCompletionQueue : public CCompletionSink
{
public:
    CCompletionQueue() = default;
    ~CCompletionQueue() override;
    CCompletionQueue(const CCompletionQueue&) = delete;
    CCompletionQueue& operator=(const CCompletionQueue&) = delete;

    void Post(int nCode, CLookupJob* pJob) override;

    // The oldest completion, waiting for one until the deadline; false when none
    // came in time.
    bool TakeUntil(CCompletion& out, std::chrono::steady_clock::time_point deadline);
    bool Take(CCompletion& out, std::chrono::milliseconds timeout)
    {
        return TakeUntil(out, std::chrono::steady_clock::now() + timeout);
    }
    bool TryTake(CCompletion& out);
    size_t Size() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<CCompletion> m_items;
};
