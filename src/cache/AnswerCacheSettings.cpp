#include "cache/AnswerCacheSettings.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"

std::string ResolveAnswerCachePath(const std::string& strSetting, const CCacheHomes& homes)
{
    if (strSetting == ProgramSettings::kAnswerCache.m_pszDefault) {
        if (!homes.m_strXdgCacheHome.empty() && homes.m_strXdgCacheHome[0] == '/')
            return homes.m_strXdgCacheHome + "/addrscope/answers.sqlite";
        if (homes.m_strHome.empty())
            return std::string();
        return homes.m_strHome + "/.cache/addrscope/answers.sqlite";
    }
    if (strSetting.rfind("~/", 0) == 0) {
        if (homes.m_strHome.empty())
            return std::string();
        return homes.m_strHome + strSetting.substr(1);
    }
    return strSetting;
}

CAnswerCacheSettings LoadAnswerCacheSettings(CSettingsStore& store, const CCacheHomes& homes)
{
    CSettingsLoader loader(store);
    CAnswerCacheSettings settings;
    settings.m_strPath = ResolveAnswerCachePath(loader.Get(ProgramSettings::kAnswerCache), homes);
    settings.m_limits.m_nMaxDays = loader.Get(ProgramSettings::kAnswerCacheDays);
    settings.m_limits.m_nMaxBytes = int64_t(loader.Get(ProgramSettings::kAnswerCacheMB)) << 20;
    return settings;
}
