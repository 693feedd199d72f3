#include "core/record/LookupJob.h"
#include "sched/CompletionQueue.h"
#include "sched/WorkerThreads.h"

#include <gtest/gtest.h>

#include <set>

using namespace std::chrono_literals;

TEST(CompletionQueueThreaded, EveryPostedJobArrivesOnceAndLeftoversDieWithTheQueue)
{
    const int nBefore = CLookupJob::LiveCount();
    {
        CCompletionQueue queue;
        CCompletion c;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(queue.Take(c, 30ms));
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);

        CWorkerThreads threads;
        for (int t = 0; t < 8; ++t)
            ASSERT_TRUE(threads.Start([&queue, t] {
                for (int i = 0; i < 100; ++i)
                    queue.Post(32790 + t, new CLookupJob(std::to_string(t) + "." + std::to_string(i), 32790 + t));
            }));
        std::set<std::string> seen;
        for (int i = 0; i < 790; ++i) {
            ASSERT_TRUE(queue.Take(c, 10s));
            EXPECT_EQ(c.m_nCode, c.m_pJob->m_nKindCode);
            EXPECT_TRUE(seen.insert(c.m_pJob->m_strAddress).second);
            delete c.m_pJob;
        }
        threads.JoinAll();
        EXPECT_EQ(threads.Count(), 0);
        EXPECT_EQ(queue.Size(), 10u);
    }
    EXPECT_EQ(CLookupJob::LiveCount(), nBefore);
}

TEST(WorkerThreadsThreaded, FinishedThreadsAreJoinedAsNewOnesStart)
{
    CWorkerThreads threads;
    std::atomic<int> nRan {0};
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(threads.Start([&nRan] { ++nRan; }));
        // Every earlier thread is done (or nearly): the registry never grows with the run.
        while (nRan.load() <= i)
            std::this_thread::yield();
        ASSERT_LE(threads.Count(), 3);
    }
    for (int k = 0; k < 2000 && threads.Count() > 0; ++k) {
        threads.Reap();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(threads.Count(), 0);
    // A throwing worker ends its thread cleanly.
    ASSERT_TRUE(threads.Start([] { throw std::runtime_error("worker"); }));
    threads.JoinAll();
    EXPECT_EQ(threads.Count(), 0);
    EXPECT_EQ(nRan.load(), 200);
    EXPECT_EQ(threads.ConsecutiveFailures(), 0);
}
