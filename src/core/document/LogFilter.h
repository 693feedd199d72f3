#pragma once

#include <string>
#include <string_view>

// Filter patterns for log lines: a text of plain substrings, each followed by '|'.
// Text after the last '|' is never tested and empty patterns are skipped.
//
// True when one of the patterns occurs in the rest of a log line (the line after
// its address token); strNote then receives the line rewritten into the note
// text: the quoted request alone, without its query string.
bool LogLineMatches(std::string_view rest, std::string_view patterns, std::string& strNote);

// The note text of a matching rest of line (see LogLineMatches).
std::string RewriteLogNote(std::string_view rest);
