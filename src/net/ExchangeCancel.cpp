#include "net/ExchangeCancel.h"

#include <algorithm>
#include <sys/socket.h>

namespace {

thread_local CExchangeCancel* t_pCurrent = nullptr;

} // namespace

void CExchangeCancel::Cancel()
{
    std::lock_guard lock(m_mutex);
    m_bCancelled.store(true, std::memory_order_release);
    // Under the lock: a descriptor is unregistered before it is closed, so none
    // shut down here can belong to anyone else by now.
    for (const int nFd : m_fds)
        ::shutdown(nFd, SHUT_RDWR);
}

void CExchangeCancel::Reset()
{
    m_bCancelled.store(false, std::memory_order_release);
}

CExchangeCancel* CExchangeCancel::Current()
{
    return t_pCurrent;
}

CExchangeCancel::CScope::CScope(CExchangeCancel* pCancel)
    : m_pPrevious(t_pCurrent)
{
    t_pCurrent = pCancel;
}

CExchangeCancel::CScope::~CScope()
{
    t_pCurrent = m_pPrevious;
}

bool CExchangeCancel::Register(int nFd)
{
    std::lock_guard lock(m_mutex);
    if (IsCancelled())
        return false;
    m_fds.push_back(nFd);
    return true;
}

void CExchangeCancel::Unregister(int nFd)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find(m_fds.begin(), m_fds.end(), nFd);
    if (it != m_fds.end())
        m_fds.erase(it);
}
