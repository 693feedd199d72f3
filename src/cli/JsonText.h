#pragma once

#include "core/text/JsonString.h"
#include "core/text/Utf8Text.h"

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
    std::string out = Utf8OrLatin1(s);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// A JSON string literal, quotes included.
inline std::string JsonString(std::string_view s)
{
    return QuotedJson(s, EJsonEscapes::kShort);
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
