#pragma once

#include "core/record/NameResolver.h"

// The platform's name service through getaddrinfo/getnameinfo, IPv4 only.
// Both calls are re-entrant, so one object may serve every thread at once.
class CSystemNameResolver : public CNameResolver
{
public:
    bool ResolveName(const std::string& strName, uint32_t& dwAddress) override;
    bool ResolveAddress(uint32_t dwAddress, std::string& strName) override;
};
