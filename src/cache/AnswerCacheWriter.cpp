#include "cache/AnswerCacheWriter.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

// Tries of one transaction before its answers are given up.
constexpr int kTries = 3;

} // namespace

CAnswerCacheWriter::CAnswerCacheWriter(std::string strPath, CAnswerCacheLimits limits, int nBusyTimeoutMs)
    : m_strPath(std::move(strPath))
    , m_limits(limits)
    , m_nBusyTimeoutMs(nBusyTimeoutMs)
{
    try {
        m_thread = std::thread([this] { Run(); });
        m_bThread = true;
    } catch (const std::system_error&) {
        // No thread to be had: Post writes on the caller's thread.
    }
}

CAnswerCacheWriter::~CAnswerCacheWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CAnswerCacheWriter::Post(std::vector<CAnswerCachePut>& puts, int64_t nNow)
{
    if (puts.empty())
        return;
    CBatch batch;
    batch.m_puts.swap(puts);
    batch.m_nNow = nNow;
    if (!m_bThread) {
        std::vector<CBatch> batches;
        batches.push_back(std::move(batch));
        Write(batches);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(batch));
    }
    m_wake.notify_one();
}

void CAnswerCacheWriter::Wait()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_bWriting; });
}

std::string CAnswerCacheWriter::TakeNotice()
{
    std::lock_guard lock(m_mutex);
    std::string strNotice = std::move(m_strNotice);
    m_strNotice.clear();
    return strNotice;
}

size_t CAnswerCacheWriter::Stored() const
{
    std::lock_guard lock(m_mutex);
    return m_nStored;
}

void CAnswerCacheWriter::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStopping || !m_queue.empty(); });
        if (m_queue.empty())
            break; // stopping, and everything handed over is written
        std::vector<CBatch> batches;
        batches.swap(m_queue);
        m_bWriting = true;
        lock.unlock();
        Write(batches);
        lock.lock();
        m_bWriting = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
    m_idle.notify_all();
}

void CAnswerCacheWriter::Write(std::vector<CBatch>& batches)
{
    std::lock_guard write(m_writeMutex);
    // What waited together goes in one transaction, as of the latest batch's time.
    std::vector<CAnswerCachePut> puts;
    int64_t nNow = 0;
    for (CBatch& batch : batches) {
        nNow = std::max(nNow, batch.m_nNow);
        for (CAnswerCachePut& put : batch.m_puts)
            puts.push_back(std::move(put));
    }
    // Another writer of the file (another process, or the delegation import on the
    // window's thread) may hold it past the busy time-out: the answers get more tries.
    std::string strFailed;
    size_t nStored = 0;
    for (int nTry = 0; nTry < kTries; ++nTry) {
        if (!m_pCache) {
            const CCacheOpenResult r = m_db.Open(m_strPath, nNow, m_nBusyTimeoutMs);
            if (!r.m_strNotice.empty())
                Said(r.m_strNotice);
            if (!r.m_bOpen) {
                strFailed = r.m_strError;
                continue;
            }
            m_pCache = std::make_unique<CAnswerCache>(m_db, m_limits);
        }
        const CCachePutResult r = m_pCache->PutAll(puts, nNow, &nStored);
        if (const std::string strNotice = m_pCache->TakeNotice(); !strNotice.empty())
            Said(strNotice);
        if (r.m_outcome != ECachePut::kFailed) {
            strFailed.clear();
            break;
        }
        strFailed = r.m_strReason;
    }
    if (!strFailed.empty())
        Said(strFailed);
    std::lock_guard lock(m_mutex);
    m_nStored += nStored;
}

void CAnswerCacheWriter::Said(const std::string& strText)
{
    std::lock_guard lock(m_mutex);
    // Once: a file that cannot be written would otherwise say so with every batch.
    if (m_bProblemSaid)
        return;
    m_bProblemSaid = true;
    m_strNotice = strText;
}
