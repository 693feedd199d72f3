#pragma once

#include <string>
#include <string_view>

// The value after the first occurrence of strLabel in strText (case-sensitive, the
// label may stand anywhere), up to the first character of strTerminators, trimmed
// of white space. Empty when the label is missing or no terminator follows it: a
// label on an unterminated last line yields nothing.
std::string ExtractWhoisField(std::string_view strText, std::string_view strLabel,
                              std::string_view strTerminators = "\r\n");
