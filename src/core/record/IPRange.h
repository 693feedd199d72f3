#pragma once

#include "core/record/IPAddress.h"
#include "core/record/ParseResult.h"

#include <optional>
#include <string>
#include <string_view>

// The addresses from m_first to m_last, both included, of one family.
class CIPRange
{
public:
    // Refused unless first and last are of one family and first <= last.
    static CParseResult<CIPRange> Make(const CIPAddress& first, const CIPAddress& last);
    // The CIDR block of nPrefix bits (at most 32 or 128) that holds the address;
    // host bits in the address are dropped.
    static CParseResult<CIPRange> FromPrefix(const CIPAddress& address, unsigned nPrefix);

    const CIPAddress& First() const { return m_first; }
    const CIPAddress& Last() const { return m_last; }
    bool IsIPv4() const { return m_first.IsIPv4(); }

    bool Contains(const CIPAddress& a) const { return m_first <= a && a <= m_last; }
    bool Contains(const CIPRange& r) const { return m_first <= r.m_first && r.m_last <= m_last; }
    // The prefix length when the range is exactly one CIDR block.
    std::optional<unsigned> PrefixLength() const;
    // 0.0.0.0/0 or ::/0.
    bool IsWholeSpace() const;
    // last - first, as (high, low) halves of the 128-bit difference: orders ranges by
    // size whatever the family.
    std::pair<uint64_t, uint64_t> Span() const;

    // "a/n" for a CIDR block, else "first - last".
    std::string ToString() const;

    bool operator==(const CIPRange&) const = default;

private:
    CIPRange(const CIPAddress& first, const CIPAddress& last)
        : m_first(first)
        , m_last(last)
    { }
    CIPAddress m_first;
    CIPAddress m_last;
};

// "2001:db8::/32", "192.0.2.0/24", "first - last" or "first-last" of one family.
CParseResult<CIPRange> ParseIPRange(std::string_view strText);
