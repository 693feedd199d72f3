#include "sched/PausedRegistries.h"

#include <algorithm>

void CPausedRegistries::Set(std::vector<std::string> registries)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_registries.swap(registries);
}

bool CPausedRegistries::IsPaused(std::string_view strRegistry) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::find(m_registries.begin(), m_registries.end(), strRegistry) != m_registries.end();
}

std::vector<std::string> CPausedRegistries::Get() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_registries;
}
