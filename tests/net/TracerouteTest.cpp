#include "net/Traceroute.h"
#include "net/IcmpStatus.h"

#include "support/FakeIcmpService.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRouter1 = 0x0A010101; // 10.1.1.1
constexpr uint32_t kRouter2 = 0x0A020201; // 10.2.2.1
constexpr uint32_t kTarget = 0xC0000205; // 192.0.2.5

// A path of routers to the target: hop n answers the probe with TTL n. A hop of 0
// stays silent; past the last hop the target itself answers with its echo reply.
CFakeIcmpService::Responder Path(std::vector<uint32_t> hops, bool bTargetAnswers = true)
{
    return [hops, bTargetAnswers](const CFakeEchoRequest& q) {
        const size_t hop = size_t(q.m_nTtl);
        if (hop >= 1 && hop <= hops.size()) {
            const uint32_t router = hops[hop - 1];
            if (router == 0)
                return CFakeEchoOutcome::NoReply();
            return CFakeEchoOutcome::Reply(router, kIpTtlExpiredTransit, uint32_t(hop * 10));
        }
        if (!bTargetAnswers)
            return CFakeEchoOutcome::NoReply();
        return CFakeEchoOutcome::Reply(q.m_dwAddress, kIpSuccess, uint32_t(hop * 10 + 1));
    };
}

int CountLines(const std::string& text)
{
    int n = 0;
    for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2)
        ++n;
    return n;
}

class Traceroute : public ::testing::Test
{
protected:
    CFakeIcmpService m_service;
    CFakeNameResolver m_resolver;
};

TEST_F(Traceroute, StopsWhenTheTargetAnswers)
{
    m_service.SetResponder(Path({kRouter1, kRouter2}));
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    EXPECT_EQ(r.m_strTrace, "1  10.1.1.1  -  10ms\r\n"
                            "2  10.2.2.1  -  20ms\r\n"
                            "3  192.0.2.5  -  31ms\r\n");
    EXPECT_TRUE(r.m_bSuccess);
    EXPECT_EQ(m_service.Requests().size(), 3u);
    EXPECT_EQ(m_resolver.ReverseCalls(), 0);
}

TEST_F(Traceroute, ResolvedHopsShowNamesOrUnavailable)
{
    m_resolver.AddHost("edge.example.test", kRouter1);
    m_resolver.AddHost("target.example.test", kTarget);
    m_service.SetResponder(Path({kRouter1, kRouter2}));
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "target.example.test", true);
    EXPECT_EQ(r.m_strTrace, "1  10.1.1.1  edge.example.test  10ms\r\n"
                            "2  10.2.2.1  unavailable  20ms\r\n"
                            "3  192.0.2.5  target.example.test  31ms\r\n");
    EXPECT_EQ(r.m_strOpenMessage, "Pinging target.example.test [192.0.2.5] with 32 bytes of data.");
}

TEST_F(Traceroute, SilentRouterGivesATimeoutLineAndTheTraceGoesOn)
{
    m_service.SetResponder(Path({kRouter1, 0, kRouter2}));
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    EXPECT_EQ(r.m_strTrace, "1  10.1.1.1  -  10ms\r\n"
                            "Timeout\n\r\n"
                            "3  10.2.2.1  -  30ms\r\n"
                            "4  192.0.2.5  -  41ms\r\n");
    EXPECT_EQ(m_resolver.ReverseCalls(), 0);
}

TEST_F(Traceroute, UnreachableTargetGivesExactly24Lines)
{
    m_service.SetResponder(Path({kRouter1, kRouter2}, false));
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    EXPECT_EQ(CountLines(r.m_strTrace), 24);
    EXPECT_TRUE(r.m_bSuccess);
    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 24u);
    EXPECT_EQ(requests.back().m_nTtl, 24);
    EXPECT_EQ(r.m_strTrace.substr(r.m_strTrace.size() - 12), "\r\nTimeout\n\r\n");
}

TEST_F(Traceroute, EveryProbeTimingOutIsNoSuccess)
{
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    std::string expected;
    for (int i = 0; i < 24; ++i)
        expected += "Timeout\n\r\n";
    EXPECT_EQ(r.m_strTrace, expected);
    EXPECT_FALSE(r.m_bSuccess);
}

TEST_F(Traceroute, ErrorRepliesAreHopLinesAndOtherCodesTheirNumber)
{
    m_service.Queue(CFakeEchoOutcome::Reply(kRouter1, kIpDestHostUnreachable, 3));
    m_service.Queue(CFakeEchoOutcome::NoReply(kIpGeneralFailure));
    m_service.Queue(CFakeEchoOutcome::NoReply(kIpDestNetUnreachable));
    m_service.SetResponder(Path({}));
    const CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    EXPECT_EQ(r.m_strTrace, "1  10.1.1.1  -  3ms\r\n"
                            "(11050) \r\n"
                            "Destination net unreachable.\n\r\n"
                            "4  192.0.2.5  -  41ms\r\n");
    EXPECT_TRUE(r.m_bSuccess);
}

TEST_F(Traceroute, NoTextWhenTheEngineCannotOpen)
{
    CTracerouteResult r = ::Traceroute(&m_service, m_resolver, "nowhere.invalid", true);
    EXPECT_EQ(r.m_strTrace, "");
    EXPECT_FALSE(r.m_bSuccess);
    EXPECT_EQ(r.m_strOpenMessage, "Error (11001) resolving nowhere.invalid.");

    m_service.FailOpen("denied");
    r = ::Traceroute(&m_service, m_resolver, "192.0.2.5", false);
    EXPECT_EQ(r.m_strTrace, "");
    EXPECT_FALSE(r.m_bSuccess);
    EXPECT_TRUE(m_service.Requests().empty());
}

} // namespace
