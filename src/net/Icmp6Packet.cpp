#include "net/Icmp6Packet.h"

#include "net/IcmpStatus.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kEchoRequest6 = 128;
constexpr uint8_t kEchoReply6 = 129;
constexpr uint8_t kNextHeaderIcmp6 = 58;
constexpr size_t kIcmpHeaderSize = 8;
constexpr size_t kIp6HeaderSize = 40;

uint16_t Read16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

CIPAddress Read128(const uint8_t* p)
{
    std::array<uint8_t, 16> bytes;
    std::memcpy(bytes.data(), p, bytes.size());
    return CIPAddress::FromBytes(bytes);
}

bool IsMulticast(const CIPAddress& a)
{
    return a.IsIPv6() && (a.High() >> 56) == 0xFF;
}

} // namespace

bool MatchIcmp6Message(const uint8_t* p, size_t n, const CIPAddress& from, const CIcmp6Probe& probe,
                       CIcmpEchoReply& reply)
{
    if (n < kIcmpHeaderSize)
        return false;
    const uint8_t type = p[0];
    if (type == kEchoReply6) {
        if (Read16(p + 6) != probe.m_wSeq || (probe.m_bRaw && Read16(p + 4) != probe.m_wId))
            return false;
        // Members of a multicast group answer from their own addresses.
        if (from != probe.m_target && !IsMulticast(probe.m_target))
            return false;
        reply.m_address6 = from;
        reply.m_dwStatus = kIpSuccess;
        return true;
    }
    // Destination unreachable, packet too big, time exceeded, parameter problem.
    if (!probe.m_bRaw || type < 1 || type > 4)
        return false;
    // The error quotes as much of the request as fits: its IPv6 header, then the echo header.
    const uint8_t* inner = p + kIcmpHeaderSize;
    const size_t innerAvail = n - kIcmpHeaderSize;
    if (innerAvail < kIp6HeaderSize + kIcmpHeaderSize || (inner[0] >> 4) != 6 || inner[6] != kNextHeaderIcmp6)
        return false;
    if (Read128(inner + 24) != probe.m_target)
        return false;
    const uint8_t* quoted = inner + kIp6HeaderSize;
    if (quoted[0] != kEchoRequest6 || Read16(quoted + 4) != probe.m_wId || Read16(quoted + 6) != probe.m_wSeq)
        return false;
    reply.m_address6 = from;
    reply.m_dwStatus = Icmp6MessageStatus(type, p[1]);
    return true;
}
