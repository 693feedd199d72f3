#include "core/record/IPAddress.h"

#include "core/record/DottedQuad.h"

#include <cstdio>
#include <cstring>

namespace {

// The reasons a text is not an address, shown to the user as they are.
constexpr const char* kEmpty = "empty address";
constexpr const char* kZone = "zone ids are not accepted";
constexpr const char* kTooLong = "too long for an address";
constexpr const char* kBadChar = "not an IPv4 or IPv6 address";
constexpr const char* kTwoGaps = "more than one \"::\"";
constexpr const char* kEmptyGroup = "an empty group (a single colon at the start or end, or \":::\")";
constexpr const char* kLongGroup = "a group of more than 4 hex digits";
constexpr const char* kTooMany = "more than 8 groups";
constexpr const char* kTooFew = "fewer than 8 groups and no \"::\"";
constexpr const char* kBadQuad = "a bad embedded IPv4 address";
constexpr const char* kQuadNotLast = "an embedded IPv4 address must come last";
constexpr const char* kBadBracket = "a bracket without its pair";
constexpr const char* kBadPort = "a bad port after the bracketed address";
constexpr const char* kBracketedIPv4 = "only IPv6 addresses are written in brackets";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Strict dotted quad inside an IPv6 text: four pieces of 1..3 digits, each 0..255.
bool ReadEmbeddedQuad(std::string_view s, uint32_t& dw)
{
    dw = 0;
    int nParts = 0;
    size_t i = 0;
    while (nParts < 4) {
        unsigned n = 0;
        size_t nDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && nDigits < 4) {
            n = n * 10 + unsigned(s[i++] - '0');
            ++nDigits;
        }
        if (nDigits == 0 || nDigits > 3 || n > 255)
            return false;
        dw = (dw << 8) | n;
        if (++nParts < 4) {
            if (i >= s.size() || s[i] != '.')
                return false;
            ++i;
        }
    }
    return i == s.size();
}

// Groups between colons, with the last one possibly a dotted quad (two groups).
struct CGroups {
    uint16_t words[8] = {};
    int nCount = 0;
};

const char* ReadGroups(std::string_view s, CGroups& g, bool bQuadAllowed)
{
    if (s.empty())
        return nullptr;
    size_t nStart = 0;
    while (true) {
        const size_t nColon = s.find(':', nStart);
        const std::string_view piece =
            s.substr(nStart, nColon == std::string_view::npos ? std::string_view::npos : nColon - nStart);
        if (piece.empty())
            return kEmptyGroup;
        if (piece.find('.') != std::string_view::npos) {
            if (nColon != std::string_view::npos || !bQuadAllowed)
                return kQuadNotLast;
            uint32_t dw = 0;
            if (!ReadEmbeddedQuad(piece, dw))
                return kBadQuad;
            if (g.nCount > 6)
                return kTooMany;
            g.words[g.nCount++] = uint16_t(dw >> 16);
            g.words[g.nCount++] = uint16_t(dw);
            return nullptr;
        }
        for (char c : piece)
            if (HexValue(c) < 0)
                return kBadChar;
        if (piece.size() > 4)
            return kLongGroup;
        unsigned n = 0;
        for (char c : piece)
            n = n * 16 + unsigned(HexValue(c));
        if (g.nCount >= 8)
            return kTooMany;
        g.words[g.nCount++] = uint16_t(n);
        if (nColon == std::string_view::npos)
            return nullptr;
        nStart = nColon + 1;
    }
}

CParseResult<CIPAddress> ParseIPv6(std::string_view s)
{
    using R = CParseResult<CIPAddress>;
    // 8 groups of 4 and 7 colons, or 6 groups and a quad: 45 at most.
    if (s.size() > 45)
        return R::Fail(kTooLong);
    const size_t nGap = s.find("::");
    CGroups head, tail;
    if (nGap == std::string_view::npos) {
        if (const char* p = ReadGroups(s, head, true))
            return R::Fail(p);
        if (head.nCount != 8)
            return R::Fail(head.nCount > 8 ? kTooMany : kTooFew);
    } else {
        const std::string_view left = s.substr(0, nGap), right = s.substr(nGap + 2);
        if (right.find("::") != std::string_view::npos)
            return R::Fail(kTwoGaps);
        if (!right.empty() && right[0] == ':')
            return R::Fail(kEmptyGroup);
        if (const char* p = ReadGroups(left, head, false))
            return R::Fail(p);
        if (const char* p = ReadGroups(right, tail, true))
            return R::Fail(p);
        // "::" stands for at least one group.
        if (head.nCount + tail.nCount > 7)
            return R::Fail(kTooMany);
    }
    uint16_t w[8] = {};
    for (int i = 0; i < head.nCount; ++i)
        w[i] = head.words[i];
    for (int i = 0; i < tail.nCount; ++i)
        w[8 - tail.nCount + i] = tail.words[i];
    uint64_t hi = 0, lo = 0;
    for (int i = 0; i < 4; ++i) {
        hi = (hi << 16) | w[i];
        lo = (lo << 16) | w[i + 4];
    }
    return R::Ok(CIPAddress::FromIPv6(hi, lo));
}

bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

CIPAddress CIPAddress::FromBytes(const std::array<uint8_t, 16>& bytes)
{
    uint64_t hi = 0, lo = 0;
    for (int i = 0; i < 8; ++i) {
        hi = (hi << 8) | bytes[size_t(i)];
        lo = (lo << 8) | bytes[size_t(i) + 8];
    }
    return CIPAddress(hi, lo);
}

std::array<uint8_t, 16> CIPAddress::Bytes() const
{
    std::array<uint8_t, 16> b {};
    for (int i = 0; i < 8; ++i) {
        b[size_t(i)] = uint8_t(m_qwHigh >> (56 - 8 * i));
        b[size_t(i) + 8] = uint8_t(m_qwLow >> (56 - 8 * i));
    }
    return b;
}

// RFC 5952: lower case, no leading zeros, the longest run of two or more zero groups
// (the first of equal runs) as "::". Mapped addresses are IPv4 here, so the mixed
// notation its section 5 recommends for them never arises; every other IPv6 address,
// translated ones included, is written in hex only.
size_t CIPAddress::Format(char* buf) const
{
    if (IsIPv4()) {
        const std::string s = FormatDottedQuad(IPv4());
        std::memcpy(buf, s.data(), s.size());
        return s.size();
    }
    uint16_t w[8];
    for (int i = 0; i < 4; ++i) {
        w[i] = uint16_t(m_qwHigh >> (48 - 16 * i));
        w[i + 4] = uint16_t(m_qwLow >> (48 - 16 * i));
    }
    // The longest run of two or more zero groups, the first of equal ones, becomes "::".
    int nBest = -1, nBestLen = 1;
    for (int i = 0; i < 8;) {
        if (w[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && w[j] == 0)
            ++j;
        if (j - i > nBestLen) {
            nBest = i;
            nBestLen = j - i;
        }
        i = j;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    char* p = buf;
    for (int i = 0; i < 8; ++i) {
        if (i == nBest) {
            *p++ = ':';
            *p++ = ':';
            i += nBestLen - 1;
            continue;
        }
        if (p != buf && p[-1] != ':')
            *p++ = ':';
        bool bStarted = false;
        for (int nShift = 12; nShift >= 0; nShift -= 4) {
            const unsigned d = (w[i] >> nShift) & 15u;
            if (d != 0 || bStarted || nShift == 0) {
                *p++ = kHex[d];
                bStarted = true;
            }
        }
    }
    return size_t(p - buf);
}

std::string CIPAddress::ToString() const
{
    char buf[kMaxTextSize];
    return std::string(buf, Format(buf));
}

CParseResult<CIPAddress> ParseIPAddress(std::string_view strText)
{
    using R = CParseResult<CIPAddress>;
    if (strText.empty())
        return R::Fail(kEmpty);
    if (strText.find('%') != std::string_view::npos)
        return R::Fail(kZone);
    if (strText.find(':') == std::string_view::npos) {
        if (!IsValidDottedQuad(strText))
            return R::Fail(kBadChar);
        return R::Ok(CIPAddress::FromIPv4(ParseDottedQuad(strText)));
    }
    return ParseIPv6(strText);
}

CParseResult<CIPAddress> ParseIPAddressInInput(std::string_view s)
{
    using R = CParseResult<CIPAddress>;
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    if (s.empty() || s[0] != '[') {
        if (s.find(']') != std::string_view::npos)
            return R::Fail(kBadBracket);
        return ParseIPAddress(s);
    }
    const size_t nClose = s.find(']');
    if (nClose == std::string_view::npos)
        return R::Fail(kBadBracket);
    const std::string_view inner = s.substr(1, nClose - 1);
    const std::string_view rest = s.substr(nClose + 1);
    if (!rest.empty()) {
        if (rest[0] != ':' || rest.size() < 2 || rest.size() > 6)
            return R::Fail(kBadPort);
        unsigned nPort = 0;
        for (char c : rest.substr(1)) {
            if (c < '0' || c > '9')
                return R::Fail(kBadPort);
            nPort = nPort * 10 + unsigned(c - '0');
        }
        if (nPort > 65535)
            return R::Fail(kBadPort);
    }
    if (inner.find(':') == std::string_view::npos && !inner.empty() && inner.find('%') == std::string_view::npos)
        return R::Fail(kBracketedIPv4);
    return ParseIPAddress(inner);
}
