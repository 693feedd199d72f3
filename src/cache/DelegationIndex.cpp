#include "cache/DelegationIndex.h"

#include <algorithm>

uint8_t CDelegationIndex::NameId(const std::string& strName)
{
    const std::string strShort = strName.substr(0, 32);
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == strShort)
            return uint8_t(i);
    // A file full of made-up names shares the last slot rather than growing the table.
    if (m_names.size() >= 255)
        return 254;
    m_names.push_back(strShort);
    return uint8_t(m_names.size() - 1);
}

void CDelegationIndex::Add(const CCacheAddress& first, const CCacheAddress& last, const std::string& strRegistry,
                           const std::string& strCountry, const std::string& strDate, const std::string& strStatus)
{
    CInfo info;
    info.m_nRegistry = NameId(strRegistry);
    info.m_nStatus = NameId(strStatus);
    for (size_t i = 0; i < 2 && i < strCountry.size(); ++i)
        info.m_country[i] = strCountry[i];
    for (char c : strDate.substr(0, 8))
        info.m_nDate = c >= '0' && c <= '9' ? info.m_nDate * 10 + uint32_t(c - '0') : 0;
    if (first.m_nFamily == 4)
        m_v4.push_back({uint32_t(first.Value()), uint32_t(last.Value()), info});
    else
        m_v6.push_back({first.Value(), last.Value(), info});
}

void CDelegationIndex::Finish()
{
    auto byFirst = [](const auto& a, const auto& b) { return a.m_first < b.m_first; };
    std::sort(m_v4.begin(), m_v4.end(), byFirst);
    std::sort(m_v6.begin(), m_v6.end(), byFirst);
}

CDelegationHit CDelegationIndex::Hit(const CInfo& info) const
{
    CDelegationHit hit;
    hit.m_strRegistry = m_names[info.m_nRegistry];
    hit.m_strStatus = m_names[info.m_nStatus];
    hit.m_strCountry.assign(info.m_country, info.m_country[1] ? 2 : info.m_country[0] ? 1 : 0);
    if (info.m_nDate != 0) {
        hit.m_strDate = std::to_string(info.m_nDate);
        hit.m_strDate.insert(0, hit.m_strDate.size() < 8 ? 8 - hit.m_strDate.size() : 0, '0');
    }
    return hit;
}

template <class T>
std::optional<CDelegationHit> CDelegationIndex::FindIn(const std::vector<CBlock<T>>& blocks, T value) const
{
    auto it =
        std::upper_bound(blocks.begin(), blocks.end(), value, [](T v, const CBlock<T>& b) { return v < b.m_first; });
    // Blocks of one registry do not overlap; a few steps back cover a rare overlap between files.
    for (int n = 0; n < 4 && it != blocks.begin(); ++n) {
        --it;
        if (it->m_last >= value)
            return Hit(it->m_info);
    }
    return std::nullopt;
}

std::optional<CDelegationHit> CDelegationIndex::Find(const CCacheAddress& address) const
{
    if (address.m_nFamily == 4)
        return FindIn(m_v4, uint32_t(address.Value()));
    return FindIn(m_v6, address.Value());
}
