#include "facts/IPv6Text.h"

namespace IPv6Text {

namespace {

bool IsAddressChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

void SkipBlanks(std::string_view& s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
}

// The longest address text can be 45 characters; a longer run is no address, and
// looking no further keeps a hostile value cheap.
constexpr size_t kMaxToken = 64;

std::optional<CIPAddress> TakeAddress(std::string_view& s, bool bShortForm)
{
    SkipBlanks(s);
    size_t n = 0;
    while (n < s.size() && n <= kMaxToken && IsAddressChar(s[n]))
        ++n;
    if (n == 0 || n > kMaxToken)
        return std::nullopt;
    const std::string_view token = s.substr(0, n);
    if (token.find(':') == std::string_view::npos)
        return std::nullopt;
    CParseResult<CIPAddress> r = ParseIPAddress(token);
    if (!r && bShortForm && token.find("::") == std::string_view::npos && token.back() != ':') {
        // LACNIC leaves out the zero groups of a network number: "2001:1218/32".
        char buf[kMaxToken + 4];
        token.copy(buf, token.size());
        buf[token.size()] = ':';
        buf[token.size() + 1] = ':';
        r = ParseIPAddress(std::string_view(buf, token.size() + 2));
    }
    if (!r || !r->IsIPv6())
        return std::nullopt;
    s.remove_prefix(n);
    return *r;
}

// "/n" at the front of s; nullopt without one, -1 for a bad length.
std::optional<int> TakePrefix(std::string_view& s)
{
    if (s.empty() || s[0] != '/')
        return std::nullopt;
    size_t i = 1;
    int n = 0;
    while (i < s.size() && i < 5 && s[i] >= '0' && s[i] <= '9')
        n = n * 10 + (s[i++] - '0');
    if (i == 1 || n > 128 || (i < s.size() && s[i] >= '0' && s[i] <= '9'))
        return -1;
    s.remove_prefix(i);
    return n;
}

} // namespace

std::optional<CIPRange> ReadRange(std::string_view s)
{
    // A short form only where a prefix follows: "2001:1218" alone is no network.
    std::string_view probe = s;
    std::optional<CIPAddress> first = TakeAddress(probe, false);
    if (!first) {
        probe = s;
        first = TakeAddress(probe, true);
        if (!first || probe.empty() || probe[0] != '/')
            return std::nullopt;
    }
    s = probe;
    if (const std::optional<int> n = TakePrefix(s)) {
        if (*n < 0)
            return std::nullopt;
        const CParseResult<CIPRange> r = CIPRange::FromPrefix(*first, unsigned(*n));
        return r ? std::optional<CIPRange>(*r) : std::nullopt;
    }
    SkipBlanks(s);
    if (s.empty() || s[0] != '-')
        return std::nullopt;
    s.remove_prefix(1);
    const std::optional<CIPAddress> last = TakeAddress(s, false);
    if (!last || (!s.empty() && s[0] == '/'))
        return std::nullopt;
    const CParseResult<CIPRange> r = CIPRange::Make(*first, *last);
    return r ? std::optional<CIPRange>(*r) : std::nullopt;
}

std::optional<CIPRange> ReadCidrList(std::string_view s)
{
    std::optional<CIPAddress> first, last;
    while (!s.empty()) {
        const size_t nComma = s.find(',');
        const std::string_view item = s.substr(0, nComma);
        s = nComma == std::string_view::npos ? std::string_view() : s.substr(nComma + 1);
        const std::optional<CIPRange> r = ReadRange(item);
        if (!r)
            continue;
        if (!first || r->First() < *first)
            first = r->First();
        if (!last || *last < r->Last())
            last = r->Last();
    }
    if (!first)
        return std::nullopt;
    return *CIPRange::Make(*first, *last);
}

std::optional<CIPAddress> ReadAddress(std::string_view s)
{
    const std::optional<CIPAddress> a = TakeAddress(s, false);
    if (!a)
        return std::nullopt;
    SkipBlanks(s);
    if (!s.empty() && s[0] != '/')
        return std::nullopt;
    return a;
}

} // namespace IPv6Text
