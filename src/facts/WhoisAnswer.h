#pragma once

#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What every reader of a whois answer layout shares: the lines of the answer,
// addresses and ranges, the values worth taking, and the network blocks a reader
// fills. Every registry layout is read into the same list of blocks; the most
// specific block that covers the address gives the facts. Blocks point into the
// answer's text: nothing is copied until the chosen facts are returned.
namespace WhoisAnswer {

inline constexpr std::string_view kBlanks = " \t\v\f\r";

inline std::string_view TrimView(std::string_view s)
{
    const size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

// Splits a text into lines at LF, CR LF, CR CR LF or a lone CR; the line ends are not part of the lines.
class CLineReader
{
public:
    explicit CLineReader(std::string_view text)
        : m_text(text)
    { }
    bool Next(std::string_view& line)
    {
        if (m_nPos >= m_text.size())
            return false;
        const char* p = m_text.data() + m_nPos;
        const size_t nLeft = m_text.size() - m_nPos;
        const void* pLf = std::memchr(p, '\n', nLeft);
        size_t nLen = pLf ? size_t(static_cast<const char*>(pLf) - p) : nLeft;
        size_t nNext = m_nPos + nLen + (pLf ? 1 : 0);
        // A CR not followed by more CRs and the LF ends a line of its own.
        if (const void* pCr = std::memchr(p, '\r', nLen)) {
            const size_t nCr = size_t(static_cast<const char*>(pCr) - p);
            size_t nAfter = nCr;
            while (nAfter < nLen && p[nAfter] == '\r')
                ++nAfter;
            if (nAfter < nLen) {
                nLen = nCr;
                nNext = m_nPos + nAfter;
            }
        }
        line = std::string_view(p, nLen);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_nPos = nNext;
        return true;
    }

private:
    std::string_view m_text;
    size_t m_nPos = 0;
};

// ---- addresses and ranges ----

// Reads "a.b.c.d" (or, with bShort, "a.b" and "a.b.c" as LACNIC writes network
// numbers) from the front of s; the rest of s stays.
bool TakeQuad(std::string_view& s, uint32_t& dwValue, bool bShort);

// "a.b.c.d - e.f.g.h", "a.b.c.d/n" or the short "a.b/n"; trailing text such as
// " (/13)" is allowed. A range whose start lies above its end is no range.
bool ParseRange(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd);

// A list of prefixes ("a/n, b/n, ..."), in any order: the smallest range that holds them all.
bool ParseCidrList(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd);

// ---- values ----

// The e-mail address in a value ("abuse@example.net # comment", "<x@y>"); empty
// when there is none or it is a placeholder nobody reads.
std::string_view FindMailAddress(std::string_view s);

// A two-letter country code, "# comments" cut off; never the "ZZ" of contact objects.
std::string_view CountryCode(std::string_view s);

// "Google LLC (GOGL)" -> "Google LLC"
std::string_view WithoutHandle(std::string_view s);

// "AS13335" from "AS13335 # comment"; empty for "N/A" and other placeholders.
std::string_view AsNumber(std::string_view s);

bool IsRirHandle(std::string_view s);

// ---- blocks ----

struct CBlock {
    bool bRange = false;
    uint32_t dwStart = 0;
    uint32_t dwEnd = 0;
    std::string_view holder;
    std::string_view country;
    std::string_view abuse;
    std::string_view netName;
    std::string_view originAS;
    bool bStub = false;
    bool bListed = false; // from a one-line list entry, used only without full records
    std::string_view id; // rwhois: the record's ID, which its organisation record repeats

    std::optional<CIPRange> range6; // an IPv6 network (bRange stays false)

    bool HasRange() const { return bRange || range6.has_value(); }
    // last - first of either family, comparable across families.
    std::pair<uint64_t, uint64_t> Size() const
    {
        return range6 ? range6->Span() : std::pair<uint64_t, uint64_t>(0, uint64_t(dwEnd) - dwStart);
    }
    bool Covers(const CIPAddress& a) const
    {
        if (range6)
            return range6->Contains(a);
        return bRange && a.IsIPv4() && dwStart <= a.IPv4() && a.IPv4() <= dwEnd;
    }
    bool Holds(const CBlock& o) const
    {
        if (range6 || o.range6)
            return range6 && o.range6 && range6->Contains(*o.range6);
        return bRange && o.bRange && dwStart <= o.dwStart && o.dwEnd <= dwEnd;
    }
};

struct CAnswer {
    std::vector<CBlock> blocks;
    std::string strRegistry;
    std::string_view defaultCountry;
    // RPSL: the origin AS of the most specific route object that holds the chosen block.
    std::string_view routeOrigin;
    bool bIana = false; // IANA's answer: every block is a delegation to a registry
};

void SetRangeFrom(CBlock& b, std::string_view value);

template <typename T> inline void SetIfEmpty(std::string_view& field, T value)
{
    if (field.empty())
        field = value;
}

// Splits "Key: value" at the first colon; false for lines without one or with
// a key that does not look like one.
bool SplitAttribute(std::string_view line, std::string_view& key, std::string_view& value, size_t nMaxKey = 40);

inline bool IsBlankLine(std::string_view line)
{
    return TrimView(line).empty();
}

// The most specific block that covers the address; without the address or a
// covering block, the smallest block; without ranges, the first block. A network
// of the other family than the address's never stands for it.
const CBlock* Choose(const std::vector<CBlock>& blocks, const std::optional<CIPAddress>& address);

} // namespace WhoisAnswer
