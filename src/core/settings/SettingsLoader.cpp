#include "core/settings/SettingsLoader.h"

#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsValue.h"

#include <algorithm>

bool CSettingsLoader::ReadNumber(const char* pszSection, const char* pszKey, int nDefault, int& nValue)
{
    // Absent and empty read alike: the default, no problem.
    const std::string strText = m_store.GetProfileString(pszSection, pszKey);
    if (strText.empty()) {
        nValue = nDefault;
        return true;
    }
    // Two different fallbacks tell "no number" from a stored number equal to one of them.
    const int nA = ParseProfileInt(strText, 0);
    const int nB = ParseProfileInt(strText, 1);
    if (nA != nB) {
        nValue = nDefault;
        std::string strWhy(1, '\'');
        strWhy.append(strText, 0, 40);
        strWhy.append("' is not a number");
        Note(pszSection, pszKey, strWhy, std::to_string(nDefault));
        return false;
    }
    nValue = nA;
    return true;
}

void CSettingsLoader::Note(const char* pszSection, const char* pszKey, const std::string& strWhy,
                           const std::string& strUsed)
{
    std::string strLine(pszSection);
    strLine.append("/").append(pszKey).append(": ").append(strWhy).append("; ").append(strUsed).append(" is used");
    if (std::find(m_problems.begin(), m_problems.end(), strLine) != m_problems.end())
        return;
    m_store.ReportProblem(pszSection, pszKey, strLine);
    m_problems.push_back(std::move(strLine));
}

int CSettingsLoader::Get(const CIntSetting& setting)
{
    int nValue = 0;
    if (!ReadNumber(setting.m_pszSection, setting.m_pszKey, setting.m_nDefault, nValue))
        return nValue;
    if (nValue < setting.m_nMin || nValue > setting.m_nMax) {
        std::string strWhy = std::to_string(nValue);
        strWhy.append(" is outside ").append(std::to_string(setting.m_nMin)).append("..");
        strWhy.append(std::to_string(setting.m_nMax));
        Note(setting.m_pszSection, setting.m_pszKey, strWhy, std::to_string(setting.m_nDefault));
        return setting.m_nDefault;
    }
    return nValue;
}

bool CSettingsLoader::Get(const CBoolSetting& setting)
{
    int nValue = 0;
    ReadNumber(setting.m_pszSection, setting.m_pszKey, setting.m_bDefault ? 1 : 0, nValue);
    return nValue != 0;
}

std::string CSettingsLoader::Get(const CTextSetting& setting)
{
    return m_store.GetProfileString(setting.m_pszSection, setting.m_pszKey, setting.m_pszDefault);
}

bool CSettingsLoader::Set(const CIntSetting& setting, int nValue)
{
    return m_store.WriteProfileInt(setting.m_pszSection, setting.m_pszKey, nValue);
}

bool CSettingsLoader::Set(const CBoolSetting& setting, bool bValue)
{
    return m_store.WriteProfileInt(setting.m_pszSection, setting.m_pszKey, bValue ? 1 : 0);
}

bool CSettingsLoader::Set(const CTextSetting& setting, const std::string& strValue)
{
    return m_store.WriteProfileString(setting.m_pszSection, setting.m_pszKey, strValue);
}
