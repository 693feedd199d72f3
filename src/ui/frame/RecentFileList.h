#pragma once

#include <string>
#include <vector>

class CSettingsStore;

// The four most recently used documents, newest first, kept in "Recent File
// List" as "File1".."File4".
class CRecentFileList
{
public:
    static constexpr int kSize = 4;

    void Load(CSettingsStore& store);
    void Save(CSettingsStore& store) const;

    // Puts the path first; a path already listed moves up, the oldest drops off.
    void Add(const std::string& strPath);
    void Remove(const std::string& strPath);
    const std::vector<std::string>& GetFiles() const { return m_files; }

private:
    std::vector<std::string> m_files;
};
