#pragma once

#include "core/record/NameResolver.h"
#include "net/IcmpService.h"

#include <cstdint>
#include <string>

struct CTracerouteResult {
    std::string m_strTrace; // one line per probe, each ending in "\r\n"; empty when the engine could not open
    bool m_bSuccess = false; // at least one probe was answered
    std::string m_strOpenMessage; // the "Pinging" line, or why the engine could not open
};

inline constexpr int kTracerouteMaxProbes = 24;

// The traceroute worker's procedure: echo requests with TTL 1, 2, ... up to 24,
// stopping when the target itself answers. Blocking; callable from any thread.
CTracerouteResult Traceroute(CIcmpService* pService, CNameResolver& resolver, const std::string& strAddress,
                             bool bResolveHops, uint32_t dwTimeout = 3000);
