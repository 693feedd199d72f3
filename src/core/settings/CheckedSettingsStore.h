#pragma once

#include "core/settings/SettingsStore.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>

// A settings store that reports each stored value that is not a number, or that
// a CSettingsLoader could not use, once per value, with the default used instead.
// The values come from a file anyone may have edited; a silent default would hide
// a typo until the wrong server is asked. Both front ends read through one.
class CCheckedSettingsStore : public CSettingsStore
{
public:
    using Reporter = std::function<void(const std::string& strMessage)>;
    CCheckedSettingsStore(CSettingsStore& inner, Reporter report);

    int GetProfileInt(const std::string& section, const std::string& entry, int nDefault) override;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& strDefault = std::string()) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry, int nValue) override;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& strValue) override;
    void ReportProblem(const std::string& section, const std::string& entry, const std::string& strMessage) override;

private:
    void Report(const std::string& section, const std::string& entry, const std::string& strMessage);

    CSettingsStore& m_inner;
    Reporter m_report;
    std::mutex m_mutex;
    std::set<std::string> m_reported;
};
