#include "net/LinuxIcmpService.h"
#include "net/IcmpStatus.h"
#include "net/PingCheck.h"
#include "net/PingEngine.h"
#include "net/Traceroute.h"

#include "PrivateLoopback.h"
#include "support/FakeNameResolver.h"

#include "support/RegexMatch.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Traffic in these tests goes to loopback addresses only.

namespace {

using Kind = CLinuxIcmpService::ESocketKind;

const char* KindName(Kind kind)
{
    return kind == Kind::Raw ? "raw" : kind == Kind::Datagram ? "ping" : "automatic";
}

// Skips the calling test when this socket kind is not allowed here.
#define REQUIRE_SOCKET_KIND(kind)                                                                                      \
    do {                                                                                                               \
        std::string why_;                                                                                              \
        if (!CLinuxIcmpService(kind).Open(why_))                                                                       \
            GTEST_SKIP() << KindName(kind) << " ICMP sockets are not permitted here: " << why_;                        \
    } while (0)

uint16_t Sum16(const uint8_t* p, size_t n)
{
    uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2)
        sum += uint32_t(p[0] << 8 | p[1]);
    if (n)
        sum += uint32_t(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(sum);
}

// Each case runs in a private namespace where ping sockets are allowed, so both
// socket kinds are exercised whatever the host permits; where no namespace can be
// made, on the host's loopback.
class IcmpLoopbackThreaded : public ::testing::TestWithParam<Kind>
{
protected:
    void RunBody(const std::function<void()>& body)
    {
        std::string why;
        if (!RunInPrivateLoopback(body, why))
            body();
    }
    CFakeNameResolver m_resolver;
};

TEST_P(IcmpLoopbackThreaded, PingCheckAndTraceOfLoopback)
{
    RunBody([this] {
        REQUIRE_SOCKET_KIND(GetParam());
        CLinuxIcmpService service(GetParam());
        const CPingCheckResult ping = PingCheck(&service, m_resolver, "127.0.0.1");
        EXPECT_TRUE(ping.m_bOpened) << ping.m_strOpenMessage;
        EXPECT_EQ(ping.m_nFailures, 0);
        EXPECT_TRUE(ping.m_bSuccess);

        const CTracerouteResult trace = Traceroute(&service, m_resolver, "127.0.0.2", false);
        EXPECT_TRUE(RegexMatch(trace.m_strTrace, "1  127\\.0\\.0\\.2  -  [0-9]+ms\r\n")) << trace.m_strTrace;
        EXPECT_TRUE(trace.m_bSuccess);

        // The same over ICMPv6.
        const CPingCheckResult ping6 = PingCheck(&service, m_resolver, "::1");
        EXPECT_TRUE(ping6.m_bOpened) << ping6.m_strOpenMessage;
        EXPECT_EQ(ping6.m_strOpenMessage, "Pinging ::1 with 32 bytes of data.");
        EXPECT_EQ(ping6.m_nFailures, 0);
        const CTracerouteResult trace6 = Traceroute(&service, m_resolver, "0:0::1", false);
        EXPECT_TRUE(RegexMatch(trace6.m_strTrace, "1  ::1  -  [0-9]+ms\r\n")) << trace6.m_strTrace;
    });
}

TEST_P(IcmpLoopbackThreaded, UnusableRequestsFailWithoutTraffic)
{
    RunBody([this] {
        REQUIRE_SOCKET_KIND(GetParam());
        CLinuxIcmpService service(GetParam());
        std::string error;
        auto session = service.Open(error);
        ASSERT_TRUE(session);
        CIcmpEchoReply reply;
        uint32_t status = 0;

        // Linux would answer 0.0.0.0 from the local host.
        CIcmpEchoRequest request;
        request.m_dwAddress = 0;
        EXPECT_EQ(session->SendEcho(request, reply, status), 0);
        EXPECT_EQ(status, kIpBadDestination);

        request.m_dwAddress = 0x7F000001;
        request.m_nTtl = 0;
        EXPECT_EQ(session->SendEcho(request, reply, status), 0);
        EXPECT_EQ(status, kIpBadRequest);

        // An IPv6 request needs an IPv6 session, and :: is no address either.
        request.m_nTtl = 64;
        request.m_address6 = CIPAddress::FromIPv6(0, 1);
        EXPECT_EQ(session->SendEcho(request, reply, status), 0);
        EXPECT_EQ(status, kIpBadRequest);
        auto session6 = service.OpenIPv6(error);
        ASSERT_TRUE(session6) << error;
        request.m_address6 = CIPAddress::FromIPv6(0, 0);
        EXPECT_EQ(session6->SendEcho(request, reply, status), 0);
        EXPECT_EQ(status, kIpBadDestination);
        request.m_address6 = CIPAddress();

        request.m_nDataSize = 70000;
        static const uint8_t big[70000] = {};
        request.m_pData = big;
        EXPECT_EQ(session->SendEcho(request, reply, status), 0);
        EXPECT_EQ(status, kIpBadRequest);
    });
}

INSTANTIATE_TEST_SUITE_P(SocketKinds, IcmpLoopbackThreaded, ::testing::Values(Kind::Raw, Kind::Datagram),
                         [](const auto& info) { return std::string(KindName(info.param)); });

// Reads the echo request off the loopback wire with a second raw socket and checks
// its bytes: IP header TTL and protocol, ICMP type, code, checksum and the data.
TEST(IcmpWire, EchoRequestBytesOnTheWire)
{
    const int sniffer = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (sniffer < 0)
        GTEST_SKIP() << "needs a raw ICMP socket (root or cap_net_raw) to watch the wire";
    REQUIRE_SOCKET_KIND(Kind::Raw);

    CFakeNameResolver resolver;
    CLinuxIcmpService service(Kind::Raw);
    CPingEngine engine(&service, resolver);
    engine.SetTargetName("127.0.0.3");
    engine.SetDataSize(100);
    ASSERT_TRUE(engine.Open(false));
    ASSERT_TRUE(engine.SendEcho()) << engine.GetMessage();

    std::vector<uint8_t> expectedData;
    for (int i = 0; i < 100; ++i)
        expectedData.push_back(uint8_t(32 + i % 94));

    bool found = false;
    uint8_t buf[2048];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!found && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd {sniffer, POLLIN, 0};
        if (poll(&pfd, 1, 200) <= 0)
            continue;
        const ssize_t n = recv(sniffer, buf, sizeof buf, 0);
        if (n < 20)
            continue;
        const size_t ihl = size_t(buf[0] & 15) * 4;
        const uint32_t dst = uint32_t(buf[16]) << 24 | uint32_t(buf[17]) << 16 | uint32_t(buf[18]) << 8 | buf[19];
        if (dst != 0x7F000003 || size_t(n) != ihl + 8 + 100 || buf[ihl] != 8)
            continue;
        found = true;
        EXPECT_EQ(buf[8], 64) << "TTL";
        EXPECT_EQ(buf[9], IPPROTO_ICMP);
        EXPECT_EQ(buf[ihl + 1], 0) << "code";
        EXPECT_EQ(Sum16(buf + ihl, 8 + 100), 0xFFFF) << "checksum";
        EXPECT_EQ(std::vector<uint8_t>(buf + ihl + 8, buf + n), expectedData);
    }
    close(sniffer);
    EXPECT_TRUE(found) << "no echo request to 127.0.0.3 seen";
}

// With neither socket kind allowed (an unprivileged user in a fresh network
// namespace, where ping_group_range is "1 0"), Open fails and says what to change.
TEST(IcmpPermission, NoSocketKindPermittedFailsOpenWithAClearMessage)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to an unprivileged user in a new network namespace";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        if (unshare(CLONE_NEWNET) != 0)
            _exit(77);
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(78);
        CFakeNameResolver resolver;
        CLinuxIcmpService service;
        const CPingCheckResult ping = PingCheck(&service, resolver, "127.0.0.1");
        const CTracerouteResult trace = Traceroute(&service, resolver, "127.0.0.1", false);
        const std::string report = ping.m_strOpenMessage + "|" + std::to_string(ping.m_bOpened) +
                                   std::to_string(ping.m_nFailures) + "|" + trace.m_strTrace + "|" +
                                   std::to_string(trace.m_bSuccess) + "#" +
                                   PingCheck(&service, resolver, "::1").m_strOpenMessage;
        if (write(fds[1], report.data(), report.size()) < 0)
            _exit(79);
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buf[1024];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        report.append(buf, size_t(n));
    close(fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    ASSERT_TRUE(WIFEXITED(wstatus));
    if (WEXITSTATUS(wstatus) == 77)
        GTEST_SKIP() << "cannot create a network namespace here";
    ASSERT_EQ(WEXITSTATUS(wstatus), 0);

    // ICMPv6 is refused in the same words.
    const size_t hash = report.find('#');
    ASSERT_NE(hash, std::string::npos) << report;
    const std::string message6 = report.substr(hash + 1);
    report.resize(hash);
    const std::string message = report.substr(0, report.find('|'));
    EXPECT_EQ(message6, message);
    EXPECT_NE(message.find("Unable to open an ICMP socket"), std::string::npos) << message;
    EXPECT_NE(message.find("net.ipv4.ping_group_range"), std::string::npos) << message;
    EXPECT_NE(message.find("setcap cap_net_raw+ep"), std::string::npos) << message;
    // Not opened, every request counted as failed, and an empty trace that is no success.
    EXPECT_EQ(report.substr(report.find('|')), "|03||0");
}

} // namespace
