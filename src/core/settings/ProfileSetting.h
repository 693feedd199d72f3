#pragma once

#include <climits>

// One value of the profile, declared once with its section, its value name, its
// default and (for numbers) the range it accepts. Read and written only through
// CSettingsLoader, so the names and defaults live in one place.
struct CIntSetting {
    const char* m_pszSection;
    const char* m_pszKey;
    int m_nDefault;
    int m_nMin = INT_MIN;
    int m_nMax = INT_MAX;
};

// A switch, stored as 0 or 1; any other number reads as on.
struct CBoolSetting {
    const char* m_pszSection;
    const char* m_pszKey;
    bool m_bDefault;
};

struct CTextSetting {
    const char* m_pszSection;
    const char* m_pszKey;
    const char* m_pszDefault = "";
};
