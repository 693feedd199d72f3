#include "net/IcmpStatus.h"

#include "net/PingTexts.h"

#include <cstdio>

namespace {

const char* const kStatusTexts[] = {
    "Buffer too small",
    "Destination net unreachable.",
    "Destination host unreachable.",
    "IP_DEST_PROT_UNREACHABLE (11004)",
    "Destination port unreachable.",
    "No resources.",
    "Bad option.",
    "Hardware error.",
    "Packet too big.",
    "Timeout",
    "Bad request.",
    "Bad route.",
    "TTL expired in transit",
    "IP_TTL_EXPIRED_REASSEM (11014)",
    "Parameter problem.",
    "IP_SOURCE_QUENCH (11016)",
    "Option too big.",
    "Bad destination.",
    "Address deleted.",
    "IP_SPEC_MTU_CHANGE (11020)",
    "MTU change.",
    "IP_UNLOAD (11022)",
};

} // namespace

std::string FormatIcmpStatus(uint32_t dwStatus)
{
    char buf[64];
    if (dwStatus >= kIpBufTooSmall && dwStatus <= kIpUnload)
        std::snprintf(buf, sizeof buf, PingTexts::kStatusText, kStatusTexts[dwStatus - kIpBufTooSmall]);
    else
        std::snprintf(buf, sizeof buf, PingTexts::kStatusCode, int(dwStatus));
    return buf;
}

uint32_t IcmpMessageStatus(int nType, int nCode)
{
    switch (nType) {
    case 0: // echo reply
        return kIpSuccess;
    case 3: // destination unreachable
        switch (nCode) {
        case 0:
        case 6:
        case 9:
        case 11:
            return kIpDestNetUnreachable;
        case 2:
            return kIpDestProtUnreachable;
        case 3:
            return kIpDestPortUnreachable;
        case 4:
            return kIpPacketTooBig;
        case 5:
            return kIpBadRoute;
        default:
            return kIpDestHostUnreachable;
        }
    case 4:
        return kIpSourceQuench;
    case 11:
        return nCode == 1 ? kIpTtlExpiredReassem : kIpTtlExpiredTransit;
    case 12:
        return kIpParamProblem;
    default:
        return kIpGeneralFailure;
    }
}

uint32_t Icmp6MessageStatus(int nType, int nCode)
{
    switch (nType) {
    case 129: // echo reply
        return kIpSuccess;
    case 1: // destination unreachable
        switch (nCode) {
        case 0: // no route
            return kIpDestNetUnreachable;
        case 1: // administratively prohibited
        case 5: // source address failed policy
        case 6: // reject route
            return kIpDestProtUnreachable;
        case 4:
            return kIpDestPortUnreachable;
        default: // address unreachable, beyond the scope of the source
            return kIpDestHostUnreachable;
        }
    case 2:
        return kIpPacketTooBig;
    case 3: // time exceeded
        return nCode == 1 ? kIpTtlExpiredReassem : kIpTtlExpiredTransit;
    case 4:
        return kIpParamProblem;
    default:
        return kIpGeneralFailure;
    }
}
