#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include "support/RegexMatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

// Echo requests in these tests go to loopback only, and names are resolved from
// the hosts file or as numbers, never through a name server.

namespace {

bool IcmpRefused(const CCliResult& r)
{
    return r.m_strErr.find("Unable to open an ICMP socket") != std::string::npos;
}

TEST(CliPing, LoopbackAnswersEveryRequest)
{
    CTempDir dir;
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "ping", "127.0.0.1"}, 30);
    if (IcmpRefused(r))
        GTEST_SKIP() << r.m_strErr;
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strErr, "Pinging 127.0.0.1 with 32 bytes of data.\n");
    EXPECT_TRUE(RegexMatch(r.m_strOut, "Failures: 0\nAverage: [0-9]+\\.[0-9]{3} ms\nPing: [0-9]+ ms\n")) << r.m_strOut;
}

TEST(CliPing, ZeroAddressIsNoHostToPing)
{
    CTempDir dir;
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "ping", "0.0.0.0"}, 30);
    if (IcmpRefused(r))
        GTEST_SKIP() << r.m_strErr;
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strErr, "Pinging 0.0.0.0 [0.0.0.0] with 32 bytes of data.\n");
    EXPECT_EQ(r.m_strOut, "Failures: 3\nAverage: 0.000 ms\nPing: Failed\n");
}

TEST(CliTraceroute, LoopbackIsOneHopWithOrWithoutItsName)
{
    CTempDir dir;
    CCliResult r = RunCli({"--settings", SettingsFile(dir), "traceroute", "127.0.0.1"}, 30);
    if (IcmpRefused(r))
        GTEST_SKIP() << r.m_strErr;
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_TRUE(RegexMatch(r.m_strOut, "1  127\\.0\\.0\\.1  -  [0-9]+ms\r\n")) << r.m_strOut;

    r = RunCli({"--settings", SettingsFile(dir), "traceroute", "--resolve-hops", "127.0.0.1"}, 30);
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_TRUE(RegexMatch(r.m_strOut, "1  127\\.0\\.0\\.1  localhost  [0-9]+ms\r\n")) << r.m_strOut;
}

// IPv6 loopback through the same commands and texts; malformed IPv6 texts are
// usage errors that say what is wrong, before anything is sent or asked.
TEST(CliPing, IPv6LoopbackAndMalformedIPv6Texts)
{
    CTempDir dir;
    CCliResult r = RunCli({"--settings", SettingsFile(dir), "ping", "::1"}, 30);
    if (IcmpRefused(r))
        GTEST_SKIP() << r.m_strErr;
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strErr, "Pinging ::1 with 32 bytes of data.\n");
    EXPECT_TRUE(RegexMatch(r.m_strOut, "Failures: 0\nAverage: [0-9]+\\.[0-9]{3} ms\nPing: [0-9]+ ms\n")) << r.m_strOut;

    r = RunCli({"--settings", SettingsFile(dir), "traceroute", "0::1"}, 30);
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_TRUE(RegexMatch(r.m_strOut, "1  ::1  -  [0-9]+ms\r\n")) << r.m_strOut;

    const struct {
        const char* command;
        const char* text;
        const char* reason;
    } bad[] = {
        {"host", "fe80::1%eth0", "'fe80::1%eth0' is not an IPv6 address: "},
        {"ping", "1:2:3:4:5:6:7:8:9", "'1:2:3:4:5:6:7:8:9' is not an IPv6 address: "},
        {"host", "a..b", "'a..b' is neither an IP address nor a host name"},
    };
    for (const auto& b : bad) {
        r = RunCli({"--settings", SettingsFile(dir), b.command, b.text});
        EXPECT_EQ(r.m_nStatus, 2) << b.command << " " << b.text;
        EXPECT_NE(r.m_strErr.find(b.reason), std::string::npos) << r.m_strErr;
        EXPECT_EQ(r.m_strOut, "") << b.command << " " << b.text;
    }
}

TEST(CliTraceroute, UnknownOptionIsAUsageError)
{
    CTempDir dir;
    const CCliResult bad = RunCli({"--settings", SettingsFile(dir), "traceroute", "--resolve", "127.0.0.1"});
    EXPECT_EQ(bad.m_nStatus, 2);
    EXPECT_NE(bad.m_strErr.find("usage: addrscope-cli traceroute ADDRESS [--resolve-hops]"), std::string::npos);
}

std::string Shell(const std::string& command, int& nStatus)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[1024];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int status = pclose(p);
    nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// An unprivileged user in a fresh network namespace may open neither socket kind.
TEST(CliPing, WithoutIcmpPermissionNothingIsSentAndTheReasonIsShown)
{
    int status = -1;
    Shell("unshare -n true && command -v setpriv", status);
    if (geteuid() != 0 || status != 0)
        GTEST_SKIP() << "needs root, unshare and setpriv to run the command as an unprivileged user";

    const std::string run = "unshare -n setpriv --reuid=65534 --regid=65534 --clear-groups " +
                            std::string(ADDRSCOPE_CLI) + " --settings /dev/null ";
    const std::string err = "/tmp/addrscope-ping-err-" + std::to_string(getpid());
    std::string out = Shell(run + "ping 127.0.0.1 2>" + err, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "Failures: 3\nAverage: 0.000 ms\nPing: Failed\n");
    const std::string message = ReadFileBytes(err);
    EXPECT_NE(message.find("net.ipv4.ping_group_range"), std::string::npos) << message;
    EXPECT_NE(message.find("cap_net_raw"), std::string::npos) << message;

    out = Shell(run + "traceroute 127.0.0.1 2>" + err, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(ReadFileBytes(err).find("Unable to open an ICMP socket"), std::string::npos);
    std::remove(err.c_str());
}

} // namespace
