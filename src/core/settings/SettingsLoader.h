#pragma once

#include "core/settings/ProfileSetting.h"

#include <string>
#include <vector>

class CSettingsStore;

// Reads and writes declared settings. The profile is untrusted: a value that is
// missing gives its default; one that is no number, or a number outside its
// setting's range, gives the default too and is noted as a problem, which the
// caller may show (Problems lists each once, in the order found).
class CSettingsLoader
{
public:
    explicit CSettingsLoader(CSettingsStore& store)
        : m_store(store)
    { }

    int Get(const CIntSetting& setting);
    bool Get(const CBoolSetting& setting);
    std::string Get(const CTextSetting& setting);

    bool Set(const CIntSetting& setting, int nValue);
    bool Set(const CBoolSetting& setting, bool bValue);
    bool Set(const CTextSetting& setting, const std::string& strValue);

    // "Settings/IP Whois Interval: 'ten' is not a number; 10 is used", one line each.
    const std::vector<std::string>& Problems() const { return m_problems; }

private:
    // The stored number, the default when missing; false (and noted) when it is no number.
    bool ReadNumber(const char* pszSection, const char* pszKey, int nDefault, int& nValue);
    void Note(const char* pszSection, const char* pszKey, const std::string& strWhy, const std::string& strUsed);

    CSettingsStore& m_store;
    std::vector<std::string> m_problems;
};
