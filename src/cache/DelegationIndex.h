#pragma once

#include "cache/CacheAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Who holds an address according to the registries' delegation files.
struct CDelegationHit {
    std::string m_strRegistry;
    std::string m_strCountry;
    std::string m_strDate; // yyyymmdd, or empty when the file gives none
    std::string m_strStatus;
};

// The delegation blocks in memory, sorted, for look-ups by binary search: an
// address's registry and country in well under a microsecond.
class CDelegationIndex
{
public:
    // Blocks in any order. Texts longer than the index keeps are cut.
    void Add(const CCacheAddress& first, const CCacheAddress& last, const std::string& strRegistry,
             const std::string& strCountry, const std::string& strDate, const std::string& strStatus);
    // Sorts what was added; Find needs it.
    void Finish();

    std::optional<CDelegationHit> Find(const CCacheAddress& address) const;
    size_t Size() const { return m_v4.size() + m_v6.size(); }

private:
    struct CInfo {
        uint8_t m_nRegistry = 0; // into m_names
        uint8_t m_nStatus = 0; // into m_names
        char m_country[2] = {};
        uint32_t m_nDate = 0; // yyyymmdd as a number, 0 for none
    };
    template <class T> struct CBlock {
        T m_first;
        T m_last;
        CInfo m_info;
    };
    uint8_t NameId(const std::string& strName);
    CDelegationHit Hit(const CInfo& info) const;
    template <class T> std::optional<CDelegationHit> FindIn(const std::vector<CBlock<T>>& blocks, T value) const;

    std::vector<CBlock<uint32_t>> m_v4;
    std::vector<CBlock<unsigned __int128>> m_v6;
    std::vector<std::string> m_names;
};
