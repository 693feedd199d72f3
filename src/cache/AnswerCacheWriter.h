#pragma once

#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes answers to a cache file on a thread of its own, through a connection of
// its own, so that the thread handing them over (the window's event loop) never
// waits for the disk, a checkpoint of the journal or another process's write.
// Batches are written in the order handed over, those waiting together in one
// transaction; whatever was handed over is written before the writer goes. A
// write that still fails after its tries is said once through TakeNotice and
// keeps none of its answers, as a failed PutAll does; it never reaches the
// lookups. Post, Wait and TakeNotice may be called from any thread.
class CAnswerCacheWriter
{
public:
    // The file is opened by the writer's thread on the first batch; a write waits
    // up to nBusyTimeoutMs for another writer of the file, and is tried three times.
    CAnswerCacheWriter(std::string strPath, CAnswerCacheLimits limits, int nBusyTimeoutMs = 5000);
    ~CAnswerCacheWriter();
    CAnswerCacheWriter(const CAnswerCacheWriter&) = delete;
    CAnswerCacheWriter& operator=(const CAnswerCacheWriter&) = delete;

    // Hands the answers over and returns at once (puts is left empty). Without a
    // thread (none could be started) they are written before it returns.
    void Post(std::vector<CAnswerCachePut>& puts, int64_t nNow);
    // Returns once every answer handed over so far has been written or failed.
    void Wait();
    // A message for the user, once: the file could not be opened or written.
    std::string TakeNotice();
    // Answers kept in the file so far (those the put rules refuse are not counted).
    size_t Stored() const;

private:
    struct CBatch {
        std::vector<CAnswerCachePut> m_puts;
        int64_t m_nNow = 0;
    };
    void Run();
    // The writer's thread (or Post, without one): one transaction for the batches.
    void Write(std::vector<CBatch>& batches);
    void Said(const std::string& strText);

    const std::string m_strPath;
    const CAnswerCacheLimits m_limits;
    const int m_nBusyTimeoutMs;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<CBatch> m_queue;
    bool m_bWriting = false;
    bool m_bStopping = false;
    bool m_bThread = false;
    size_t m_nStored = 0;
    std::string m_strNotice;
    bool m_bProblemSaid = false;
    // The connection, used under m_writeMutex only (by the writer's thread, or by
    // Post without one).
    std::mutex m_writeMutex;
    CCacheDatabase m_db;
    std::unique_ptr<CAnswerCache> m_pCache;
    std::thread m_thread;
};
