#include "net/WhoisQuery.h"
#include "WhoisLoopbackFixture.h"
#include "net/SystemNameResolver.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

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
