#pragma once

#include "core/Utf8Text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

// Output text for the terminal and JSON. Record texts are single bytes exactly as
// received: runs that are valid UTF-8 pass through, every other byte is written as
// the Latin-1 character of that byte.

// UTF-8 for the terminal, with control characters that would break a line or a
// column (tab, CR, LF) shown as blanks.
inline std::string PlainText(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i);
        if (n == 0) {
            AppendLatin1(out, (unsigned char)s[i]);
            ++i;
            continue;
        }
        if (n == 1 && (s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
            out.push_back(' ');
        else
            out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

// A JSON string literal, quotes included.
inline std::string JsonString(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back('"');
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i);
        // C1 controls escaped, so that JSON on a terminal carries no CSI (U+009B).
        const unsigned char c1 = n == 0                                  ? (unsigned char)s[i]
                                 : n == 2 && (unsigned char)s[i] == 0xC2 ? (unsigned char)s[i + 1]
                                                                         : 0;
        if (c1 >= 0x80 && c1 <= 0x9F) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c1 >> 4];
            out += kHex[c1 & 15];
            i += n == 0 ? 1 : 2;
            continue;
        }
        if (n == 0) {
            AppendLatin1(out, (unsigned char)s[i]);
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        }
        const char c = s[i++];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if ((unsigned char)c < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out.push_back(kHex[(c >> 4) & 0xF]);
                out.push_back(kHex[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
    return out;
}

// A JSON number: the shortest text that reads back as the same double; null for
// values JSON cannot hold (a file may store NaN or infinities).
inline std::string JsonNumber(double d)
{
    if (!std::isfinite(d))
        return "null";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}
