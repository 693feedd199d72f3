#pragma once

#include <string>
#include <string_view>

// How a JSON string literal spells the control characters that have a short
// escape and DEL: the command line's output writes "\b", "\f" and DEL as they
// are; the table export writes "\u0008", "\u000c" and "\u007f". Files and scripts
// read both forms today, so each keeps its own.
enum class EJsonEscapes
{
    kShort,
    kUnicode
};

// A record text as a JSON string literal, quotes included: turned into UTF-8 as
// every record text is shown (valid UTF-8 runs pass, other bytes read as
// Latin-1), then escaped by nlohmann-json. Never throws.
std::string QuotedJson(std::string_view strText, EJsonEscapes escapes = EJsonEscapes::kShort);
