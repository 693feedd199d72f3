#include "facts/WhoisAnswer.h"

#include "facts/IPv6Text.h"

#include "core/text/TextCase.h"

namespace WhoisAnswer {

namespace {

bool TakePrefixLength(std::string_view& s, unsigned& nPrefix)
{
    if (s.empty() || s[0] != '/')
        return false;
    size_t i = 1;
    unsigned n = 0;
    while (i < s.size() && i < 4 && s[i] >= '0' && s[i] <= '9')
        n = n * 10 + unsigned(s[i++] - '0');
    if (i == 1 || n > 32 || (i < s.size() && s[i] >= '0' && s[i] <= '9'))
        return false;
    nPrefix = n;
    s.remove_prefix(i);
    return true;
}

void PrefixBounds(uint32_t dwStart, unsigned nPrefix, uint32_t& dwFirst, uint32_t& dwLast)
{
    const uint32_t dwMask = nPrefix == 0 ? 0 : ~uint32_t(0) << (32 - nPrefix);
    dwFirst = dwStart & dwMask;
    dwLast = dwFirst | ~dwMask;
}

bool IsAddressChar(char c, bool bDomain)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.')
        return true;
    return !bDomain && (c == '_' || c == '+' || c == '%' || c == '=');
}

} // namespace

// Reads "a.b.c.d" (or, with bShort, "a.b" and "a.b.c" as LACNIC writes network
// numbers) from the front of s; the rest of s stays.
bool TakeQuad(std::string_view& s, uint32_t& dwValue, bool bShort)
{
    uint32_t dw = 0;
    int nParts = 0;
    size_t i = 0;
    while (nParts < 4) {
        size_t nDigits = 0;
        uint32_t n = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && nDigits < 4) {
            n = n * 10 + uint32_t(s[i] - '0');
            ++i;
            ++nDigits;
        }
        if (nDigits == 0 || nDigits > 3 || n > 255)
            return false;
        dw = (dw << 8) | n;
        ++nParts;
        if (nParts < 4 && i + 1 < s.size() && s[i] == '.' && s[i + 1] >= '0' && s[i + 1] <= '9')
            ++i;
        else
            break;
    }
    if (nParts < 4) {
        if (!bShort || nParts < 2)
            return false;
        dw <<= 8 * (4 - nParts);
    }
    if (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        return false;
    dwValue = dw;
    s.remove_prefix(i);
    return true;
}

// "a.b.c.d - e.f.g.h", "a.b.c.d/n" or the short "a.b/n"; trailing text such as
// " (/13)" is allowed. A range whose start lies above its end is no range.
bool ParseRange(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd)
{
    s = TrimView(s);
    uint32_t dwA = 0;
    if (!TakeQuad(s, dwA, true))
        return false;
    std::string_view rest = s;
    unsigned nPrefix = 0;
    if (TakePrefixLength(rest, nPrefix)) {
        PrefixBounds(dwA, nPrefix, dwStart, dwEnd);
        return true;
    }
    rest = TrimView(rest);
    if (rest.empty() || rest[0] != '-')
        return false;
    rest = TrimView(rest.substr(1));
    uint32_t dwB = 0;
    if (!TakeQuad(rest, dwB, false) || dwB < dwA)
        return false;
    dwStart = dwA;
    dwEnd = dwB;
    return true;
}

// A list of prefixes ("a/n, b/n, ..."), in any order: the smallest range that holds them all.
bool ParseCidrList(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd)
{
    bool bAny = false;
    while (!s.empty()) {
        const size_t nComma = s.find(',');
        std::string_view item = TrimView(s.substr(0, nComma));
        s = nComma == std::string_view::npos ? std::string_view() : s.substr(nComma + 1);
        uint32_t dwA = 0, dwB = 0;
        if (!ParseRange(item, dwA, dwB))
            continue;
        if (!bAny || dwA < dwStart)
            dwStart = dwA;
        if (!bAny || dwB > dwEnd)
            dwEnd = dwB;
        bAny = true;
    }
    return bAny;
}

// The e-mail address in a value ("abuse@example.net # comment", "<x@y>"); empty
// when there is none or it is a placeholder nobody reads.
std::string_view FindMailAddress(std::string_view s)
{
    const size_t nAt = s.find('@');
    if (nAt == std::string_view::npos || nAt == 0)
        return {};
    size_t b = nAt;
    while (b > 0 && IsAddressChar(s[b - 1], false))
        --b;
    size_t e = nAt + 1;
    while (e < s.size() && IsAddressChar(s[e], true))
        ++e;
    while (e > nAt + 1 && s[e - 1] == '.')
        --e;
    const std::string_view local = s.substr(b, nAt - b);
    const std::string_view domain = s.substr(nAt + 1, e - nAt - 1);
    if (local.empty() || domain.size() < 3 || domain.find('.') == std::string_view::npos || domain[0] == '.')
        return {};
    if (StartsWithNoCase(domain, "example.") || EqualNoCase(domain, "localhost.localdomain") ||
        EqualNoCase(local, "nobody") || EqualNoCase(local, "noreply") || EqualNoCase(local, "no-reply"))
        return {};
    return s.substr(b, e - b);
}

// A two-letter country code, "# comments" cut off; never the "ZZ" of contact objects.
std::string_view CountryCode(std::string_view s)
{
    s = TrimView(s.substr(0, s.find('#')));
    if (s.size() != 2)
        return {};
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return {};
    if (EqualNoCase(s, "ZZ"))
        return {};
    return s;
}

// "Google LLC (GOGL)" -> "Google LLC"
std::string_view WithoutHandle(std::string_view s)
{
    s = TrimView(s);
    if (!s.empty() && s.back() == ')') {
        const size_t nOpen = s.rfind('(');
        if (nOpen != std::string_view::npos && nOpen > 0)
            return TrimView(s.substr(0, nOpen));
    }
    return s;
}

// "AS13335" from "AS13335 # comment"; empty for "N/A" and other placeholders.
std::string_view AsNumber(std::string_view s)
{
    s = TrimView(s);
    s = s.substr(0, s.find_first_of(" \t#"));
    if (s.size() < 3 || !StartsWithNoCase(s, "AS") || s[2] < '0' || s[2] > '9')
        return {};
    return s;
}

bool IsRirHandle(std::string_view s)
{
    return EqualNoCase(s, "RIPE") || EqualNoCase(s, "APNIC") || EqualNoCase(s, "LACNIC") || EqualNoCase(s, "AFRINIC");
}

void SetRangeFrom(CBlock& b, std::string_view value)
{
    uint32_t dwA = 0, dwB = 0;
    if (ParseRange(value, dwA, dwB)) {
        b.bRange = true;
        b.dwStart = dwA;
        b.dwEnd = dwB;
        b.range6.reset();
    } else if (!b.bRange) {
        if (std::optional<CIPRange> r = IPv6Text::ReadRange(value))
            b.range6 = r;
    }
}

// Splits "Key: value" at the first colon; false for lines without one or with
// a key that does not look like one.
bool SplitAttribute(std::string_view line, std::string_view& key, std::string_view& value, size_t nMaxKey)
{
    const size_t nColon = line.find(':');
    if (nColon == std::string_view::npos || nColon == 0 || nColon > nMaxKey)
        return false;
    key = TrimView(line.substr(0, nColon));
    if (key.empty())
        return false;
    value = TrimView(line.substr(nColon + 1));
    return true;
}

const CBlock* Choose(const std::vector<CBlock>& blocks, const std::optional<CIPAddress>& address)
{
    const CBlock* pBest = nullptr;
    for (int nPass = 0; nPass < 2 && !pBest; ++nPass) {
        for (const CBlock& b : blocks) {
            // A network of the other family never stands for the asked address.
            if (!b.HasRange() || (address && address->IsIPv4() == b.range6.has_value()) ||
                (nPass == 0 && address && !b.Covers(*address)))
                continue;
            if (!pBest || b.Size() <= pBest->Size())
                pBest = &b;
        }
    }
    if (!pBest && !blocks.empty() && !(address && address->IsIPv4() == blocks.front().range6.has_value()))
        pBest = &blocks.front();
    return pBest;
}

} // namespace WhoisAnswer
