#include "core/record/SerStringArray.h"

#include <algorithm>
#include <unordered_set>

std::string CSerStringArray::Key(std::string_view strText) const
{
    std::string key(strText);
    if (m_nCompareMode == compareNoCase)
        std::transform(key.begin(), key.end(), key.begin(), FoldCase);
    return key;
}

void CSerStringArray::Count(const std::string& strText, int nDelta)
{
    if (m_nCompareMode != compareNoCase && m_nCompareMode != compareExact)
        return;
    const std::string key = Key(strText);
    if (nDelta > 0) {
        ++m_counts[key];
        return;
    }
    auto it = m_counts.find(key);
    if (it != m_counts.end() && --it->second == 0)
        m_counts.erase(it);
}

int CSerStringArray::Find(std::string_view strText) const
{
    if (m_nCompareMode != compareNoCase && m_nCompareMode != compareExact)
        return -1;
    if (m_counts.find(Key(strText)) == m_counts.end())
        return -1;
    for (size_t i = 0; i < m_strings.size(); ++i) {
        const bool bEqual =
            m_nCompareMode == compareNoCase ? EqualNoCase(m_strings[i], strText) : m_strings[i] == strText;
        if (bEqual)
            return int(i);
    }
    return -1;
}

bool CSerStringArray::Contains(std::string_view strText) const
{
    if (m_nCompareMode != compareNoCase && m_nCompareMode != compareExact)
        return false;
    return m_counts.find(Key(strText)) != m_counts.end();
}

int CSerStringArray::RemoveTexts(const std::vector<std::string>& texts)
{
    if (texts.empty() || (m_nCompareMode != compareNoCase && m_nCompareMode != compareExact))
        return 0;
    std::unordered_set<std::string> keys;
    for (const std::string& str : texts)
        keys.insert(Key(str));
    const size_t nBefore = m_strings.size();
    auto it = std::remove_if(m_strings.begin(), m_strings.end(), [&](const std::string& str) {
        if (keys.count(Key(str)) == 0)
            return false;
        Count(str, -1);
        return true;
    });
    m_strings.erase(it, m_strings.end());
    return int(nBefore - m_strings.size());
}

bool CSerStringArray::AddUnique(std::string_view strText)
{
    if (m_bUnique && (m_nCompareMode == compareNoCase || m_nCompareMode == compareExact) &&
        m_counts.count(Key(strText)) != 0)
        return false;
    Add(strText);
    return true;
}

int CSerStringArray::Add(std::string_view strText)
{
    m_strings.emplace_back(strText);
    Count(m_strings.back(), +1);
    return GetSize() - 1;
}

std::string CSerStringArray::GetString(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetSize())
        return {};
    return m_strings[size_t(nIndex)];
}

void CSerStringArray::RemoveAt(int nIndex, int nCount)
{
    if (nIndex < 0 || nCount <= 0 || nIndex >= GetSize())
        return;
    const size_t nEnd = std::min(m_strings.size(), size_t(nIndex) + size_t(nCount));
    for (size_t i = size_t(nIndex); i < nEnd; ++i)
        Count(m_strings[i], -1);
    m_strings.erase(m_strings.begin() + nIndex, m_strings.begin() + std::ptrdiff_t(nEnd));
}

void CSerStringArray::RemoveAll()
{
    m_strings.clear();
    m_counts.clear();
}

void CSerStringArray::SetCompareMode(uint8_t nMode)
{
    m_nCompareMode = nMode;
    m_counts.clear();
    for (const std::string& str : m_strings)
        Count(str, +1);
}
