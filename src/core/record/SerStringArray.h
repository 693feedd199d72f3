#pragma once

#include "core/text/TextCase.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A list of texts that can refuse duplicates; the per-kind waiting lists of
// addresses are of this type, so an address waits at most once per kind.
class CSerStringArray
{
public:
    enum CompareMode : uint8_t
    {
        compareNoCase = 0,
        compareExact = 1
    };

    // Index of the first text equal to strText under the compare mode, or -1.
    int Find(std::string_view strText) const;
    // Whether the list holds the text, without scanning it (false for modes that
    // match nothing).
    bool Contains(std::string_view strText) const;
    // Removes every entry equal to one of the texts in one pass over the list;
    // returns how many entries went.
    int RemoveTexts(const std::vector<std::string>& texts);
    // Appends unless unique is set and the text is already present.
    bool AddUnique(std::string_view strText);
    // Empty for an index outside 0..count-1.
    std::string GetString(int nIndex) const;

    int GetSize() const { return int(m_strings.size()); }
    bool IsEmpty() const { return m_strings.empty(); }
    int Add(std::string_view strText);
    // Removes nCount texts from nIndex on; out-of-range parts are ignored.
    void RemoveAt(int nIndex, int nCount = 1);
    void RemoveAll();

    bool GetUnique() const { return m_bUnique; }
    void SetUnique(bool bUnique) { m_bUnique = bUnique; }
    uint8_t GetCompareMode() const { return m_nCompareMode; }
    // 0 ignores case, 1 compares exactly, anything else makes no two texts equal.
    void SetCompareMode(uint8_t nMode);

private:
    // The text as the compare mode sees it: folded for case-insensitive lists.
    std::string Key(std::string_view strText) const;
    void Count(const std::string& strText, int nDelta);

    std::vector<std::string> m_strings;
    // How many entries there are of each key, so that asking whether a text is
    // present does not scan the list: queueing a whole large document would
    // otherwise take time quadratic in its size. Empty for modes that match nothing.
    std::unordered_map<std::string, uint32_t> m_counts;
    bool m_bUnique = true;
    uint8_t m_nCompareMode = compareNoCase;
};
