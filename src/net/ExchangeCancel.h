#pragma once

#include <atomic>
#include <mutex>
#include <vector>

// Ends the blocking exchanges of worker threads from another thread. A worker runs
// under a switch (CScope); the sockets it opens meanwhile are registered with it,
// and Cancel shuts them down, so a poll or a receive that waits on a silent server
// returns at once, and every later exchange under the switch fails before it
// connects. HTTP transfers look at IsCancelled from their progress callback.
class CExchangeCancel
{
public:
    CExchangeCancel() = default;
    CExchangeCancel(const CExchangeCancel&) = delete;
    CExchangeCancel& operator=(const CExchangeCancel&) = delete;

    void Cancel();
    // Lets exchanges run again (a new run after a cancelled one).
    void Reset();
    bool IsCancelled() const { return m_bCancelled.load(std::memory_order_acquire); }

    // The switch the current thread runs under; null: none.
    static CExchangeCancel* Current();

    class CScope
    {
    public:
        explicit CScope(CExchangeCancel* pCancel);
        ~CScope();
        CScope(const CScope&) = delete;
        CScope& operator=(const CScope&) = delete;

    private:
        CExchangeCancel* m_pPrevious;
    };

    // A socket of the current thread's exchange; false when cancelled already (the
    // caller then gives up before connecting). Unregister before closing it.
    bool Register(int nFd);
    void Unregister(int nFd);

private:
    std::mutex m_mutex;
    std::vector<int> m_fds;
    std::atomic<bool> m_bCancelled {false};
};
