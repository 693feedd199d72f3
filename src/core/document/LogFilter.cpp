#include "core/document/LogFilter.h"

#include <cstring>

namespace {

// glibc's memmem is several times faster than a first-character scan on log lines,
// where the patterns' first characters ('"', '/') are everywhere.
bool Contains(std::string_view text, std::string_view pattern)
{
    if (text.size() < pattern.size() || pattern.empty())
        return pattern.empty();
    return ::memmem(text.data(), text.size(), pattern.data(), pattern.size()) != nullptr;
}

} // namespace

bool LogLineMatches(std::string_view rest, std::string_view patterns, std::string& strNote)
{
    size_t start = 0;
    while (start < patterns.size()) {
        const size_t bar = patterns.find('|', start);
        if (bar == std::string_view::npos)
            return false;
        const std::string_view pattern = patterns.substr(start, bar - start);
        start = bar + 1;
        if (!pattern.empty() && Contains(rest, pattern)) {
            strNote = RewriteLogNote(rest);
            return true;
        }
    }
    return false;
}

std::string RewriteLogNote(std::string_view rest)
{
    size_t request = rest.find("\"GET");
    if (request == std::string_view::npos)
        request = rest.find("\"POST");
    if (request != std::string_view::npos)
        rest.remove_prefix(request);

    const size_t close = rest.find("\" ");
    if (close != std::string_view::npos)
        rest = rest.substr(0, close + 1);

    const size_t query = rest.find('?');
    if (query != std::string_view::npos) {
        const size_t quote = rest.find('"', query + 1);
        if (quote != std::string_view::npos) {
            std::string note;
            note.reserve(query + rest.size() - quote);
            note.append(rest.substr(0, query));
            note.append(rest.substr(quote));
            return note;
        }
    }
    return std::string(rest);
}
