#include "io/LogImportSettings.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "io/IoTexts.h"

namespace PS = ProgramSettings;

void CLogImportSettings::Load(CSettingsStore& store)
{
    CSettingsLoader loader(store);
    m_bError = loader.Get(PS::kLogFileError);
    m_bExploit = loader.Get(PS::kLogFileExploit);
    m_bDownload = loader.Get(PS::kLogFileDownload);
    m_strDownloadFile = loader.Get(PS::kLogFileDownloadFile);
    m_bCustom = loader.Get(PS::kLogFileCustom);
    m_strCustomText = loader.Get(PS::kLogFileCustomText);
}

void CLogImportSettings::Save(CSettingsStore& store) const
{
    CSettingsLoader loader(store);
    loader.Set(PS::kLogFileError, m_bError);
    loader.Set(PS::kLogFileExploit, m_bExploit);
    loader.Set(PS::kLogFileDownload, m_bDownload);
    loader.Set(PS::kLogFileDownloadFile, m_strDownloadFile);
    loader.Set(PS::kLogFileCustom, m_bCustom);
    loader.Set(PS::kLogFileCustomText, m_strCustomText);
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

std::string CLogImportSettings::ImportPatterns() const
{
    std::string patterns = BuildPatterns();
    if (m_bCustom && !m_strCustomText.empty() && m_strCustomText.back() != '|')
        patterns += '|';
    return patterns;
}
