#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An IPv4 or IPv6 address as the cache stores it: the family and the address's
// bytes in network order (4 for IPv4, 16 for IPv6), so that byte-wise comparison
// of two addresses of one family is numeric comparison.
struct CCacheAddress {
    int m_nFamily = 4; // 4 or 6
    std::array<uint8_t, 16> m_bytes {};

    size_t Size() const { return m_nFamily == 4 ? 4 : 16; }
    std::string_view Bytes() const { return {reinterpret_cast<const char*>(m_bytes.data()), Size()}; }
    // The address as a number (IPv4 in the low 32 bits).
    unsigned __int128 Value() const;
    std::string Text() const;

    static CCacheAddress FromIPv4(uint32_t dwAddress);
    static CCacheAddress FromValue(int nFamily, unsigned __int128 value);
    // Dotted quad or IPv6 text; nothing for anything else.
    static std::optional<CCacheAddress> Parse(std::string_view text);
    // Back from the stored bytes; nothing when their length fits no family.
    static std::optional<CCacheAddress> FromBytes(int nFamily, std::string_view bytes);

    friend bool operator==(const CCacheAddress&, const CCacheAddress&) = default;
};

// The widest range an entry may name: an IPv4 /8, an IPv6 /19; beyond that an
// answer is about the registry's pool, not a network.
inline constexpr int kCacheWidestPrefix4 = 8;
inline constexpr int kCacheWidestPrefix6 = 19;

// The number of addresses in first..last minus one; first and last of one family, first <= last.
unsigned __int128 CacheRangeSpan(const CCacheAddress& first, const CCacheAddress& last);
// "192.0.2.0 - 192.0.2.255".
std::string CacheRangeText(const CCacheAddress& first, const CCacheAddress& last);
