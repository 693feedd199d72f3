#include "core/record/HostLookup.h"
#include "net/LinuxIcmpService.h"
#include "net/PingCheck.h"
#include "net/SystemNameResolver.h"
#include "net/Traceroute.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Ping check and traceroute across routers for real: icmp-netns.sh builds
// client -> r1 -> r2 (silent) -> r3 -> target in network namespaces of their own,
// and this test re-runs itself inside the client namespace (so the namespace's
// hosts file names the hops), where it also runs Debian's ping and traceroute.
// All addresses are in 10.99.0.0/16 and 2001:db8::/32 and exist only inside
// those namespaces.

namespace {

constexpr const char* kPrefixVariable = "ADDRSCOPE_ICMP_NETNS";
constexpr const char* kTarget = "10.99.4.2";
constexpr const char* kUnreachable = "10.99.5.5"; // r3 has an unreachable route for it
constexpr const char* kTarget6 = "2001:db8:4::2";
constexpr const char* kUnreachable6 = "2001:db8:5::5";
constexpr const char* kSilent6 = "2001:db8:6::6"; // r3 drops it without an answer

struct CCommandResult {
    int m_nExit = -1;
    std::string m_strOutput;
};

CCommandResult RunCommand(const std::string& command)
{
    CCommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;)
        result.m_strOutput.append(buf, n);
    const int status = pclose(pipe);
    result.m_nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<std::string> TraceLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The replying address of a hop line ("4  10.99.4.2  -  0ms"), empty for a status line.
std::string HopAddress(const std::string& line)
{
    std::istringstream in(line);
    int ttl = 0;
    std::string address;
    if (!(in >> ttl >> address))
        return std::string();
    return address;
}

// Hop addresses by TTL from `traceroute -n -q1` ("" for "*"); index 0 is TTL 1.
std::vector<std::string> DebianHops(const std::string& output)
{
    std::vector<std::string> hops;
    std::istringstream in(output);
    std::string line;
    std::getline(in, line); // "traceroute to ..."
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int ttl = 0;
        std::string address;
        if (!(fields >> ttl >> address))
            continue;
        hops.resize(size_t(ttl));
        hops[size_t(ttl) - 1] = address == "*" ? "" : address;
    }
    return hops;
}

// Matches "TTL  ADDRESS  NAME  <n>ms".
void ExpectHop(const std::string& line, int ttl, const std::string& address, const std::string& name)
{
    const std::string prefix = std::to_string(ttl) + "  " + address + "  " + name + "  ";
    EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << "line: " << line << "\nexpected: " << prefix << "<n>ms";
    ASSERT_GE(line.size(), prefix.size() + 3);
    EXPECT_EQ(line.substr(line.size() - 2), "ms") << line;
    const std::string digits = line.substr(prefix.size(), line.size() - 2 - prefix.size());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << line;
}

// Runs inside the client namespace only.
TEST(IcmpNamespaceInside, Probes)
{
    const char* prefix = std::getenv(kPrefixVariable);
    if (!prefix)
        GTEST_SKIP() << "runs only inside the namespaces IcmpNamespace.PingAndTraceAcrossRouters creates";

    CSystemNameResolver resolver;
    CLinuxIcmpService automatic;
    CLinuxIcmpService raw(CLinuxIcmpService::ESocketKind::Raw);
    std::string why;
    ASSERT_TRUE(CLinuxIcmpService(CLinuxIcmpService::ESocketKind::Datagram).Open(why))
        << "ping sockets should be allowed in the client namespace: " << why;

    const CCommandResult debianTrace = RunCommand(std::string("traceroute -I -n -q1 -w1 -m6 ") + kTarget);
    const std::vector<std::string> debianHops = DebianHops(debianTrace.m_strOutput);
    ASSERT_EQ(debianHops.size(), 4u) << debianTrace.m_strOutput;

    // The plain trace, at the full 3000 ms time-out, over a ping socket: four
    // probes, the silent router's "Timeout", the target ends it.
    {
        SCOPED_TRACE("ping socket, hops not resolved");
        const CTracerouteResult r = Traceroute(&automatic, resolver, kTarget, false);
        EXPECT_TRUE(r.m_bSuccess);
        EXPECT_EQ(r.m_strOpenMessage, "Pinging 10.99.4.2 with 32 bytes of data.");
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 4u) << r.m_strTrace;
        ExpectHop(lines[0], 1, "10.99.1.1", "-");
        EXPECT_EQ(lines[1], "Timeout\n");
        ExpectHop(lines[2], 3, "10.99.3.2", "-");
        ExpectHop(lines[3], 4, "10.99.4.2", "-");
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(HopAddress(lines[i]), debianHops[i]) << "TTL " << i + 1 << "\n" << debianTrace.m_strOutput;
    }

    // Names from the namespace's hosts file, the target given by name; r3 has none.
    {
        SCOPED_TRACE("raw socket, hops resolved");
        const CTracerouteResult r = Traceroute(&raw, resolver, "target.pt.test", true, 1000);
        EXPECT_EQ(r.m_strOpenMessage, "Pinging target.pt.test [10.99.4.2] with 32 bytes of data.");
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 4u) << r.m_strTrace;
        ExpectHop(lines[0], 1, "10.99.1.1", "r1-west.pt.test");
        EXPECT_EQ(lines[1], "Timeout\n");
        ExpectHop(lines[2], 3, "10.99.3.2", "unavailable");
        ExpectHop(lines[3], 4, "10.99.4.2", "target.pt.test");
    }

    {
        SCOPED_TRACE("ping check of the target");
        const CCommandResult debianPing = RunCommand(std::string("ping -n -c1 -W2 ") + kTarget);
        EXPECT_EQ(debianPing.m_nExit, 0) << debianPing.m_strOutput;
        const CPingCheckResult r = PingCheck(&automatic, resolver, kTarget);
        EXPECT_TRUE(r.m_bSuccess);
        EXPECT_EQ(r.m_nFailures, 0);
        EXPECT_LT(r.m_dAverage, 1000.0);
    }

    {
        SCOPED_TRACE("ping check of an unreachable address");
        const CCommandResult debianPing = RunCommand(std::string("ping -n -c1 -W1 ") + kUnreachable);
        EXPECT_NE(debianPing.m_nExit, 0) << debianPing.m_strOutput;
        const CPingCheckResult r = PingCheck(&automatic, resolver, kUnreachable, 500);
        EXPECT_FALSE(r.m_bSuccess);
        EXPECT_EQ(r.m_nFailures, 3);
        EXPECT_EQ(r.m_dAverage, 0.0);
    }

    // r3 answers "host unreachable", as often as its error rate limit lets it;
    // the probes it does not answer time out. The trace never ends early.
    for (CLinuxIcmpService* service : {&automatic, &raw}) {
        SCOPED_TRACE(service == &raw ? "unreachable, raw socket" : "unreachable, ping socket");
        const CTracerouteResult r = Traceroute(service, resolver, kUnreachable, false, 400);
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 24u) << r.m_strTrace;
        EXPECT_TRUE(r.m_bSuccess);
        ExpectHop(lines[0], 1, "10.99.1.1", "-");
        EXPECT_EQ(lines[1], "Timeout\n");
        int fromR3 = 0;
        for (size_t i = 2; i < lines.size(); ++i) {
            if (lines[i] == "Timeout\n")
                continue;
            ExpectHop(lines[i], int(i + 1), "10.99.3.2", "-");
            ++fromR3;
        }
        EXPECT_GT(fromR3, 0) << r.m_strTrace;
    }
}

// The same over IPv6: ICMPv6 echo with growing hop limits, time-exceeded and
// unreachable messages from the routers, names from the hosts file's IPv6 lines.
TEST(IcmpNamespaceInside, ProbesOverIPv6)
{
    if (!std::getenv(kPrefixVariable))
        GTEST_SKIP() << "runs only inside the namespaces IcmpNamespace.PingAndTraceAcrossRouters creates";

    CSystemNameResolver resolver;
    CLinuxIcmpService automatic;
    CLinuxIcmpService raw(CLinuxIcmpService::ESocketKind::Raw);
    std::string why;
    ASSERT_TRUE(CLinuxIcmpService(CLinuxIcmpService::ESocketKind::Datagram).OpenIPv6(why))
        << "ICMPv6 ping sockets should be allowed in the client namespace: " << why;

    // Debian's trace also gets neighbour discovery on every link out of the way.
    const CCommandResult debianTrace = RunCommand(std::string("traceroute -6 -I -n -q1 -w3 -m6 ") + kTarget6);
    const std::vector<std::string> debianHops = DebianHops(debianTrace.m_strOutput);
    ASSERT_EQ(debianHops.size(), 4u) << debianTrace.m_strOutput;

    {
        SCOPED_TRACE("ping socket, hops not resolved");
        const CTracerouteResult r = Traceroute(&automatic, resolver, kTarget6, false);
        EXPECT_TRUE(r.m_bSuccess);
        EXPECT_EQ(r.m_strOpenMessage, "Pinging 2001:db8:4::2 with 32 bytes of data.");
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 4u) << r.m_strTrace;
        ExpectHop(lines[0], 1, "2001:db8:1::1", "-");
        EXPECT_EQ(lines[1], "Timeout\n");
        ExpectHop(lines[2], 3, "2001:db8:3::2", "-");
        ExpectHop(lines[3], 4, "2001:db8:4::2", "-");
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(HopAddress(lines[i]), debianHops[i]) << "TTL " << i + 1 << "\n" << debianTrace.m_strOutput;
    }

    {
        SCOPED_TRACE("raw socket, hops resolved, a name with an IPv6 address only");
        const CTracerouteResult r = Traceroute(&raw, resolver, "target6.pt.test", true, 1000);
        EXPECT_EQ(r.m_strOpenMessage, "Pinging target6.pt.test [2001:db8:4::2] with 32 bytes of data.");
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 4u) << r.m_strTrace;
        ExpectHop(lines[0], 1, "2001:db8:1::1", "r1-west6.pt.test");
        EXPECT_EQ(lines[1], "Timeout\n");
        ExpectHop(lines[2], 3, "2001:db8:3::2", "unavailable");
        ExpectHop(lines[3], 4, "2001:db8:4::2", "target6.pt.test");
    }

    for (CLinuxIcmpService* service : {&automatic, &raw}) {
        SCOPED_TRACE(service == &raw ? "raw socket" : "ping socket");
        for (const char* live : {kTarget6, "::1"}) {
            const CPingCheckResult r = PingCheck(service, resolver, live);
            EXPECT_TRUE(r.m_bSuccess) << live;
            EXPECT_EQ(r.m_nFailures, 0) << live;
        }
        const CPingCheckResult silent = PingCheck(service, resolver, kSilent6, 500);
        EXPECT_FALSE(silent.m_bSuccess);
        EXPECT_EQ(silent.m_nFailures, 3);
        EXPECT_EQ(silent.m_dAverage, 0.0);

        const CTracerouteResult r = Traceroute(service, resolver, kUnreachable6, false, 400);
        const auto lines = TraceLines(r.m_strTrace);
        ASSERT_EQ(lines.size(), 24u) << r.m_strTrace;
        EXPECT_TRUE(r.m_bSuccess);
        ExpectHop(lines[0], 1, "2001:db8:1::1", "-");
        EXPECT_EQ(lines[1], "Timeout\n");
        int fromR3 = 0;
        for (size_t i = 2; i < lines.size(); ++i) {
            if (lines[i] == "Timeout\n")
                continue;
            ExpectHop(lines[i], int(i + 1), "2001:db8:3::2", "-");
            ++fromR3;
        }
        EXPECT_GT(fromR3, 0) << r.m_strTrace;
    }

    {
        // (Not pinged by that name: glibc answers 127.0.0.1 for a hosts line of ::1.)
        SCOPED_TRACE("loopback's name by its ip6.arpa entry");
        std::string name;
        EXPECT_TRUE(ReverseLookup(resolver, "::1", name));
        EXPECT_EQ(name, "ip6-localhost");
        EXPECT_FALSE(ReverseLookup(resolver, kSilent6, name));
        EXPECT_EQ(name, "unavailable");
    }
}

std::string SelfPath()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

const std::string& Script()
{
    static const std::string path = std::string(ADDRSCOPE_SOURCE_DIR) + "/tests/net/icmp-netns.sh";
    return path;
}

// Namespaces left by a run that was killed before it could clean up.
void RemoveStaleTopologies()
{
    std::istringstream list(RunCommand("ip netns list").m_strOutput);
    std::string line;
    while (std::getline(list, line)) {
        if (line.compare(0, 3, "asc") != 0)
            continue;
        const size_t dash = line.find('-');
        const std::string digits = line.substr(3, dash == std::string::npos ? 0 : dash - 3);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (kill(pid_t(std::stol(digits)), 0) != 0 && errno == ESRCH)
            RunCommand("sh '" + Script() + "' down asc" + digits);
    }
}

class CTopology
{
public:
    explicit CTopology(std::string strPrefix)
        : m_strPrefix(std::move(strPrefix))
    { }
    ~CTopology() { RunCommand("sh '" + Script() + "' down " + m_strPrefix); }
    CCommandResult Up() { return RunCommand("sh '" + Script() + "' up " + m_strPrefix); }

private:
    std::string m_strPrefix;
};

TEST(IcmpNamespace, PingAndTraceAcrossRouters)
{
    if (std::getenv(kPrefixVariable))
        GTEST_SKIP() << "already inside the namespaces";
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to create network namespaces";
    for (const char* tool : {"ip", "ping", "traceroute"})
        if (RunCommand(std::string("command -v ") + tool).m_nExit != 0)
            GTEST_SKIP() << "needs " << tool << " (iproute2, iputils-ping, traceroute)";

    RemoveStaleTopologies();
    const std::string prefix = "asc" + std::to_string(getpid());
    CTopology topology(prefix);
    const CCommandResult up = topology.Up();
    if (up.m_nExit != 0)
        GTEST_SKIP() << "cannot create the network namespaces here:\n" << up.m_strOutput;

    const CCommandResult inside = RunCommand(std::string(kPrefixVariable) + "=" + prefix + " ip netns exec " + prefix +
                                             "-client '" + SelfPath() + "' --gtest_filter='IcmpNamespaceInside.*'");
    EXPECT_EQ(inside.m_nExit, 0) << inside.m_strOutput;
    EXPECT_NE(inside.m_strOutput.find("[  PASSED  ] 2 tests."), std::string::npos) << inside.m_strOutput;
    EXPECT_EQ(inside.m_strOutput.find("SKIPPED"), std::string::npos) << inside.m_strOutput;
}

} // namespace
