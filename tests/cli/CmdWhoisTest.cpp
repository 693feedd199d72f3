#include "LoopbackWhoisServer.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    const size_t first = out.find_first_not_of(" \t\r\n");
    const size_t last = out.find_last_not_of(" \t\r\n");
    return out.substr(first, last - first + 1);
}

// Settings that send every registry to a loopback server.
std::string LoopbackSettings(int port)
{
    return "[Whois%20Servers]\n"
           "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
           "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
           "Whois%20Port=" +
           std::to_string(port) + "\nRWhois%20Port=" + std::to_string(port) +
           "\n"
           "Connect%20Timeout=2000\nIdle%20Timeout=2000\n";
}

} // namespace

TEST(CliWhois, ReplaysARealArinToRipeChain)
{
    CLoopbackWhoisServer server;
    server.AddRegistryHosts();
    ASSERT_TRUE(server.Start());
    const std::string ripe = ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt"));
    server.SetAnswer("127.0.0.2", "130.66.76.222",
                     ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
    server.SetAnswer("127.0.0.3", "130.66.76.222", ripe);

    CTempDir dir;
    WriteFileBytes(dir.File("s.ini"), LoopbackSettings(server.Port()));
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "whois", "130.66.76.222"}, 30);
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "130.66.76.222\r\n\r\n" + WithCrLf(ripe) + "\n");
    ASSERT_EQ(server.Queries("127.0.0.3").size(), 1u);
    EXPECT_EQ(server.Queries("127.0.0.3")[0], "130.66.76.222\r\n");

    // A silent registry: nothing printed, a failure status, done within the time-outs.
    server.SetMode("127.0.0.2", EWhoisServerMode::queryLimit);
    const CCliResult empty = RunCli({"--settings", SettingsFile(dir), "whois", "130.66.76.222"}, 30);
    EXPECT_EQ(empty.m_nStatus, 1);
    EXPECT_EQ(empty.m_strOut, "");
}

TEST(CliWhois, AsksAServerOnTheIPv6Loopback)
{
    CLoopbackWhoisServer server;
    server.AddAddress("::1");
    if (!server.Start())
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1) to listen on";
    server.SetAnswer("::1", "2001:db8::1", "inet6num: 2001:db8::/32\n");
    CTempDir dir;
    const std::string port = std::to_string(server.Port());
    for (const char* host : {"::1", "[::1]"}) {
        const CCliResult r =
            RunCli({"--settings", SettingsFile(dir), "-v", "whois", "-h", host, "-p", port, "2001:db8::1"});
        EXPECT_EQ(r.m_nStatus, 0) << host << ": " << r.m_strErr;
        EXPECT_EQ(r.m_strOut, "inet6num: 2001:db8::/32\n") << host;
        EXPECT_NE(r.m_strErr.find("asking [::1]:" + port + " for '2001:db8::1'"), std::string::npos) << r.m_strErr;
    }
    EXPECT_EQ(server.Queries("::1"), std::vector<std::string>(2, "2001:db8::1\r\n"));
    // Once the server is gone, the refusal names the bracketed address and its port.
    server.Stop();
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "whois", "-h", "::1", "-p", port, "2001:db8::1"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("[::1]:" + port + ": no connection"), std::string::npos) << r.m_strErr;
}

TEST(CliWhois, UsageErrors)
{
    CTempDir dir;
    EXPECT_EQ(RunCli({"--settings", SettingsFile(dir), "whois"}).m_nStatus, 2);
    EXPECT_EQ(RunCli({"--settings", SettingsFile(dir), "host", "a", "b"}).m_nStatus, 2);
}

TEST(CliHost, PrintsTheNameOrUnavailable)
{
    CTempDir dir;
    CCliResult r = RunCli({"--settings", SettingsFile(dir), "host", "127.0.0.1"});
    EXPECT_EQ(r.m_nStatus, 0);
    ASSERT_FALSE(r.m_strOut.empty());
    EXPECT_EQ(r.m_strOut.back(), '\n');
    EXPECT_NE(r.m_strOut, "unavailable\n");

    r = RunCli({"--settings", SettingsFile(dir), "host", "not-an-address"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strOut, "unavailable\n");
}
