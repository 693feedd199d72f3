#include "core/settings/MemorySettingsStore.h"

#include "core/settings/SettingsValue.h"

int CMemorySettingsStore::GetProfileInt(const std::string& section, const std::string& entry, int nDefault)
{
    std::lock_guard lock(m_mutex);
    auto it = m_values.find({section, entry});
    if (it == m_values.end())
        return nDefault;
    return ParseProfileInt(it->second, nDefault);
}

std::string CMemorySettingsStore::GetProfileString(const std::string& section, const std::string& entry,
                                                   const std::string& strDefault)
{
    std::lock_guard lock(m_mutex);
    auto it = m_values.find({section, entry});
    return it == m_values.end() ? strDefault : it->second;
}

bool CMemorySettingsStore::WriteProfileInt(const std::string& section, const std::string& entry, int nValue)
{
    return WriteProfileString(section, entry, std::to_string(nValue));
}

bool CMemorySettingsStore::WriteProfileString(const std::string& section, const std::string& entry,
                                              const std::string& strValue)
{
    std::lock_guard lock(m_mutex);
    m_values[{section, entry}] = strValue;
    return true;
}

bool CMemorySettingsStore::Contains(const std::string& section, const std::string& entry) const
{
    std::lock_guard lock(m_mutex);
    return m_values.count({section, entry}) != 0;
}

void CMemorySettingsStore::Clear()
{
    std::lock_guard lock(m_mutex);
    m_values.clear();
}
