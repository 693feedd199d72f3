#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Record texts are single bytes exactly as received: runs that are valid UTF-8 pass
// through, every other byte stands for the Latin-1 character of that byte.

// The length of the valid UTF-8 sequence at s[i], 0 when there is none.
inline size_t Utf8SequenceAt(std::string_view s, size_t i)
{
    const unsigned char c = (unsigned char)s[i];
    if (c < 0x80)
        return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char cc = (unsigned char)s[i + k];
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

inline void AppendLatin1(std::string& out, unsigned char c)
{
    out.push_back(char(0xC0 | (c >> 6)));
    out.push_back(char(0x80 | (c & 0x3F)));
}

// The text as UTF-8, every byte outside a valid sequence read as Latin-1.
inline std::string Utf8OrLatin1(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i);
        if (n == 0) {
            AppendLatin1(out, (unsigned char)s[i++]);
            continue;
        }
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}
