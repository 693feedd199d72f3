// IPv6 clients through the real addrscope-cli: import of a mixed log (plain and
// gzip, and looked up against loopback whois servers), add (arguments and standard
// input), dump and export.

#include "LoopbackWhoisServer.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// A dual-stack server's log: IPv6 clients as servers write them (one upper-case,
// one IPv4-mapped, one with a zone id, which names no address), around IPv4 ones.
const char kMixedLog[] =
    "192.0.2.1 - - [09/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n"
    "2001:db8::5 - - [09/Dec/2026:10:00:01 +0000] \"GET /missing HTTP/1.1\" 404 0 \"-\" \"curl/8\"\n"
    "2001:db8::5 - - [09/Dec/2026:10:00:02 +0000] \"GET / HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n"
    "[2001:db8:0:0:1::9]:443 - - [09/Dec/2026:10:00:03 +0000] \"GET / HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n"
    "::ffff:198.51.100.7 - - [09/Dec/2026:10:00:04 +0000] \"GET /missing HTTP/1.1\" 404 0 \"-\" \"curl/8\"\n"
    "fe80::1%eth0 - - [09/Dec/2026:10:00:05 +0000] \"GET / HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n"
    "2001:DB8::A - - [09/Dec/2026:10:00:06 +0000] \"GET /missing HTTP/1.1\" 404 0 \"-\" \"curl/8\"\n"
    "192.0.2.2 - - [09/Dec/2026:10:00:07 +0000] \"GET / HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n";

const char* const kArin = "127.0.0.2";

// ARIN's layout for the documentation prefix; IPv4 queries get a network of their own.
const char kArinDocPrefix[] = "NetRange:       2001:db8:: - 2001:db8:ffff:ffff:ffff:ffff:ffff:ffff\n"
                              "CIDR:           2001:db8::/32\n"
                              "NetName:        DOC-IPV6\n"
                              "NetType:        Direct Allocation\n"
                              "Organization:   Example Six Networks (EXSIX)\n\n"
                              "OrgName:        Example Six Networks\n"
                              "Country:        US\n"
                              "OrgAbuseEmail:  abuse@six.example\n";
const char kArinTestNet3[] = "NetRange:       198.51.100.0 - 198.51.100.255\n"
                             "CIDR:           198.51.100.0/24\n"
                             "NetName:        TEST-NET-3\n"
                             "NetType:        Direct Allocation\n"
                             "Organization:   Example Four Networks (EXFOUR)\n\n"
                             "OrgName:        Example Four Networks\n"
                             "Country:        US\n";

class CliIPv6ImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.AddRegistryHosts();
        ASSERT_TRUE(m_server.Start());
        m_server.SetDefaultAnswer(kArin, kArinTestNet3);
        for (const char* a : {"2001:db8::5", "2001:db8::a", "2001:db8::1:0:0:9"})
            m_server.SetAnswer(kArin, a, kArinDocPrefix);
        const std::string port = std::to_string(m_server.Port());
        WriteFileBytes(m_dir.File("s.ini"),
                       "[Whois%20Servers]\n"
                       "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                       "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                       "Whois%20Port=" +
                           port + "\nRWhois%20Port=" + port +
                           "\nConnect%20Timeout=2000\nIdle%20Timeout=1000\n\n[Settings]\n"
                           // Every chain from ARIN, which answers for the documentation prefix here.
                           "Pace%20Per%20Registry=0\n"
                           "IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    }

    CCliResult Cli(Strings args, const std::string& stdinPath = "/dev/null")
    {
        args.insert(args.begin(), {"--settings", SettingsFile(m_dir)});
        return RunCli(args, 60, stdinPath);
    }
    CLoopbackWhoisServer m_server;
    CTempDir m_dir;
};

// The "address" values of a dump --json, in order.
Strings DumpedAddresses(const std::string& json)
{
    Strings addresses;
    const std::string key = "\"address\": \"";
    for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        const size_t start = at + key.size();
        addresses.push_back(json.substr(start, json.find('"', start) - start));
    }
    return addresses;
}

} // namespace

TEST_F(CliIPv6ImportTest, MixedLogPlainAndGzipGivesBothFamiliesThroughDumpAndExport)
{
    const std::string log = m_dir.File("access.log");
    WriteFileBytes(log, kMixedLog);
    gzFile gz = gzopen((log + ".gz").c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, kMixedLog, unsigned(sizeof kMixedLog - 1));
    gzclose(gz);

    const Strings all {"192.0.2.1", "198.51.100.7", "192.0.2.2", "2001:db8::5", "2001:db8::1:0:0:9", "2001:db8::a"};
    struct Case {
        std::string file;
        Strings flags;
        std::string out;
        std::string summary;
        Strings addresses;
        Strings askedOfArin; // the queries the lookup sent, oldest first
    };
    const Case cases[] = {
        {log,
         {"--no-convert"},
         "6\n",
         "Imported 6 addresses (6 new) from 7 matching lines of 8; skipped 1 lines (0 damaged, 1 not an address); "
         "IPv4: 3 addresses (3 new), IPv6: 3 addresses (3 new)",
         all,
         {}},
        {log + ".gz",
         {"--no-convert"},
         "6\n",
         "Imported 6 addresses (6 new) from 7 matching lines of 8; skipped 1 lines (0 damaged, 1 not an address); "
         "IPv4: 3 addresses (3 new), IPv6: 3 addresses (3 new)",
         all,
         {}},
        // Conditions hold for IPv6 clients as for IPv4 ones.
        {log + ".gz",
         {"--no-convert", "--not-found"},
         "3\n",
         "Imported 3 addresses (3 new) from 3 matching lines of 8; skipped 5 lines (0 damaged, 1 not an address); "
         "IPv4: 1 addresses (1 new), IPv6: 2 addresses (2 new)",
         {"198.51.100.7", "2001:db8::5", "2001:db8::a"},
         {}},
        // The IPv6 clients it added are looked up with the IPv4 ones, in the order
        // they came; the second IPv6 one is inside the first one's network.
        {log,
         {"--no-convert", "--not-found", "--lookup"},
         "3\nlooked up 2, skipped as fresh 0, failed 0, answered from a known range 1\n",
         "IPv4: 1 addresses (1 new), IPv6: 2 addresses (2 new)",
         {"198.51.100.7", "2001:db8::5", "2001:db8::a"},
         {"2001:db8::5\r\n", "198.51.100.7\r\n"}},
    };
    const char* const docs[] = {"plain.qdl", "gzip.qdl", "notfound.qdl", "lookup.qdl"};
    int n = 0;
    for (const Case& c : cases) {
        const std::string doc = m_dir.File(docs[n++]);
        Strings args {"import", doc, c.file};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const size_t nAskedBefore = m_server.Queries(kArin).size();
        const CCliResult r = Cli(args);
        EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
        EXPECT_EQ(r.m_strOut, c.out) << c.file;
        EXPECT_NE(r.m_strErr.find(c.summary), std::string::npos) << r.m_strErr;
        const Strings asked = m_server.Queries(kArin);
        EXPECT_EQ(Strings(asked.begin() + std::ptrdiff_t(nAskedBefore), asked.end()), c.askedOfArin);
        if (!c.askedOfArin.empty()) {
            const CCliResult csv = Cli({"export", doc, "--format", "csv"});
            EXPECT_EQ(csv.m_nStatus, 0) << csv.m_strErr;
            for (const char* a : {"2001:db8::5", "2001:db8::a"})
                EXPECT_NE(csv.m_strOut.find(std::string("\n") + a +
                                            ",,Example Six Networks,US,2001:db8:: - "
                                            "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff,"
                                            "abuse@six.example,"),
                          std::string::npos)
                    << a << "\n"
                    << csv.m_strOut;
        }

        // The file holds the IPv4 records first, then the IPv6 ones, each in order.
        const CCliResult dump = Cli({"dump", "--json", doc});
        EXPECT_EQ(dump.m_nStatus, 0) << dump.m_strErr;
        EXPECT_EQ(DumpedAddresses(dump.m_strOut), c.addresses);
        if (std::find(c.flags.begin(), c.flags.end(), "--not-found") != c.flags.end()) {
            EXPECT_NE(dump.m_strOut.find("\"notes\": [\"\", \"\", \"\", \"\\\"GET /missing HTTP/1.1\\\"\"]"),
                      std::string::npos)
                << dump.m_strOut;
            continue;
        }
        const CCliResult csv = Cli({"export", doc, "--format", "csv"});
        EXPECT_EQ(csv.m_nStatus, 0) << csv.m_strErr;
        for (const std::string& a : all)
            EXPECT_NE(csv.m_strOut.find("\n" + a + ","), std::string::npos) << a << "\n" << csv.m_strOut;
    }
}

TEST_F(CliIPv6ImportTest, AddTakesEveryFormAndNamesWhatIsWrongWithTheRest)
{
    const std::string doc = m_dir.File("d.qdl");
    const std::string input = m_dir.File("in.txt");
    WriteFileBytes(input, "2001:db8::7\n[2001:db8::8]:8080\n");
    const CCliResult ok = Cli({"add", doc, "2001:db8::5", "[2001:db8::6]", "::ffff:192.0.2.1", "-"}, input);
    EXPECT_EQ(ok.m_nStatus, 0) << ok.m_strErr;
    EXPECT_EQ(ok.m_strOut, "5\n");

    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"2001:db8::1%eth0", "zone ids are not accepted"},
        {"1:2:3:4:5:6:7:8:9", "more than 8 groups"},
        {"2001::db8::1", "more than one \"::\""},
        {"::ffff:192.0.2.256", "a bad embedded IPv4 address"},
        {"[2001:db8::1]:99999", "a bad port after the bracketed address"},
    };
    for (const Case& c : cases) {
        const CCliResult r = Cli({"add", doc, c.text});
        EXPECT_EQ(r.m_nStatus, 1) << c.text;
        EXPECT_EQ(r.m_strOut, "0\n") << c.text;
        EXPECT_NE(r.m_strErr.find(std::string("add: ") + c.text + ": not an address: " + c.reason), std::string::npos)
            << r.m_strErr;
    }
    const CCliResult dump = Cli({"dump", "--json", doc});
    EXPECT_EQ(DumpedAddresses(dump.m_strOut),
              Strings({"192.0.2.1", "2001:db8::5", "2001:db8::6", "2001:db8::7", "2001:db8::8"}));
}
