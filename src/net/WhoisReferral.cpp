#include "net/WhoisReferral.h"

#include "core/record/HostLookup.h"
#include "core/record/NameResolver.h"
#include "core/text/TextCase.h"
#include "net/WhoisTexts.h"

#include <cstring>

namespace {

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// value is the text after "ReferralServer:" and its blanks, without the line end.
bool ParseReferralValue(const std::string& value, CReferralServer& referral)
{
    size_t pos = 0;
    bool scheme = false;
    bool rwhois = false;
    if (StartsWithNoCase(value, WhoisTexts::kRWhoisScheme)) {
        pos = std::strlen(WhoisTexts::kRWhoisScheme);
        scheme = rwhois = true;
    } else if (StartsWithNoCase(value, WhoisTexts::kWhoisScheme)) {
        pos = std::strlen(WhoisTexts::kWhoisScheme);
        scheme = true;
    }
    const size_t hostStart = pos;
    while (pos < value.size() && IsHostChar(value[pos]))
        ++pos;
    const size_t hostLength = pos - hostStart;
    if (hostLength == 0 || hostLength > 253)
        return false;
    int port = 0;
    if (scheme) {
        if (pos < value.size() && value[pos] == ':') {
            ++pos;
            size_t digits = 0;
            while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9' && digits < 6) {
                port = port * 10 + (value[pos] - '0');
                ++pos;
                ++digits;
            }
            if (digits == 0 || port < 1 || port > 65535)
                return false;
        }
        if (pos < value.size() && value[pos] == '/')
            ++pos;
    }
    if (pos != value.size())
        return false;
    referral.m_strHost = value.substr(hostStart, hostLength);
    referral.m_nPort = port;
    referral.m_bRWhois = rwhois;
    return true;
}

} // namespace

bool FindReferralServer(const std::string& answer, CReferralServer& referral)
{
    const char* key = WhoisTexts::kReferralServer;
    const size_t keyLength = std::strlen(key);
    size_t pos = 0;
    while ((pos = answer.find(key, pos)) != std::string::npos) {
        const bool lineStart = pos == 0 || answer[pos - 1] == '\n' || answer[pos - 1] == '\r';
        size_t p = pos + keyLength;
        pos = p;
        if (!lineStart)
            continue;
        while (p < answer.size() && (answer[p] == ' ' || answer[p] == '\t'))
            ++p;
        size_t end = answer.find_first_of("\r\n", p);
        if (end == std::string::npos)
            end = answer.size();
        size_t last = end;
        while (last > p && (answer[last - 1] == ' ' || answer[last - 1] == '\t'))
            --last;
        if (ParseReferralValue(answer.substr(p, last - p), referral))
            return true;
    }
    return false;
}

bool IsPublicUnicastAddress(uint32_t a)
{
    struct Block {
        uint32_t base;
        int bits;
    };
    static constexpr Block kNotPublic[] = {
        {0x00000000u, 8}, // this network
        {0x0A000000u, 8}, // private
        {0x64400000u, 10}, // shared address space
        {0x7F000000u, 8}, // loopback
        {0xA9FE0000u, 16}, // link-local
        {0xAC100000u, 12}, // private
        {0xC0000000u, 24}, // protocol assignments
        {0xC0000200u, 24}, // documentation
        {0xC0586300u, 24}, // 6to4 relay anycast
        {0xC0A80000u, 16}, // private
        {0xC6120000u, 15}, // benchmarking
        {0xC6336400u, 24}, // documentation
        {0xCB007100u, 24}, // documentation
        {0xE0000000u, 4}, // multicast
        {0xF0000000u, 4}, // reserved and broadcast
    };
    for (const Block& b : kNotPublic) {
        const uint32_t mask = 0xFFFFFFFFu << (32 - b.bits);
        if ((a & mask) == b.base)
            return false;
    }
    return true;
}

bool LooksLikeDottedQuad(const std::string& text)
{
    if (text.size() < 5 || text.size() > 15)
        return false;
    int dots = 0;
    for (char c : text) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3;
}

bool ResolveToDottedQuad(CNameResolver& resolver, const std::string& name, std::string& out)
{
    uint32_t address = 0;
    if (!resolver.ResolveName(name, address) && !ParseInetAddress(name, address))
        return false;
    out = FormatInetAddress(address);
    return true;
}
