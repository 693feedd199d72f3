#pragma once

#include <cstdint>
#include <string>

// Forward and reverse IPv4 name resolution. Implementations must be callable from
// several threads at once. Addresses are numbers with the first octet in the top byte.
class CNameResolver
{
public:
    virtual ~CNameResolver() = default;

    // The first IPv4 address of a host name; false when the name does not resolve.
    virtual bool ResolveName(const std::string& strName, uint32_t& dwAddress) = 0;
    // The official name of an address; false when there is none.
    virtual bool ResolveAddress(uint32_t dwAddress, std::string& strName) = 0;
};
