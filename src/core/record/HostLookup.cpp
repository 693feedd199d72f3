#include "core/record/HostLookup.h"

#include <array>
#include <cstdio>

bool ParseInetAddress(const std::string& text, uint32_t& dwAddress)
{
    uint64_t parts[4] = {0, 0, 0, 0};
    int count = 0;
    size_t i = 0;
    const size_t n = text.size();
    if (n == 0)
        return false;
    while (true) {
        if (count == 4 || i >= n || !(text[i] >= '0' && text[i] <= '9'))
            return false;
        unsigned base = 10;
        if (text[i] == '0') {
            base = 8;
            if (i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
                base = 16;
                i += 2;
            }
        }
        uint64_t value = 0;
        size_t digits = 0;
        for (; i < n && text[i] != '.'; ++i, ++digits) {
            const char c = text[i];
            unsigned d;
            if (c >= '0' && c <= '9')
                d = unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = unsigned(c - 'A' + 10);
            else
                return false;
            if (d >= base)
                return false;
            value = value * base + d;
            if (value > 0xFFFFFFFFull)
                return false;
        }
        if (base == 16 && digits == 0)
            return false;
        parts[count++] = value;
        if (i >= n)
            break;
        ++i; // the dot
    }
    uint64_t result = 0;
    switch (count) {
    case 1:
        result = parts[0];
        break;
    case 2:
        if (parts[0] > 255 || parts[1] > 0xFFFFFF)
            return false;
        result = parts[0] << 24 | parts[1];
        break;
    case 3:
        if (parts[0] > 255 || parts[1] > 255 || parts[2] > 0xFFFF)
            return false;
        result = parts[0] << 24 | parts[1] << 16 | parts[2];
        break;
    default:
        for (int k = 0; k < 4; ++k)
            if (parts[k] > 255)
                return false;
        result = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        break;
    }
    dwAddress = uint32_t(result);
    return true;
}

std::string FormatInetAddress(uint32_t dwAddress)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", dwAddress >> 24, (dwAddress >> 16) & 255, (dwAddress >> 8) & 255,
                  dwAddress & 255);
    return buf;
}

bool ReverseLookup(CNameResolver& resolver, std::string strAddress, std::string& strName)
{
    std::string name;
    // An IPv6 text (or an IPv4-mapped one, which is that IPv4 address).
    if (strAddress.find(':') != std::string::npos) {
        const CParseResult<CIPAddress> parsed = ParseIPAddress(strAddress);
        if (parsed && resolver.ResolveIPAddress(*parsed, name) && !name.empty()) {
            strName = name;
            return true;
        }
        strName = "unavailable";
        return false;
    }
    uint32_t address;
    if (!ParseInetAddress(strAddress, address))
        address = 0xFFFFFFFFu;
    if (address != 0xFFFFFFFFu && resolver.ResolveAddress(address, name) && !name.empty()) {
        strName = name;
        return true;
    }
    strName = "unavailable";
    return false;
}

bool HostNameToAddress(CNameResolver& resolver, std::string strHostName, std::string& strAddress)
{
    if (strHostName.empty() || strHostName.find('.') == std::string::npos)
        return false;
    uint32_t address;
    if (!resolver.ResolveName(strHostName, address) && !ParseInetAddress(strHostName, address))
        return false;
    strAddress = FormatInetAddress(address);
    return true;
}

std::string ReverseDnsName(const CIPAddress& address)
{
    static const char kHex[] = "0123456789abcdef";
    std::string name;
    if (address.IsIPv4()) {
        const uint32_t a = address.IPv4();
        for (int shift = 0; shift < 32; shift += 8)
            name += std::to_string((a >> shift) & 255) + ".";
        return name + "in-addr.arpa";
    }
    const std::array<uint8_t, 16> bytes = address.Bytes();
    for (size_t i = bytes.size(); i-- > 0;) {
        name += kHex[bytes[i] & 15];
        name += '.';
        name += kHex[bytes[i] >> 4];
        name += '.';
    }
    return name + "ip6.arpa";
}
