#pragma once

#include "core/record/IPAddress.h"
#include "net/IcmpSession.h"

#include <cstddef>
#include <cstdint>

// What an ICMPv6 echo request went out as, for matching what comes back.
struct CIcmp6Probe {
    CIPAddress m_target;
    uint16_t m_wId = 0;
    uint16_t m_wSeq = 0;
    // A raw socket sees every ICMPv6 message of the host: the echo id tells ours
    // apart, and errors arrive as messages quoting the request. A ping socket gets
    // only echo replies to its own id (the kernel picks it); errors come through
    // its error queue.
    bool m_bRaw = false;
};

// Reads one ICMPv6 message as an ICMPv6 socket delivers it (no IPv6 header), sent
// by `from`. True, with the reply filled in, when it answers the probe: the
// target's echo reply with the probe's sequence (and id, on a raw socket), or on a
// raw socket an error message quoting the probe's request. Anything else, short or
// malformed messages included, is not ours.
bool MatchIcmp6Message(const uint8_t* p, size_t n, const CIPAddress& from, const CIcmp6Probe& probe,
                       CIcmpEchoReply& reply);
