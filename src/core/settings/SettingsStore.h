#pragma once

#include <string>

// The per-user profile: integers and texts by section and value name.
// Values come from a file the user (or anyone) can edit, so readers must treat
// them as untrusted: a value that is missing or not a number gives the default.
class CSettingsStore
{
public:
    virtual ~CSettingsStore() = default;

    virtual int GetProfileInt(const std::string& section, const std::string& entry, int nDefault) = 0;
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& strDefault = std::string()) = 0;
    virtual bool WriteProfileInt(const std::string& section, const std::string& entry, int nValue) = 0;
    virtual bool WriteProfileString(const std::string& section, const std::string& entry,
                                    const std::string& strValue) = 0;
    // A stored value a reader could not use, with what it used instead
    // (CSettingsLoader tells this); a front end's store shows it to the user.
    virtual void ReportProblem(const std::string& section, const std::string& entry, const std::string& strMessage)
    {
        (void)section;
        (void)entry;
        (void)strMessage;
    }
};
