#pragma once

#include "core/record/NameResolver.h"

// The platform's name service through getaddrinfo/getnameinfo, for both families
// (getnameinfo asks for the ip6.arpa entry of an IPv6 address). Both calls are
// re-entrant, so one object may serve every thread at once.
class CSystemNameResolver : public CNameResolver
{
public:
    bool ResolveName(const std::string& strName, uint32_t& dwAddress) override;
    bool ResolveAddress(uint32_t dwAddress, std::string& strName) override;
    bool ResolveNameIPv6(const std::string& strName, CIPAddress& address) override;
    bool ResolveIPAddress(const CIPAddress& address, std::string& strName) override;
};
