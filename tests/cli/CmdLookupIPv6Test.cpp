#include "LoopbackWhoisServer.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <sstream>

namespace {

using Strings = std::vector<std::string>;

const char* const kArin = "127.0.0.2";
const char* const kRipe = "127.0.0.3";

std::string Answer6(const std::string& name)
{
    return ReadFileBytes(TestDataPath("whois6/" + name));
}

// Google's /32 is ARIN's own; ARIN hands 2001:600::/23 to RIPE (in ARIN's layout:
// no such IPv6 answer was recorded), where Southampton holds a /48.
class CliIPv6LookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.AddRegistryHosts();
        ASSERT_TRUE(m_server.Start());
        m_server.SetDefaultAnswer(kArin, "NetRange:       2001:600:: - 2001:7FF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF\n"
                                         "CIDR:           2001:600::/23\n"
                                         "NetName:        RIPE-IPV6-2001-600\n"
                                         "NetType:        Allocated to RIPE NCC\n"
                                         "ReferralServer:  whois://whois.ripe.net\n");
        for (const char* a : {"2001:4860:4860::8888", "2001:4860:1::1", "2001:4860:ffff::2"})
            m_server.SetAnswer(kArin, a, Answer6("arin/ipwhois-google-2001-4860-4860--8888.txt"));
        m_server.SetDefaultAnswer(kRipe,
                                  Answer6("ripe/phpwhois-soton-org-route6-2001-630-d0-f111-203-93ff-fed1-f454.txt"));
        const std::string port = std::to_string(m_server.Port());
        WriteFileBytes(m_dir.File("s.ini"),
                       "[Whois%20Servers]\n"
                       "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                       "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                       "Whois%20Port=" +
                           port + "\nRWhois%20Port=" + port +
                           "\nConnect%20Timeout=2000\nIdle%20Timeout=1000\n\n[Settings]\n"
                           // Every chain from ARIN, which refers the IPv6 space on.
                           "Pace%20Per%20Registry=0\n"
                           "IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    }

    CCliResult Cli(Strings args)
    {
        args.insert(args.begin(), {"--settings", SettingsFile(m_dir)});
        return RunCli(args, 120);
    }

    CLoopbackWhoisServer m_server;
    CTempDir m_dir;
};

} // namespace

TEST_F(CliIPv6LookupTest, LookedUpWithOneQueryPerNetworkAndExportedInCanonicalText)
{
    const std::string doc = m_dir.File("v6.qdl");
    // Typed in several forms; the records and every output use RFC 5952 text.
    CCliResult r = Cli({"lookup", doc, "--json", "--tick", "5", "2001:630:D0:F111::1", "2001:0630:00d0:0:0:0:0:2",
                        "2001:630:d0:ffff:ffff:ffff:ffff:ffff", "2001:4860:4860:0::8888", "2001:4860:1::1",
                        "2001:4860:FFFF::2", "192.0.2.1"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    std::map<std::string, std::pair<std::string, std::string>> seen; // address -> (range, reusedFrom)
    std::map<std::string, std::string> owners;
    std::istringstream lines(r.m_strOut);
    std::string line;
    while (std::getline(lines, line)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        ASSERT_TRUE(j.is_object()) << line;
        seen[j.value("address", "")] = {j.value("range", ""), j.value("reusedFrom", "")};
        owners[j.value("address", "")] = j.value("owner", "");
    }
    EXPECT_EQ(owners["2001:630:d0::2"], "University of Southampton");
    EXPECT_EQ(owners["2001:4860:1::1"], "Google Inc.");
    const std::string soton = "2001:630:d0:: - 2001:630:d0:ffff:ffff:ffff:ffff:ffff";
    const std::string google = "2001:4860:: - 2001:4860:ffff:ffff:ffff:ffff:ffff:ffff";
    EXPECT_EQ(seen["2001:630:d0:f111::1"], std::make_pair(soton, std::string()));
    EXPECT_EQ(seen["2001:630:d0::2"], std::make_pair(soton, std::string("2001:630:d0:f111::1")));
    EXPECT_EQ(seen["2001:630:d0:ffff:ffff:ffff:ffff:ffff"], std::make_pair(soton, std::string("2001:630:d0:f111::1")));
    EXPECT_EQ(seen["2001:4860:4860::8888"], std::make_pair(google, std::string()));
    EXPECT_EQ(seen["2001:4860:1::1"], std::make_pair(google, std::string("2001:4860:4860::8888")));
    EXPECT_EQ(seen["2001:4860:ffff::2"], std::make_pair(google, std::string("2001:4860:4860::8888")));
    // One chain per network: ARIN and RIPE once for the /48, ARIN once for the /32.
    const Strings ripe = m_server.Queries(kRipe);
    EXPECT_EQ(std::count(ripe.begin(), ripe.end(), "2001:630:d0:f111::1\r\n"), 1);
    EXPECT_EQ(ripe.size(), 2u) << "and once for the IPv4 address";
    const Strings arin = m_server.Queries(kArin);
    EXPECT_EQ(std::count(arin.begin(), arin.end(), "2001:630:d0:f111::1\r\n"), 1);
    EXPECT_EQ(std::count(arin.begin(), arin.end(), "2001:4860:4860::8888\r\n"), 1);
    EXPECT_EQ(arin.size(), 3u) << "and once for the IPv4 address";

    // Filters name records in any text form.
    r = Cli({"export", doc, "--format", "csv", "2001:4860:FFFF:0::2", "2001:0630:00d0::0002"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strOut.find("\n2001:4860:ffff::2,,Google Inc.,US," + google + ",arin-contact@google.com,"),
              std::string::npos)
        << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("\n2001:630:d0::2,,University of Southampton,GB," + soton + ",serviceline@soton.ac.uk,"),
              std::string::npos)
        << r.m_strOut;
    EXPECT_EQ(Cli({"export", doc, "--format", "csv", "2001:db8::1%eth0"}).m_nStatus, 2);

    r = Cli({"export", doc, "--format", "json"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const nlohmann::json rows = nlohmann::json::parse(r.m_strOut, nullptr, false);
    ASSERT_TRUE(rows.is_array()) << r.m_strOut;
    std::map<std::string, std::string> abuse;
    for (const auto& row : rows)
        abuse[row.value("address", "")] = row.value("abuse", "");
    EXPECT_EQ(abuse["2001:630:d0:ffff:ffff:ffff:ffff:ffff"], "serviceline@soton.ac.uk");
    EXPECT_EQ(abuse["2001:4860:1::1"], "arin-contact@google.com");

    r = Cli({"export", doc, "--format", "json", "--by", "network"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const nlohmann::json networks = nlohmann::json::parse(r.m_strOut, nullptr, false);
    ASSERT_TRUE(networks.is_array()) << r.m_strOut;
    std::map<std::string, int> counts;
    for (const auto& row : networks)
        counts[row.value("range", "")] = row.value("count", 0);
    EXPECT_EQ(counts[soton], 3);
    EXPECT_EQ(counts[google], 3);
}

TEST_F(CliIPv6LookupTest, WhoisAndExtractTakeIPv6Addresses)
{
    CCliResult r = Cli({"whois", "2001:4860:1:0::1"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut.rfind("2001:4860:1::1\r\n\r\n", 0), 0u) << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("GOOGLE-IPV6"), std::string::npos);
    EXPECT_EQ(Cli({"whois", "2001:db8::1::2"}).m_nStatus, 2);

    // -h sends the words as they are.
    r = Cli({"whois", "-h", kRipe, "-p", std::to_string(m_server.Port()), "2001:630:d0::7"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(m_server.Queries(kRipe).back(), "2001:630:d0::7\r\n");

    // The address picks the network among those the answer lists.
    const std::string file = m_dir.File("apnic.txt");
    WriteFileBytes(file, Answer6("apnic/ipwhois-jpnic-mirror-iij-2001-240-10c-1--ca20-9d1d.txt"));
    const struct {
        const char* address;
        const char* range;
    } cases[] = {
        {"2001:240:10c:1::ca20:9d1d", "2001:240:10c:: - 2001:240:10c:ffff:ffff:ffff:ffff:ffff"},
        {"2001:240:20::1", "2001:240:: - 2001:240:ffff:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const auto& c : cases) {
        r = Cli({"extract", file, "--address", c.address});
        ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
        const nlohmann::json j = nlohmann::json::parse(r.m_strOut, nullptr, false);
        ASSERT_TRUE(j.is_object()) << r.m_strOut;
        EXPECT_EQ(j["facts"].value("range", ""), c.range) << c.address;
    }
    EXPECT_EQ(Cli({"extract", file, "--address", "2001:240::/32"}).m_nStatus, 2);
}
