#pragma once

#include "core/record/NameResolver.h"
#include "net/IcmpService.h"

#include <cstdint>
#include <string>

struct CPingCheckResult {
    int m_nFailures = 0;
    double m_dAverage = 0.0; // milliseconds, over the requests that were answered
    bool m_bSuccess = false; // at least one request was answered
    bool m_bOpened = false;
    std::string m_strOpenMessage; // the "Pinging" line, or why the engine could not open
};

inline constexpr int kPingCheckRequests = 3;

// The ping worker's procedure: three echo requests to one address. Blocking;
// callable from any thread (each call has its own engine).
CPingCheckResult PingCheck(CIcmpService* pService, CNameResolver& resolver, const std::string& strAddress,
                           uint32_t dwTimeout = 3000);
