#pragma once

#include <cstddef>
#include <cstdint>

// One echo request as the ICMP service sends it. Addresses are numbers with the
// first octet in the top byte.
struct CIcmpEchoRequest {
    uint32_t m_dwAddress = 0;
    uint8_t m_nTtl = 64;
    const uint8_t* m_pData = nullptr;
    size_t m_nDataSize = 0;
    uint32_t m_dwTimeout = 3000; // milliseconds
};

// The first reply to a request: who answered, its IP status code (0 for the
// target's echo reply) and the round-trip time in whole milliseconds.
struct CIcmpEchoReply {
    uint32_t m_dwAddress = 0;
    uint32_t m_dwStatus = 0;
    uint32_t m_dwRoundTripTime = 0;
};

// An open ICMP endpoint (the platform's "ICMP handle"). One thread uses it at a
// time; it receives the replies to its own requests only. Closed when destroyed.
class CIcmpSession
{
public:
    virtual ~CIcmpSession() = default;

    // Sends one echo request and waits for its reply. Returns the number of
    // replies; with none, dwStatus holds the IP status code of the failure
    // (11010 when nothing came back within the time-out).
    virtual int SendEcho(const CIcmpEchoRequest& request, CIcmpEchoReply& reply, uint32_t& dwStatus) = 0;
};
