#pragma once

#include <string_view>

// Case folding of single-byte texts: ASCII letters fold, other bytes stay as they
// are. Addresses, host names and handles are compared this way everywhere.
inline char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

inline bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Whether text holds needle, ASCII letters of both folded; linear for the short
// needles of the answer readers.
inline bool ContainsNoCase(std::string_view text, std::string_view needle)
{
    if (needle.empty())
        return true;
    if (text.size() < needle.size())
        return false;
    const char first = FoldCase(needle[0]);
    for (size_t i = 0; i + needle.size() <= text.size(); ++i)
        if (FoldCase(text[i]) == first && EqualNoCase(text.substr(i, needle.size()), needle))
            return true;
    return false;
}

// Byte order with ASCII letters folded: no locale collation, so a sort is the
// same on every machine and costs no more than a byte compare.
inline int CompareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(FoldCase(a[i]));
        const unsigned char cb = static_cast<unsigned char>(FoldCase(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Whether text holds needle, ASCII letters folded. The needle must already be
// folded (FoldCase on each byte): a filter folds it once for a million texts.
inline bool ContainsFolded(std::string_view text, std::string_view foldedNeedle)
{
    if (foldedNeedle.empty())
        return true;
    if (text.size() < foldedNeedle.size())
        return false;
    const char c0 = foldedNeedle[0];
    const size_t nLast = text.size() - foldedNeedle.size();
    for (size_t i = 0; i <= nLast; ++i) {
        if (FoldCase(text[i]) != c0)
            continue;
        size_t j = 1;
        while (j < foldedNeedle.size() && FoldCase(text[i + j]) == foldedNeedle[j])
            ++j;
        if (j == foldedNeedle.size())
            return true;
    }
    return false;
}
