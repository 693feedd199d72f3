#include "io/LogImportSettings.h"

#include "core/SettingsStore.h"
#include "io/IoTexts.h"

void CLogImportSettings::Load(CSettingsStore& store)
{
    using namespace IoTexts;
    m_bError = store.GetProfileInt(kSettingsSection, kLogFileError, 0) != 0;
    m_bExploit = store.GetProfileInt(kSettingsSection, kLogFileExploit, 0) != 0;
    m_bDownload = store.GetProfileInt(kSettingsSection, kLogFileDownload, 0) != 0;
    m_strDownloadFile = store.GetProfileString(kSettingsSection, kLogFileDownloadFile, "");
    m_bCustom = store.GetProfileInt(kSettingsSection, kLogFileCustom, 0) != 0;
    m_strCustomText = store.GetProfileString(kSettingsSection, kLogFileCustomText, "");
}

void CLogImportSettings::Save(CSettingsStore& store) const
{
    using namespace IoTexts;
    store.WriteProfileInt(kSettingsSection, kLogFileError, m_bError ? 1 : 0);
    store.WriteProfileInt(kSettingsSection, kLogFileExploit, m_bExploit ? 1 : 0);
    store.WriteProfileInt(kSettingsSection, kLogFileDownload, m_bDownload ? 1 : 0);
    store.WriteProfileString(kSettingsSection, kLogFileDownloadFile, m_strDownloadFile);
    store.WriteProfileInt(kSettingsSection, kLogFileCustom, m_bCustom ? 1 : 0);
    store.WriteProfileString(kSettingsSection, kLogFileCustomText, m_strCustomText);
}

std::string CLogImportSettings::BuildPatterns() const
{
    std::string patterns;
    if (m_bError)
        patterns += IoTexts::kPageNotFoundPattern;
    if (m_bExploit)
        patterns += IoTexts::kExploitPatterns;
    if (m_bDownload) {
        patterns += m_strDownloadFile;
        patterns += '|';
    }
    if (m_bCustom)
        patterns += m_strCustomText;
    return patterns;
}
