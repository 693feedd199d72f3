#pragma once

#include "core/record/IPAddress.h"

#include <cstdint>
#include <string>

// Forward and reverse name resolution. Implementations must be callable from
// several threads at once. IPv4 addresses are numbers with the first octet in the
// top byte.
class CNameResolver
{
public:
    virtual ~CNameResolver() = default;

    // The first IPv4 address of a host name; false when the name does not resolve.
    virtual bool ResolveName(const std::string& strName, uint32_t& dwAddress) = 0;
    // The official name of an address; false when there is none.
    virtual bool ResolveAddress(uint32_t dwAddress, std::string& strName) = 0;

    // The first IPv6 address of a host name, only for a caller that asks for one.
    // A resolver without IPv6 has none.
    virtual bool ResolveNameIPv6(const std::string& strName, CIPAddress& address)
    {
        (void)strName;
        (void)address;
        return false;
    }
    // The name of an address of either family (an IPv6 address's ip6.arpa entry).
    // A resolver without IPv6 knows IPv4 names only.
    virtual bool ResolveIPAddress(const CIPAddress& address, std::string& strName)
    {
        return address.IsIPv4() && ResolveAddress(address.IPv4(), strName);
    }
};
