#pragma once

#include <cstdint>
#include <string>

// A delegation file in the published shape (version line, summary lines in RIPE's
// order, records), for tests and benchmarks: nV4 IPv4 blocks of 256 to 4096
// addresses (some not a power of two) from nFirstOctet.0.0.0 on, nV6 /32s from
// 2a0N::/16 (N from nFirstOctet), nAsn AS numbers. nClaimed replaces the version
// line's record count when not negative.
inline std::string GeneratedDelegationFile(const std::string& registry, int nV4, int nV6, int nAsn,
                                           unsigned nFirstOctet, int nClaimed = -1)
{
    static const char* const kCountries[] = {"FR", "DE", "GB", "NL", "IT", "ES", "SE", "PL", "RU", "UA"};
    const int nTotal = nV4 + nV6 + nAsn;
    std::string s = "2|" + registry + "|20260101|" + std::to_string(nClaimed >= 0 ? nClaimed : nTotal) +
                    "|19830705|20251231|+0100\n";
    s += registry + "|*|ipv4|*|" + std::to_string(nV4) + "|summary\n";
    s += registry + "|*|asn|*|" + std::to_string(nAsn) + "|summary\n";
    s += registry + "|*|ipv6|*|" + std::to_string(nV6) + "|summary\n";
    uint32_t next = nFirstOctet << 24;
    for (int i = 0; i < nV4; ++i) {
        const uint32_t count = (i % 7 == 3) ? 768 : (256u << (i % 5));
        s += registry + "|" + kCountries[i % 10] + "|ipv4|" + std::to_string(next >> 24) + "." +
             std::to_string((next >> 16) & 255) + "." + std::to_string((next >> 8) & 255) + "." +
             std::to_string(next & 255) + "|" + std::to_string(count) + "|2010" +
             std::to_string(1001 + i % 12 * 100 + i % 28).substr(0, 4) + "|allocated\n";
        next += count + (i % 3 == 0 ? 256 : 0);
    }
    char prefix[16];
    for (int i = 0; i < nV6; ++i) {
        std::snprintf(prefix, sizeof prefix, "%x", (i & 0xffff));
        s += registry + "|" + kCountries[i % 10] + "|ipv6|2a0" + std::to_string(nFirstOctet % 10) + ":" + prefix +
             "::|32|20120315|allocated\n";
    }
    for (int i = 0; i < nAsn; ++i)
        s += registry + "|" + kCountries[i % 10] + "|asn|" + std::to_string(64512 + i) + "|1|20100101|assigned\n";
    return s;
}
