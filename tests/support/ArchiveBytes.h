#pragma once

// Builders for expected byte images of the document file.

#include <cstdint>
#include <cstring>
#include <string>

namespace bytes {

inline std::string U16(uint16_t n)
{
    return std::string {char(n & 0xFF), char(n >> 8)};
}

inline std::string U32(uint32_t n)
{
    return U16(uint16_t(n)) + U16(uint16_t(n >> 16));
}

inline std::string U64(uint64_t n)
{
    return U32(uint32_t(n)) + U32(uint32_t(n >> 32));
}

inline std::string Dbl(double d)
{
    uint64_t n;
    std::memcpy(&n, &d, sizeof n);
    return U64(n);
}

// A string with its one-byte prefix (texts under 255 bytes).
inline std::string Str(const std::string& s)
{
    return std::string(1, char(s.size())) + s;
}

inline std::string Date(int32_t nStatus, double d)
{
    return U32(uint32_t(nStatus)) + Dbl(d);
}

inline std::string NullDate()
{
    return Date(2, 0.0);
}

// The fields of a record that holds only its address.
inline std::string FreshRecord(const std::string& address)
{
    std::string r = Str(address) + NullDate() + NullDate();
    r += Str("") + Str("") + Str("") + Str(""); // whois, host, spare 1, trace
    r += NullDate() + Dbl(0.0) + U32(0) + U32(0) + NullDate();
    r += Str("") + Str("") + Str("") + Str(""); // owner, country, spare 2, spare 3
    r += U32(0) + U32(0) + Str("") + NullDate() + NullDate();
    r += Str("") + Str("") + Str("") + Str(""); // notes
    return r;
}

inline std::string NewClassTag()
{
    return std::string("\xFF\xFF\x01\x00\x0E\x00", 6) + "CIPAddressData";
}

inline std::string ClassRefTag()
{
    return std::string("\x01\x80", 2);
}

} // namespace bytes
