#include "net/PingEngine.h"
#include "net/IcmpStatus.h"
#include "net/PingCheck.h"
#include "net/Traceroute.h"

#include "support/FakeIcmpService.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kHost = 0x0A000001; // 10.0.0.1

TEST(IcmpStatusText, EveryCodeOfTheTableEndsInALineFeed)
{
    const std::pair<uint32_t, const char*> table[] = {
        {11001, "Buffer too small"},
        {11002, "Destination net unreachable."},
        {11003, "Destination host unreachable."},
        {11004, "IP_DEST_PROT_UNREACHABLE (11004)"},
        {11005, "Destination port unreachable."},
        {11006, "No resources."},
        {11007, "Bad option."},
        {11008, "Hardware error."},
        {11009, "Packet too big."},
        {11010, "Timeout"},
        {11011, "Bad request."},
        {11012, "Bad route."},
        {11013, "TTL expired in transit"},
        {11014, "IP_TTL_EXPIRED_REASSEM (11014)"},
        {11015, "Parameter problem."},
        {11016, "IP_SOURCE_QUENCH (11016)"},
        {11017, "Option too big."},
        {11018, "Bad destination."},
        {11019, "Address deleted."},
        {11020, "IP_SPEC_MTU_CHANGE (11020)"},
        {11021, "MTU change."},
        {11022, "IP_UNLOAD (11022)"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(FormatIcmpStatus(code), std::string(text) + "\n") << code;
}

TEST(IcmpStatusText, OtherCodesAreTheNumberInParenthesesAndABlank)
{
    EXPECT_EQ(FormatIcmpStatus(11000), "(11000) ");
    EXPECT_EQ(FormatIcmpStatus(5), "(5) ");
    EXPECT_EQ(FormatIcmpStatus(0), "(0) ");
    EXPECT_EQ(FormatIcmpStatus(11023), "(11023) ");
    EXPECT_EQ(FormatIcmpStatus(11050), "(11050) ");
    EXPECT_EQ(FormatIcmpStatus(0xFFFFFFFFu), "(-1) ");
}

TEST(IcmpStatusText, IcmpMessagesMapToTheirStatusCodes)
{
    EXPECT_EQ(IcmpMessageStatus(0, 0), 0u);
    EXPECT_EQ(IcmpMessageStatus(11, 0), 11013u);
    EXPECT_EQ(IcmpMessageStatus(11, 1), 11014u);
    EXPECT_EQ(IcmpMessageStatus(12, 0), 11015u);
    EXPECT_EQ(IcmpMessageStatus(4, 0), 11016u);
    for (int code : {0, 6, 9, 11})
        EXPECT_EQ(IcmpMessageStatus(3, code), 11002u) << code;
    EXPECT_EQ(IcmpMessageStatus(3, 1), 11003u);
    EXPECT_EQ(IcmpMessageStatus(3, 2), 11004u);
    EXPECT_EQ(IcmpMessageStatus(3, 3), 11005u);
    EXPECT_EQ(IcmpMessageStatus(3, 4), 11009u);
    EXPECT_EQ(IcmpMessageStatus(3, 5), 11012u);
    for (int code : {7, 8, 10, 12, 13, 15, 255})
        EXPECT_EQ(IcmpMessageStatus(3, code), 11003u) << code;
}

class PingEngine : public ::testing::Test
{
protected:
    CFakeIcmpService m_service;
    CFakeNameResolver m_resolver;
};

TEST_F(PingEngine, EchoDataCyclesThroughThePrintableCharacters)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    engine.SetDataSize(100);
    ASSERT_TRUE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Pinging 10.0.0.1 with 100 bytes of data.");
    engine.SendEcho();

    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::vector<uint8_t>& data = requests[0].m_data;
    ASSERT_EQ(data.size(), 100u);
    for (size_t i = 0; i < 94; ++i)
        EXPECT_EQ(data[i], 32 + i) << i;
    const std::vector<uint8_t> tail(data.begin() + 94, data.end());
    EXPECT_EQ(tail, (std::vector<uint8_t> {32, 33, 34, 35, 36, 37}));
}

TEST_F(PingEngine, DefaultRequestCarries32BytesTtl64AndWaits3000ms)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    ASSERT_TRUE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Pinging 10.0.0.1 with 32 bytes of data.");
    engine.SendEcho();
    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].m_dwAddress, kHost);
    EXPECT_EQ(requests[0].m_nTtl, 64);
    EXPECT_EQ(requests[0].m_dwTimeout, 3000u);
    std::vector<uint8_t> expected;
    for (uint8_t b = 0x20; b <= 0x3F; ++b)
        expected.push_back(b);
    EXPECT_EQ(requests[0].m_data, expected);
}

TEST_F(PingEngine, DataSizeIsClampedToTheEchoBuffer)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    engine.SetDataSize(100000);
    ASSERT_TRUE(engine.Open(false));
    engine.SendEcho();
    ASSERT_EQ(m_service.Requests().at(0).m_data.size(), 8192u);
    engine.SetDataSize(-5);
    engine.SendEcho();
    EXPECT_TRUE(m_service.Requests().at(1).m_data.empty());
}

TEST_F(PingEngine, TargetByNameShowsTheAddressInBrackets)
{
    m_resolver.AddHost("gw.example.test", kHost);
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("gw.example.test");
    ASSERT_TRUE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Pinging gw.example.test [10.0.0.1] with 32 bytes of data.");
    EXPECT_EQ(engine.GetAddress(), kHost);
}

TEST_F(PingEngine, DottedTargetIsNotLookedUp)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("192.0.2.7");
    ASSERT_TRUE(engine.Open(false));
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);
    EXPECT_EQ(engine.GetAddress(), 0xC0000207u);
}

TEST_F(PingEngine, BroadcastIsPingedWithoutNameLookup)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("255.255.255.255");
    ASSERT_TRUE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Pinging 255.255.255.255 with 32 bytes of data.");
    engine.SendEcho();
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);
    EXPECT_EQ(m_service.Requests().at(0).m_dwAddress, 0xFFFFFFFFu);
}

TEST_F(PingEngine, ZeroAddressAndOtherAllOnesSpellingsAreResolvedAsNames)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("0.0.0.0");
    EXPECT_FALSE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Error (11001) resolving 0.0.0.0.");
    EXPECT_EQ(m_resolver.ForwardCalls(), 1);

    m_resolver.AddHost("0.0.0.0", 0);
    EXPECT_TRUE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Pinging 0.0.0.0 [0.0.0.0] with 32 bytes of data.");

    engine.SetTargetName("0xffffffff");
    EXPECT_FALSE(engine.Open(false));
    EXPECT_EQ(m_resolver.ForwardCalls(), 3);
}

TEST_F(PingEngine, UnresolvableTargetFailsOpenWithTheNameInTheMessage)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("nowhere.invalid");
    EXPECT_FALSE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Error (11001) resolving nowhere.invalid.");
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_TRUE(m_service.Requests().empty());

    // Far longer than any buffer a message might once have been formatted into.
    const std::string longName(5000, 'x');
    engine.SetTargetName(longName);
    EXPECT_FALSE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "Error (11001) resolving " + longName + ".");
}

TEST_F(PingEngine, ServiceThatCannotOpenLeavesItsReasonInTheMessage)
{
    m_service.FailOpen("no ICMP socket for you");
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    EXPECT_FALSE(engine.Open(false));
    EXPECT_EQ(engine.GetMessage(), "no ICMP socket for you");

    CPingEngine without(nullptr, m_resolver);
    without.SetTargetName("10.0.0.1");
    EXPECT_FALSE(without.Open(false));
    EXPECT_EQ(without.GetMessage(), "Unable to locate ICMP.DLL!");
}

TEST_F(PingEngine, ReplyGivesTheHopLineAndErrorsGiveTheStatusText)
{
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 12));
    m_service.Queue(CFakeEchoOutcome::Reply(0x0A000002, kIpDestHostUnreachable, 1));
    m_service.Queue(CFakeEchoOutcome::NoReply());
    m_service.Queue(CFakeEchoOutcome::NoReply(kIpGeneralFailure));
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    ASSERT_TRUE(engine.Open(false));

    EXPECT_TRUE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "64  10.0.0.1  -  12ms");
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "Destination host unreachable.\n");
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "Timeout\n");
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "(11050) ");
    EXPECT_EQ(m_resolver.ReverseCalls(), 0);
}

TEST_F(PingEngine, TraceModeRaisesTheTtlAndEndsOnTheEchoReply)
{
    m_service.Queue(CFakeEchoOutcome::Reply(0x0A000101, kIpTtlExpiredTransit, 1));
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 2));
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    engine.SetTraceMode(true);
    ASSERT_TRUE(engine.Open(true));
    EXPECT_EQ(engine.GetTtl(), 0);

    EXPECT_TRUE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "1  10.0.1.1  unavailable  1ms");
    EXPECT_TRUE(engine.GetTraceMode());
    EXPECT_TRUE(engine.SendEcho());
    EXPECT_FALSE(engine.GetTraceMode());

    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].m_nTtl, 1);
    EXPECT_EQ(requests[1].m_nTtl, 2);
}

TEST_F(PingEngine, CloseIsSafeToRepeatAndReopenStartsAfresh)
{
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName("10.0.0.1");
    engine.Close();
    ASSERT_TRUE(engine.Open(false));
    ASSERT_TRUE(engine.Open(false));
    engine.Close();
    engine.Close();
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_EQ(m_service.Opens(), 2);
    EXPECT_TRUE(m_service.Requests().empty());
}

TEST_F(PingEngine, PingCheckAveragesTheAnsweredRequests)
{
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 10));
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 20));
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 31));
    const CPingCheckResult r = PingCheck(&m_service, m_resolver, "10.0.0.1");
    EXPECT_EQ(r.m_nFailures, 0);
    EXPECT_DOUBLE_EQ(r.m_dAverage, 61.0 / 3.0);
    EXPECT_TRUE(r.m_bSuccess);
    EXPECT_EQ(m_service.Requests().size(), 3u);
}

TEST_F(PingEngine, PingCheckCountsMissingAndErrorRepliesAsFailures)
{
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 7));
    m_service.Queue(CFakeEchoOutcome::NoReply());
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 12));
    CPingCheckResult r = PingCheck(&m_service, m_resolver, "10.0.0.1");
    EXPECT_EQ(r.m_nFailures, 1);
    EXPECT_DOUBLE_EQ(r.m_dAverage, 9.5);
    EXPECT_TRUE(r.m_bSuccess);

    // A host-unreachable reply has a round-trip time of its own; it must not count.
    m_service.Queue(CFakeEchoOutcome::Reply(0x0A000002, kIpDestHostUnreachable, 500));
    m_service.Queue(CFakeEchoOutcome::Reply(kHost, 0, 4));
    m_service.Queue(CFakeEchoOutcome::NoReply());
    r = PingCheck(&m_service, m_resolver, "10.0.0.1");
    EXPECT_EQ(r.m_nFailures, 2);
    EXPECT_DOUBLE_EQ(r.m_dAverage, 4.0);
}

TEST_F(PingEngine, PingCheckOfASilentHostFailsThreeTimes)
{
    const CPingCheckResult r = PingCheck(&m_service, m_resolver, "10.0.0.1");
    EXPECT_EQ(r.m_nFailures, 3);
    EXPECT_EQ(r.m_dAverage, 0.0);
    EXPECT_FALSE(r.m_bSuccess);
    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& q : requests)
        EXPECT_EQ(q.m_dwTimeout, 3000u);
}

TEST_F(PingEngine, PingCheckThatCannotOpenCountsEveryRequestFailed)
{
    CPingCheckResult r = PingCheck(&m_service, m_resolver, "nowhere.invalid");
    EXPECT_FALSE(r.m_bOpened);
    EXPECT_EQ(r.m_nFailures, 3);
    EXPECT_EQ(r.m_dAverage, 0.0);
    EXPECT_FALSE(r.m_bSuccess);
    EXPECT_EQ(r.m_strOpenMessage, "Error (11001) resolving nowhere.invalid.");

    m_service.FailOpen("denied");
    r = PingCheck(&m_service, m_resolver, "10.0.0.1");
    EXPECT_FALSE(r.m_bOpened);
    EXPECT_EQ(r.m_nFailures, 3);
    EXPECT_EQ(r.m_strOpenMessage, "denied");
    EXPECT_TRUE(m_service.Requests().empty());
}

} // namespace

namespace {

CIPAddress V6(const char* text)
{
    return *ParseIPAddress(text);
}

// How each target text is opened: which session family, which address, which
// "Pinging" line, and whether the name service was asked.
TEST_F(PingEngine, IPv6TargetsAndTheirTexts)
{
    m_resolver.AddHost6("v6only.example.test", V6("2001:db8::5"));
    m_resolver.AddHost("dual.example.test", kHost);
    m_resolver.AddHost6("dual.example.test", V6("2001:db8::6"));
    struct {
        const char* target;
        bool opens;
        const char* message;
        bool ipv6;
        CIPAddress address;
    } const cases[] = {
        {"2001:DB8:0:0::1", true, "Pinging 2001:db8::1 with 32 bytes of data.", true, V6("2001:db8::1")},
        {"::1", true, "Pinging ::1 with 32 bytes of data.", true, V6("::1")},
        {"::ffff:10.0.0.1", true, "Pinging 10.0.0.1 with 32 bytes of data.", false, CIPAddress::FromIPv4(kHost)},
        {"v6only.example.test", true, "Pinging v6only.example.test [2001:db8::5] with 32 bytes of data.", true,
         V6("2001:db8::5")},
        // A name with both keeps to IPv4, as it always did.
        {"dual.example.test", true, "Pinging dual.example.test [10.0.0.1] with 32 bytes of data.", false,
         CIPAddress::FromIPv4(kHost)},
        // A zone id is no address here, and no name either.
        {"fe80::1%eth0", false, "Error (11001) resolving fe80::1%eth0.", false, CIPAddress()},
        {"1:2:3:4:5:6:7:8:9", false, "Error (11001) resolving 1:2:3:4:5:6:7:8:9.", false, CIPAddress()},
    };
    for (const auto& c : cases) {
        CFakeIcmpService service;
        CPingEngine engine(&service, m_resolver);
        engine.SetTargetName(c.target);
        EXPECT_EQ(engine.Open(false), c.opens) << c.target;
        EXPECT_EQ(engine.GetMessage(), c.message) << c.target;
        if (!c.opens) {
            EXPECT_FALSE(engine.SendEcho());
            EXPECT_TRUE(service.Requests().empty()) << c.target;
            continue;
        }
        EXPECT_EQ(engine.GetTarget(), c.address) << c.target;
        engine.SendEcho();
        const auto requests = service.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.target;
        EXPECT_EQ(requests[0].m_bIPv6Session, c.ipv6) << c.target;
        EXPECT_EQ(requests[0].m_address6.IsIPv6(), c.ipv6) << c.target;
        if (c.ipv6)
            EXPECT_EQ(requests[0].m_address6, c.address) << c.target;
        else
            EXPECT_EQ(requests[0].m_dwAddress, c.address.IPv4()) << c.target;
        EXPECT_EQ(requests[0].m_nTtl, 64);
        EXPECT_EQ(requests[0].m_data.size(), 32u);
    }
}

// Hop lines name IPv6 routers by their ip6.arpa entries, in RFC 5952 text; the
// status texts are those of IPv4.
TEST_F(PingEngine, IPv6TraceGivesTheSameLines)
{
    const CIPAddress router = V6("2001:db8:ff:0:0:0:0:1");
    const CIPAddress target = V6("2001:db8:4::2");
    m_resolver.AddHost6("r1.example.test", router);
    m_service.SetResponder([&](const CFakeEchoRequest& q) {
        if (q.m_nTtl == 1)
            return CFakeEchoOutcome::Reply6(router, kIpTtlExpiredTransit, 4);
        if (q.m_nTtl == 2)
            return CFakeEchoOutcome::NoReply();
        return CFakeEchoOutcome::Reply6(q.m_address6, kIpSuccess, 9);
    });
    CTracerouteResult r = Traceroute(&m_service, m_resolver, "2001:db8:4::2", true);
    EXPECT_TRUE(r.m_bSuccess);
    EXPECT_EQ(r.m_strTrace,
              "1  2001:db8:ff::1  r1.example.test  4ms\r\nTimeout\n\r\n3  2001:db8:4::2  unavailable  9ms\r\n");

    // A ping check counts an IPv6 router's error as a failure, with its status text.
    m_service.SetResponder(
        [&](const CFakeEchoRequest&) { return CFakeEchoOutcome::Reply6(router, kIpDestNetUnreachable, 1); });
    CPingEngine engine(&m_service, m_resolver);
    engine.SetTargetName(target.ToString());
    ASSERT_TRUE(engine.Open(false));
    EXPECT_FALSE(engine.SendEcho());
    EXPECT_EQ(engine.GetMessage(), "Destination net unreachable.\n");
    const CPingCheckResult ping = PingCheck(&m_service, m_resolver, "2001:db8:4::2");
    EXPECT_EQ(ping.m_nFailures, 3);
    EXPECT_FALSE(ping.m_bSuccess);
}

} // namespace
