#include "sched/LastWhoisDone.h"

COleDateTime CLastWhoisDone::Get() const
{
    std::lock_guard lock(m_mutex);
    return m_dtWhen;
}

void CLastWhoisDone::Set(const COleDateTime& dtWhen)
{
    std::lock_guard lock(m_mutex);
    m_dtWhen = dtWhen;
}
