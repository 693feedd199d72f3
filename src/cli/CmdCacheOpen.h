#pragma once

// Opening the answer cache for the cache and delegations commands: the path and
// limits from the settings, the default folder from the environment.

#include "cache/AnswerCacheSettings.h"
#include "cache/CacheDatabase.h"
#include "cli/CliCommand.h"
#include "cli/CliOutput.h"

#include "sched/DelegationLookup.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

inline CCacheHomes CliCacheHomes()
{
    const char* pszXdg = std::getenv("XDG_CACHE_HOME");
    const char* pszHome = std::getenv("HOME");
    return {pszXdg ? pszXdg : "", pszHome ? pszHome : ""};
}

// False (said on stderr) when the cache is off or cannot be opened; a moved-aside
// damaged file is said once.
inline bool OpenCliCache(CCliContext& ctx, const char* pszCommand, CCacheDatabase& db, CAnswerCacheSettings& settings)
{
    settings = LoadAnswerCacheSettings(ctx.settings, CliCacheHomes());
    if (settings.m_strPath.empty()) {
        CliMessage(ctx, pszCommand, "the answer cache is off (\"Answer Cache\" is empty)");
        return false;
    }
    const CCacheOpenResult r = db.Open(settings.m_strPath, int64_t(std::time(nullptr)));
    if (!r.m_strNotice.empty())
        CliMessage(ctx, pszCommand, r.m_strNotice);
    if (!r.m_bOpen) {
        CliMessage(ctx, pszCommand, r.m_strError);
        return false;
    }
    return true;
}

// "2025-12-06 05:46:40 UTC".
inline std::string CliCacheTime(int64_t nTime)
{
    if (nTime <= 0)
        return "-";
    const time_t t = time_t(nTime);
    struct tm tmUtc { };
    gmtime_r(&t, &tmUtc);
    char buf[32] = {};
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tmUtc);
    return buf;
}

// The delegation data of the cache file for a command that reads a document, when
// the file is there (none is created for it): registry, country and allocation
// date of every address before any query.
inline void LoadCliDelegations(CCliContext& ctx, const char* pszCommand, CDelegationLookup& lookup)
{
    const CAnswerCacheSettings settings = LoadAnswerCacheSettings(ctx.settings, CliCacheHomes());
    std::error_code ec;
    if (settings.m_strPath.empty() || !std::filesystem::exists(settings.m_strPath, ec))
        return;
    CCacheDatabase db;
    const CCacheOpenResult r = db.Open(settings.m_strPath, int64_t(std::time(nullptr)));
    if (!r.m_strNotice.empty())
        CliMessage(ctx, pszCommand, r.m_strNotice);
    if (!r.m_bOpen)
        return;
    if (const std::string strError = lookup.Load(db); !strError.empty())
        CliMessage(ctx, pszCommand, "the delegation data cannot be read: " + strError);
}
