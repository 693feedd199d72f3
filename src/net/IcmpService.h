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

    // A new session, or null with the reason in strError (a text for the user).
    virtual std::unique_ptr<CIcmpSession> Open(std::string& strError) = 0;
};
