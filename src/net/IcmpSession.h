#pragma once

#include "core/record/IPAddress.h"

#include <cstddef>
#include <cstdint>

// One echo request as the ICMP service sends it. IPv4 addresses are numbers with
// the first octet in the top byte.
struct CIcmpEchoRequest {
    uint32_t m_dwAddress = 0;
    uint8_t m_nTtl = 64; // the hop limit of an IPv6 request
    const uint8_t* m_pData = nullptr;
    size_t m_nDataSize = 0;
    uint32_t m_dwTimeout = 3000; // milliseconds
    // An IPv6 target makes this an ICMPv6 request and m_dwAddress unused; the
    // default (an IPv4 value) leaves m_dwAddress the target.
    CIPAddress m_address6;

    bool IsIPv6() const { return m_address6.IsIPv6(); }
    CIPAddress Target() const { return IsIPv6() ? m_address6 : CIPAddress::FromIPv4(m_dwAddress); }
};

// The first reply to a request: who answered, its IP status code (0 for the
// target's echo reply) and the round-trip time in whole milliseconds.
struct CIcmpEchoReply {
    uint32_t m_dwAddress = 0;
    uint32_t m_dwStatus = 0;
    uint32_t m_dwRoundTripTime = 0;
    CIPAddress m_address6 {}; // who answered an IPv6 request
};

// An open ICMP endpoint (the platform's "ICMP handle") for one address family.
// One thread uses it at a time; it receives the replies to its own requests only.
// Closed when destroyed.
class CIcmpSession
{
public:
    virtual ~CIcmpSession() = default;

    // Sends one echo request and waits for its reply. Returns the number of
    // replies; with none, dwStatus holds the IP status code of the failure
    // (11010 when nothing came back within the time-out).
    virtual int SendEcho(const CIcmpEchoRequest& request, CIcmpEchoReply& reply, uint32_t& dwStatus) = 0;
};
