#pragma once

#include "cache/AnswerCache.h"

#include <string>

class CSettingsStore;

// Where the cache file is and how much it keeps, from section "Settings".
struct CAnswerCacheSettings {
    std::string m_strPath; // empty: the cache is off
    CAnswerCacheLimits m_limits;
};

// The folders a front end found in its environment ($XDG_CACHE_HOME, $HOME), for
// the default path; the core reads no environment itself.
struct CCacheHomes {
    std::string m_strXdgCacheHome;
    std::string m_strHome;
};

// The "Answer Cache" value as a path: the declared default becomes
// $XDG_CACHE_HOME/addrscope/answers.sqlite (when that is an absolute path), else
// $HOME/.cache/addrscope/answers.sqlite; a leading "~/" is the home folder; empty
// stays empty (off), and so does the default when no home is known.
std::string ResolveAnswerCachePath(const std::string& strSetting, const CCacheHomes& homes);

CAnswerCacheSettings LoadAnswerCacheSettings(CSettingsStore& store, const CCacheHomes& homes);
