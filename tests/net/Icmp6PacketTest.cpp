#include "net/Icmp6Packet.h"

#include <gtest/gtest.h>

#include <vector>

// What ICMPv6 sockets hand over, byte by byte: only the answer to our own request
// counts; anything short, foreign or malformed is passed over.

namespace {

CIPAddress A(const char* text)
{
    return *ParseIPAddress(text);
}

const CIPAddress kTarget = A("2001:db8:4::2");
const CIPAddress kRouter = A("2001:db8:1::1");
constexpr uint16_t kId = 0x1234;
constexpr uint16_t kSeq = 7;

std::vector<uint8_t> Echo(uint8_t type, uint16_t id, uint16_t seq)
{
    return {type, 0, 0, 0, uint8_t(id >> 8), uint8_t(id), uint8_t(seq >> 8), uint8_t(seq), 'a', 'b'};
}

// An error message quoting an IPv6 header (to `to`, next header `next`) and the echo header.
std::vector<uint8_t> Error(uint8_t type, uint8_t code, const CIPAddress& to, uint16_t id = kId, uint16_t seq = kSeq,
                           uint8_t next = 58, uint8_t version = 6)
{
    std::vector<uint8_t> m = {type, code, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> ip6(40, 0);
    ip6[0] = uint8_t(version << 4);
    ip6[6] = next;
    ip6[7] = 1;
    const auto src = A("2001:db8:1::2").Bytes();
    const auto dst = to.Bytes();
    std::copy(src.begin(), src.end(), ip6.begin() + 8);
    std::copy(dst.begin(), dst.end(), ip6.begin() + 24);
    m.insert(m.end(), ip6.begin(), ip6.end());
    const std::vector<uint8_t> echo = Echo(128, id, seq);
    m.insert(m.end(), echo.begin(), echo.end());
    return m;
}

TEST(Icmp6Packet, OnlyTheAnswerToOurRequestMatches)
{
    std::vector<uint8_t> cutQuote = Error(3, 0, kTarget);
    cutQuote.resize(8 + 40 + 7);
    const std::vector<uint8_t> shortReply = {129, 0, 0, 0, 0x12, 0x34, 0};

    struct {
        const char* what;
        std::vector<uint8_t> message;
        CIPAddress from;
        bool raw;
        bool matches;
        uint32_t status;
    } const cases[] = {
        {"echo reply", Echo(129, kId, kSeq), kTarget, true, true, 0},
        {"echo reply, ping socket (the kernel chose the id)", Echo(129, 0x9999, kSeq), kTarget, false, true, 0},
        {"hop limit exceeded", Error(3, 0, kTarget), kRouter, true, true, 11013},
        {"no route", Error(1, 0, kTarget), kRouter, true, true, 11002},
        {"address unreachable", Error(1, 3, kTarget), kRouter, true, true, 11003},
        {"packet too big", Error(2, 0, kTarget), kRouter, true, true, 11009},

        {"empty", {}, kTarget, true, false, 0},
        {"short echo reply", shortReply, kTarget, true, false, 0},
        {"our own request looped back", Echo(128, kId, kSeq), kTarget, true, false, 0},
        {"another socket's id", Echo(129, kId + 1, kSeq), kTarget, true, false, 0},
        {"an earlier request", Echo(129, kId, kSeq - 1), kTarget, true, false, 0},
        {"a reply from someone else", Echo(129, kId, kSeq), kRouter, true, false, 0},
        {"an error on a ping socket (its errors come queued)", Error(3, 0, kTarget), kRouter, false, false, 0},
        {"an error about another destination", Error(3, 0, A("2001:db8:9::9")), kRouter, true, false, 0},
        {"an error about an earlier request", Error(3, 0, kTarget, kId, kSeq - 1), kRouter, true, false, 0},
        {"an error quoting UDP", Error(1, 4, kTarget, kId, kSeq, 17), kRouter, true, false, 0},
        {"an error quoting an IPv4 header", Error(3, 0, kTarget, kId, kSeq, 58, 4), kRouter, true, false, 0},
        {"an error with the quote cut short", cutQuote, kRouter, true, false, 0},
        {"an unknown error type", Error(5, 0, kTarget), kRouter, true, false, 0},
    };
    for (const auto& c : cases) {
        CIcmp6Probe probe;
        probe.m_target = kTarget;
        probe.m_wId = kId;
        probe.m_wSeq = kSeq;
        probe.m_bRaw = c.raw;
        CIcmpEchoReply reply;
        reply.m_dwStatus = 99;
        const bool matched = MatchIcmp6Message(c.message.data(), c.message.size(), c.from, probe, reply);
        EXPECT_EQ(matched, c.matches) << c.what;
        if (matched && c.matches) {
            EXPECT_EQ(reply.m_dwStatus, c.status) << c.what;
            EXPECT_EQ(reply.m_address6, c.from) << c.what;
        } else {
            EXPECT_EQ(reply.m_dwStatus, 99u) << c.what << ": the reply is left alone";
        }
    }
}

TEST(Icmp6Packet, MulticastTargetsAreAnsweredByTheirMembers)
{
    CIcmp6Probe probe;
    probe.m_target = A("ff02::1");
    probe.m_wId = kId;
    probe.m_wSeq = kSeq;
    probe.m_bRaw = true;
    CIcmpEchoReply reply;
    const std::vector<uint8_t> m = Echo(129, kId, kSeq);
    ASSERT_TRUE(MatchIcmp6Message(m.data(), m.size(), A("fe80::1"), probe, reply));
    EXPECT_EQ(reply.m_address6, A("fe80::1"));
}

} // namespace
