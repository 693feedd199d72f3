#pragma once

#include <string>

class CSettingsStore;

// The log import's conditions, as the dialog shows them and the profile keeps them.
class CLogImportSettings
{
public:
    bool m_bError = false;
    bool m_bExploit = false;
    bool m_bDownload = false;
    std::string m_strDownloadFile;
    bool m_bCustom = false;
    std::string m_strCustomText;

    // Reads the six values (ProgramSettings.h); absent or unreadable values give the defaults.
    void Load(CSettingsStore& store);
    void Save(CSettingsStore& store) const;

    // The pattern list of the ticked conditions, in the order page-not-found,
    // exploits, page/file, custom. The custom text goes in unchanged: its user
    // ends each pattern with '|'. Nothing ticked gives an empty list, which
    // matches no line.
    std::string BuildPatterns() const;

    // The list an import filters with: BuildPatterns, with a bar after a custom
    // text that lacks one, so that a text typed without it still matches (the
    // stored text stays as typed). Empty when nothing is ticked: the import then
    // takes every visitor, as a text import does.
    std::string ImportPatterns() const;
};
