#pragma once

#include <cstdint>
#include <string>

// The IP status codes of the ICMP service: the vocabulary every ICMP service speaks,
// whatever the platform underneath.
enum : uint32_t
{
    kIpSuccess = 0,
    kIpBufTooSmall = 11001,
    kIpDestNetUnreachable = 11002,
    kIpDestHostUnreachable = 11003,
    kIpDestProtUnreachable = 11004,
    kIpDestPortUnreachable = 11005,
    kIpNoResources = 11006,
    kIpBadOption = 11007,
    kIpHwError = 11008,
    kIpPacketTooBig = 11009,
    kIpRequestTimedOut = 11010,
    kIpBadRequest = 11011,
    kIpBadRoute = 11012,
    kIpTtlExpiredTransit = 11013,
    kIpTtlExpiredReassem = 11014,
    kIpParamProblem = 11015,
    kIpSourceQuench = 11016,
    kIpOptionTooBig = 11017,
    kIpBadDestination = 11018,
    kIpAddrDeleted = 11019,
    kIpSpecMtuChange = 11020,
    kIpMtuChange = 11021,
    kIpUnload = 11022,
    kIpGeneralFailure = 11050,
};

// The status text followed by a line feed for 11001..11022, "(code) " for any other code.
std::string FormatIcmpStatus(uint32_t dwStatus);

// The status an ICMP message of this type and code stands for (0 for an echo reply).
uint32_t IcmpMessageStatus(int nType, int nCode);

// The same for an ICMPv6 message (0 for an echo reply, type 129).
uint32_t Icmp6MessageStatus(int nType, int nCode);
