#include "net/WhoisQuery.h"
#include "WhoisLoopbackFixture.h"
#include "net/SystemNameResolver.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace WhoisLoopback;

namespace {

class WhoisQueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StartAll(m_server);
        m_table = TableFor(m_server);
    }
    bool Ask(const std::string& query, std::string& result, const std::string& host = kArin)
    {
        return WhoisQuery(query, host, result, m_server.Port(), m_table, m_resolver);
    }
    CLoopbackWhoisServer m_server;
    CWhoisServerTable m_table;
    CSystemNameResolver m_resolver;
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A port on ::1 that nothing listens on (bound, then closed); 0 when this machine
// has no IPv6 loopback.
int ClosedIPv6LoopbackPort()
{
    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in6 sin6 {};
    sin6.sin6_family = AF_INET6;
    sin6.sin6_addr = in6addr_loopback;
    socklen_t len = sizeof sin6;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&sin6), sizeof sin6) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&sin6), &len) == 0;
    close(fd);
    return bound ? ntohs(sin6.sin6_port) : 0;
}

} // namespace

TEST_F(WhoisQueryTest, SendsOneLineAndReturnsTheWholeAnswer)
{
    std::string big;
    for (int i = 0; big.size() < 10000; ++i)
        big += "line " + std::to_string(i) + "\n";
    big.resize(10000);
    m_server.SetAnswer(kArin, "192.0.2.1", big);
    std::string result;
    ASSERT_TRUE(Ask("192.0.2.1", result));
    EXPECT_EQ(result, big);
    ASSERT_EQ(m_server.Queries(kArin).size(), 1u);
    EXPECT_EQ(m_server.Queries(kArin)[0], "192.0.2.1\r\n");
}

TEST_F(WhoisQueryTest, QueryLengthLimitAndLineBreaks)
{
    m_server.SetDefaultAnswer(kArin, "ok\n");
    std::string result;
    const std::string q125(125, 'q');
    ASSERT_TRUE(Ask(q125, result));
    ASSERT_EQ(m_server.Queries(kArin).size(), 1u);
    EXPECT_EQ(m_server.Queries(kArin)[0], q125 + "\r\n");
    EXPECT_EQ(m_server.Queries(kArin)[0].size(), 127u);

    result = "old";
    EXPECT_FALSE(Ask(std::string(126, 'q'), result));
    EXPECT_EQ(result, "");
    EXPECT_FALSE(Ask("NET-1\r\nsecond command", result));
    EXPECT_EQ(m_server.Connections(kArin), 1);
}

TEST_F(WhoisQueryTest, EmptyServerLeavesResultUntouched)
{
    std::string result = "kept";
    EXPECT_FALSE(WhoisQuery("192.0.2.1", "", result, m_server.Port(), m_table, m_resolver));
    EXPECT_EQ(result, "kept");
}

TEST_F(WhoisQueryTest, UnresolvableServerFailsWithEmptyResult)
{
    CFakeNameResolver resolver;
    std::string result = "old";
    EXPECT_FALSE(WhoisQuery("192.0.2.1", "whois.example.invalid", result, m_server.Port(), m_table, resolver));
    EXPECT_EQ(result, "");
    // A dotted quad the name service does not know is still connected to.
    m_server.SetDefaultAnswer(kRipe, "x\n");
    EXPECT_TRUE(WhoisQuery("192.0.2.1", kRipe, result, m_server.Port(), m_table, resolver));
    EXPECT_EQ(result, "x\n");
}

TEST_F(WhoisQueryTest, ClosedWithoutDataIsTrueAndEmpty)
{
    std::string result = "old";
    EXPECT_TRUE(Ask("192.0.2.1", result)); // no answer known: the server just closes
    EXPECT_EQ(result, "");
}

TEST_F(WhoisQueryTest, RefusedConnectionFails)
{
    // Bind a port, then close it, so nothing listens there.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(0x7F000001);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin), 0);
    socklen_t len = sizeof sin;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len);
    close(fd);
    std::string result = "old";
    EXPECT_FALSE(WhoisQuery("192.0.2.1", "127.0.0.1", result, ntohs(sin.sin_port), m_table, m_resolver));
    EXPECT_EQ(result, "");
}

TEST_F(WhoisQueryTest, ZeroByteDropsTheRestOfItsChunk)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "abcdef");
    m_server.SetMode(kArin, EWhoisServerMode::zeroByte);
    std::string result;
    EXPECT_TRUE(Ask("192.0.2.1", result));
    EXPECT_EQ(result, "abc");
}

TEST_F(WhoisQueryTest, LineEndsArePassedOnUnchanged)
{
    m_server.SetAnswer(kArin, "a", "one\r\ntwo\nthree\n");
    m_server.SetMode(kArin, EWhoisServerMode::crOnly);
    std::string result;
    EXPECT_TRUE(Ask("a", result));
    EXPECT_EQ(result, "one\rtwo\rthree\r");
    m_server.SetMode(kArin, EWhoisServerMode::noLineEnds);
    EXPECT_TRUE(Ask("a", result));
    EXPECT_EQ(result, "onetwothree");
}

TEST_F(WhoisQueryTest, ResetMidAnswerKeepsThePartialText)
{
    m_server.SetAnswer(kArin, "a", std::string(4000, 'r'));
    m_server.SetMode(kArin, EWhoisServerMode::closeMidAnswer);
    std::string result;
    EXPECT_FALSE(Ask("a", result));
    EXPECT_EQ(result, std::string(2000, 'r'));
}

TEST_F(WhoisQueryTest, SilentServerTimesOutWithinTheIdleBound)
{
    m_server.SetMode(kArin, EWhoisServerMode::neverAnswer);
    std::string result = "old";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Ask("192.0.2.1", result));
    const double took = SecondsSince(start);
    EXPECT_EQ(result, "");
    EXPECT_GE(took, 0.25);
    EXPECT_LT(took, 3.0); // generous: the machine may be busy
}

TEST_F(WhoisQueryTest, TricklingServerStopsAtTheAnswerTimeOut)
{
    m_server.SetMode(kArin, EWhoisServerMode::trickle);
    m_table.m_nAnswerTimeoutMs = 400;
    std::string result;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Ask("192.0.2.1", result));
    const double took = SecondsSince(start);
    EXPECT_GE(took, 0.35);
    EXPECT_LT(took, 3.0);
    EXPECT_FALSE(result.empty());
    EXPECT_EQ(result.find_first_not_of('x'), std::string::npos);
}

TEST_F(WhoisQueryTest, EndlessAndHugeAnswersStopAtTheBound)
{
    for (EWhoisServerMode mode : {EWhoisServerMode::sendForever, EWhoisServerMode::tenMegabytes}) {
        m_server.SetMode(kArin, mode);
        std::string result;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Ask("192.0.2.1", result));
        EXPECT_EQ(result.size(), m_table.m_nMaxAnswerBytes);
        EXPECT_LT(SecondsSince(start), 5.0);
    }
    // Under the bound the 10 MiB answer arrives whole.
    m_table.m_nMaxAnswerBytes = 16 * 1024 * 1024;
    std::string result;
    EXPECT_TRUE(Ask("192.0.2.1", result));
    EXPECT_EQ(result.size(), 10u * 1024 * 1024);
}

TEST_F(WhoisQueryTest, ServerClosingAtOnceGivesNoText)
{
    m_server.SetMode(kArin, EWhoisServerMode::closeAtOnce);
    std::string result = "old";
    Ask("192.0.2.1", result); // refused or orderly, depending on timing; never text
    EXPECT_EQ(result, "");
}

TEST(WhoisQueryIPv6Test, ServerOnTheIPv6LoopbackAnswersAndFailsAsOverIPv4)
{
    const int nClosedPort = ClosedIPv6LoopbackPort();
    if (nClosedPort == 0)
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
    CLoopbackWhoisServer server;
    server.AddAddress("::1");
    server.AddAddress(kArin);
    ASSERT_TRUE(server.Start());
    server.SetDefaultAnswer("::1", "inet6num: 2001:db8::/32\n");
    server.SetDefaultAnswer(kArin, "over IPv4\n");
    const CWhoisServerTable table = TableFor(server);
    CFakeNameResolver resolver;
    resolver.AddHost6("six.example", CIPAddress::FromIPv6(0, 1));
    resolver.AddHost6("dual.example", CIPAddress::FromIPv6(0, 1));
    resolver.AddHost("dual.example", 0x7F000002);

    const std::string v6 = "inet6num: 2001:db8::/32\n";
    struct Case {
        const char* server;
        int port; // 0: the server's
        EWhoisServerMode mode;
        EWhoisQueryEnd end;
        std::string result;
    };
    const Case cases[] = {
        {"::1", 0, EWhoisServerMode::normal, EWhoisQueryEnd::complete, v6},
        {"[::1]", 0, EWhoisServerMode::normal, EWhoisQueryEnd::complete, v6},
        {"0:0:0:0:0:0:0:1", 0, EWhoisServerMode::normal, EWhoisQueryEnd::complete, v6},
        // A name with only an IPv6 address; one with both is asked over IPv4.
        {"six.example", 0, EWhoisServerMode::normal, EWhoisQueryEnd::complete, v6},
        {"dual.example", 0, EWhoisServerMode::normal, EWhoisQueryEnd::complete, "over IPv4\n"},
        {"::1", nClosedPort, EWhoisServerMode::normal, EWhoisQueryEnd::connectFailed, ""},
        {"::1", 0, EWhoisServerMode::neverAnswer, EWhoisQueryEnd::timedOut, ""},
        {"::1", 0, EWhoisServerMode::closeMidAnswer, EWhoisQueryEnd::receiveFailed, v6.substr(0, v6.size() / 2)},
        {"::1%lo", 0, EWhoisServerMode::normal, EWhoisQueryEnd::unresolved, ""},
        {"[::1", 0, EWhoisServerMode::normal, EWhoisQueryEnd::unresolved, ""},
        {"1::2::3", 0, EWhoisServerMode::normal, EWhoisQueryEnd::unresolved, ""},
    };
    for (const Case& c : cases) {
        server.SetMode("::1", c.mode, 1);
        std::string result = "old";
        EWhoisQueryEnd end = EWhoisQueryEnd::complete;
        errno = 0;
        const auto start = std::chrono::steady_clock::now();
        const bool ok =
            WhoisQuery("2001:db8::1", c.server, result, c.port ? c.port : server.Port(), table, resolver, &end);
        EXPECT_EQ(ok, c.end == EWhoisQueryEnd::complete) << c.server;
        EXPECT_EQ(end, c.end) << c.server << " " << DescribeWhoisQueryEnd(end);
        EXPECT_EQ(result, c.result) << c.server;
        EXPECT_LT(SecondsSince(start), 3.0) << c.server;
        if (c.end == EWhoisQueryEnd::connectFailed) {
            EXPECT_EQ(errno, ECONNREFUSED) << c.server;
        }
    }
    EXPECT_EQ(server.Queries("::1").back(), "2001:db8::1\r\n");
}
