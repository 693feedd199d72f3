#include "ui/frame/RecentFileList.h"

#include "core/settings/SettingsStore.h"
#include "ui/frame/FrameTexts.h"

#include <algorithm>

namespace {

std::string KeyOf(int n)
{
    return "File" + std::to_string(n);
}

} // namespace

void CRecentFileList::Load(CSettingsStore& store)
{
    m_files.clear();
    for (int i = 1; i <= kSize; ++i) {
        std::string strPath = store.GetProfileString(FrameTexts::kRecentFileSection, KeyOf(i));
        if (!strPath.empty() && std::find(m_files.begin(), m_files.end(), strPath) == m_files.end())
            m_files.push_back(std::move(strPath));
    }
}

void CRecentFileList::Save(CSettingsStore& store) const
{
    for (int i = 1; i <= kSize; ++i)
        store.WriteProfileString(FrameTexts::kRecentFileSection, KeyOf(i),
                                 size_t(i) <= m_files.size() ? m_files[size_t(i) - 1] : std::string());
}

void CRecentFileList::Add(const std::string& strPath)
{
    if (strPath.empty())
        return;
    Remove(strPath);
    m_files.insert(m_files.begin(), strPath);
    if (m_files.size() > size_t(kSize))
        m_files.resize(kSize);
}

void CRecentFileList::Remove(const std::string& strPath)
{
    m_files.erase(std::remove(m_files.begin(), m_files.end(), strPath), m_files.end());
}
