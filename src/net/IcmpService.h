#pragma once

#include "net/IcmpSession.h"

#include <memory>
#include <string>

// The platform's ICMP facility. Open may be called from several threads at once;
// each caller gets its own session.
class CIcmpService
{
public:
    virtual ~CIcmpService() = default;

    // A new IPv4 session, or null with the reason in strError (a text for the user).
    virtual std::unique_ptr<CIcmpSession> Open(std::string& strError) = 0;
    // The same for ICMPv6 echo. A service without it refuses every IPv6 target.
    virtual std::unique_ptr<CIcmpSession> OpenIPv6(std::string& strError)
    {
        strError = "This ICMP service cannot send ICMPv6 echo requests.";
        return nullptr;
    }
};
