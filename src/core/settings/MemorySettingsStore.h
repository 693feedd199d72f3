#pragma once

#include "core/settings/SettingsStore.h"

#include <map>
#include <mutex>
#include <utility>

// Settings kept in memory only: for tests and for runs that must not touch the user's profile.
class CMemorySettingsStore : public CSettingsStore
{
public:
    int GetProfileInt(const std::string& section, const std::string& entry, int nDefault) override;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& strDefault = std::string()) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry, int nValue) override;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& strValue) override;

    bool Contains(const std::string& section, const std::string& entry) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};
