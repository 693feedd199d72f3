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

COleDateTime CLastWhoisDone::Get(std::string_view strRegistry) const
{
    std::lock_guard lock(m_mutex);
    for (const auto& [strName, dtWhen] : m_byRegistry)
        if (strName == strRegistry)
            return dtWhen;
    return COleDateTime();
}

void CLastWhoisDone::Set(std::string_view strRegistry, const COleDateTime& dtWhen)
{
    std::lock_guard lock(m_mutex);
    m_dtWhen = dtWhen;
    for (auto& [strName, dtAt] : m_byRegistry)
        if (strName == strRegistry) {
            dtAt = dtWhen;
            return;
        }
    // Bounded by the registries and the servers the bootstrap names.
    m_byRegistry.emplace_back(std::string(strRegistry), dtWhen);
}
