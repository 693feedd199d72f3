#pragma once

#include "core/record/ParseResult.h"

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// One address of either family, 16 bytes, cheap to copy. An IPv4 address is kept as
// its IPv4-mapped IPv6 form (::ffff:a.b.c.d), so an IPv4-mapped IPv6 text and the
// dotted text are the same address and an IPv6 address is never a mapped one.
// Ordered IPv4 before IPv6, each numerically.
class CIPAddress
{
public:
    // 0.0.0.0
    CIPAddress() = default;
    static CIPAddress FromIPv4(uint32_t dwAddress) { return CIPAddress(0, kMappedTag | dwAddress); }
    // The 128 bits as two halves, most significant first. An IPv4-mapped value gives
    // the IPv4 address.
    static CIPAddress FromIPv6(uint64_t qwHigh, uint64_t qwLow) { return CIPAddress(qwHigh, qwLow); }
    // Sixteen bytes in network order.
    static CIPAddress FromBytes(const std::array<uint8_t, 16>& bytes);

    bool IsIPv4() const { return m_qwHigh == 0 && (m_qwLow >> 32) == 0xffffu; }
    bool IsIPv6() const { return !IsIPv4(); }
    // 32 for IPv4, 128 for IPv6.
    unsigned Bits() const { return IsIPv4() ? 32u : 128u; }
    // The IPv4 address, host order with the first octet in the top byte; only for IPv4.
    uint32_t IPv4() const { return uint32_t(m_qwLow); }
    // The IPv6 (for IPv4: the IPv4-mapped) value.
    uint64_t High() const { return m_qwHigh; }
    uint64_t Low() const { return m_qwLow; }
    std::array<uint8_t, 16> Bytes() const;

    // IPv4 as "%d.%d.%d.%d"; IPv6 in RFC 5952 canonical text.
    std::string ToString() const;
    // The same text into buf (at least kMaxTextSize bytes, not terminated); its length.
    static constexpr size_t kMaxTextSize = 40;
    size_t Format(char* buf) const;

    bool operator==(const CIPAddress&) const = default;
    std::strong_ordering operator<=>(const CIPAddress& o) const
    {
        if (const bool b4 = IsIPv4(); b4 != o.IsIPv4())
            return b4 ? std::strong_ordering::less : std::strong_ordering::greater;
        if (m_qwHigh != o.m_qwHigh)
            return m_qwHigh <=> o.m_qwHigh;
        return m_qwLow <=> o.m_qwLow;
    }

private:
    static constexpr uint64_t kMappedTag = uint64_t(0xffffu) << 32;
    CIPAddress(uint64_t qwHigh, uint64_t qwLow)
        : m_qwHigh(qwHigh)
        , m_qwLow(qwLow)
    { }
    uint64_t m_qwHigh = 0;
    uint64_t m_qwLow = kMappedTag;
};

// An address written on its own: a dotted IPv4 address by the IPv4 text conventions
// (IsValidDottedQuad), or any RFC 4291 IPv6 text. Zone ids are refused: an address
// with one is only meaningful on the machine that wrote it.
CParseResult<CIPAddress> ParseIPAddress(std::string_view strText);

// An address as logs and people write it: also "[2001:db8::1]" and
// "[2001:db8::1]:443" (the port is checked and dropped). Surrounding blanks are ignored.
CParseResult<CIPAddress> ParseIPAddressInInput(std::string_view strText);

template <> struct std::hash<CIPAddress> {
    size_t operator()(const CIPAddress& a) const noexcept
    {
        const uint64_t x = a.High() * 0x9e3779b97f4a7c15ull ^ a.Low();
        return size_t(x ^ (x >> 29));
    }
};
