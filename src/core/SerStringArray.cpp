#include "core/SerStringArray.h"

#include <algorithm>

namespace {

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

int CSerStringArray::Find(std::string_view strText) const
{
    for (size_t i = 0; i < m_strings.size(); ++i) {
        const bool bEqual = m_nCompareMode == compareNoCase ? EqualNoCase(m_strings[i], strText)
            : m_nCompareMode == compareExact                ? m_strings[i] == strText
                                                            : false;
        if (bEqual)
            return int(i);
    }
    return -1;
}

bool CSerStringArray::AddUnique(std::string_view strText)
{
    if (m_bUnique && Find(strText) >= 0)
        return false;
    m_strings.emplace_back(strText);
    return true;
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
    m_strings.erase(m_strings.begin() + nIndex, m_strings.begin() + std::ptrdiff_t(nEnd));
}
