// cache and delegations run as whole processes: the cache's file filled through
// the library, the delegation files served by a loopback HTTPS server.

#include "LoopbackFileServer.h"
#include "LoopbackRdapServer.h"
#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"
#include "cache/DelegationFile.h"
#include "cache/DelegationStore.h"

#include "support/CliRunner.h"
#include "support/DelegationFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ctime>
#include <sstream>

namespace {

using Strings = std::vector<std::string>;

CAnswerCachePut Put(const char* asked, const char* first, const char* last, const std::string& server, int64_t nWhen)
{
    CAnswerCachePut p;
    p.m_asked = CCacheAddress::Parse(asked).value();
    p.m_first = CCacheAddress::Parse(first).value();
    p.m_last = CCacheAddress::Parse(last).value();
    p.m_strSource = "whois";
    p.m_strServer = server;
    p.m_strAnswer = "inetnum: " + std::string(first) + "\n";
    p.m_nFetched = nWhen;
    return p;
}

class CliCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { WriteSettings(""); }

    void WriteSettings(const std::string& extra)
    {
        WriteFileBytes(m_dir.File("s.ini"), "[Settings]\nAnswer%20Cache=" + CachePath() + "\n\n" + extra);
    }
    std::string CachePath() const { return m_dir.File("cache/answers.sqlite"); }
    CCliResult Cli(Strings args)
    {
        args.insert(args.begin(), {"--settings", m_dir.File("s.ini")});
        return RunCli(args, 60);
    }

    CTempDir m_dir;
};

TEST_F(CliCacheTest, StatsExportPruneAndClear)
{
    const int64_t nNow = int64_t(std::time(nullptr));
    {
        CCacheDatabase db;
        ASSERT_TRUE(db.Open(CachePath(), nNow).m_bOpen);
        CAnswerCache cache(db, {});
        ASSERT_EQ(cache.Put(Put("192.0.2.9", "192.0.2.0", "192.0.2.255", "whois.ripe.net", nNow), nNow).m_outcome,
                  ECachePut::kStored);
        // A server name from an answer is data: guarded in CSV.
        ASSERT_EQ(cache
                      .Put(Put("2001:db8::1", "2001:db8::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff",
                               "=HYPERLINK(\"x\"),y", nNow - 40 * 86400),
                           nNow)
                      .m_outcome,
                  ECachePut::kStored);
    }
    CCliResult r = Cli({"cache", "stats"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strOut.find("answers: 2 networks (1 IPv4, 1 IPv6), 1 within 30 days\n"), std::string::npos)
        << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("delegations: none\n"), std::string::npos);

    r = Cli({"cache", "export", "--format", "csv", "-o", m_dir.File("c.csv")});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strErr, "addrscope-cli cache: 2 networks exported\n");
    const std::string csv = ReadFileBytes(m_dir.File("c.csv"));
    EXPECT_EQ(csv.rfind("range,first,last,family,source,server,fetched,lastUsed,bytes\r\n"
                        "192.0.2.0 - 192.0.2.255,192.0.2.0,192.0.2.255,ipv4,whois,whois.ripe.net,",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find(",ipv6,whois,\"'=HYPERLINK(\"\"x\"\"),y\","), std::string::npos) << csv;

    r = Cli({"cache", "prune"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strErr, "addrscope-cli cache: 1 answers dropped\n");
    r = Cli({"cache", "clear"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    r = Cli({"cache", "stats"});
    EXPECT_NE(r.m_strOut.find("answers: 0 networks"), std::string::npos) << r.m_strOut;

    const struct {
        Strings args;
        int nStatus;
        const char* err;
    } usage[] = {
        {{"cache"}, 2, "expected one of stats, clear, prune, export"},
        {{"cache", "drop"}, 2, "unknown action drop"},
        {{"cache", "export", "--format", "json"}, 2, "unknown format json"},
        {{"cache", "stats", "-o", "x"}, 2, "--format and --output are for export"},
    };
    for (const auto& u : usage) {
        r = Cli(u.args);
        EXPECT_EQ(r.m_nStatus, u.nStatus) << u.args.back();
        EXPECT_NE(r.m_strErr.find(u.err), std::string::npos) << r.m_strErr;
    }
}

TEST_F(CliCacheTest, AnEmptySettingTurnsTheCacheOffAndADamagedFileIsSaidOnce)
{
    WriteFileBytes(m_dir.File("s.ini"), "[Settings]\nAnswer%20Cache=\n");
    CCliResult r = Cli({"cache", "stats"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strErr, "addrscope-cli cache: the answer cache is off (\"Answer Cache\" is empty)\n");

    WriteSettings("");
    std::filesystem::create_directories(m_dir.File("cache"));
    WriteFileBytes(CachePath(), "not a database\n");
    r = Cli({"cache", "stats"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("could not be used (file is not a database); moved to " + CachePath() + ".damaged-"),
              std::string::npos)
        << r.m_strErr;
    r = Cli({"cache", "stats"});
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(CliCacheTest, DelegationsUpdateKeepsThePreviousDataOfEveryFileThatFails)
{
    std::string cert, key;
    if (!CLoopbackRdapServer::MakeCertificate(m_dir.Path().string(), cert, key))
        GTEST_SKIP() << "the openssl command could not make a test certificate";
    CLoopbackFileServer server;
    ASSERT_TRUE(server.Start(cert, key));

    // RIPE NCC and ARIN: complete files in the published shape, a BSD and a GNU .md5.
    const std::string ripe = GeneratedDelegationFile("ripencc", 300, 20, 50, 31);
    server.SetFile("delegated-ripencc-extended-latest", ripe);
    server.SetFile("delegated-ripencc-extended-latest.md5",
                   "MD5 (delegated-ripencc-extended-latest) = " + Md5Hex(ripe));
    const std::string arin = GeneratedDelegationFile("arin", 200, 10, 30, 23);
    server.SetFile("delegated-arin-extended-latest", arin);
    server.SetFile("delegated-arin-extended-latest.md5", Md5Hex(arin) + "  delegated-arin-extended-20260101\n");
    // APNIC: cut in the middle of the transfer.
    const std::string apnic = GeneratedDelegationFile("apnic", 400, 0, 0, 43);
    server.SetFile("delegated-apnic-extended-latest", apnic);
    server.SetFile("delegated-apnic-extended-latest.md5", Md5Hex(apnic) + "  delegated-apnic-extended-latest\n");
    // LACNIC: a checksum that is not the file's.
    server.SetFile("delegated-lacnic-extended-latest", GeneratedDelegationFile("lacnic", 50, 0, 0, 45));
    server.SetFile("delegated-lacnic-extended-latest.md5", Md5Hex("something else") + "  x\n");
    // AFRINIC: the real RIPE excerpt and its real .md5: the digest matches, the record count does not.
    server.SetFile("delegated-afrinic-extended-latest",
                   ReadFileBytes(TestDataPath("delegated/netblockfinder-2013-delegated-ripencc-latest-head")));
    server.SetFile("delegated-afrinic-extended-latest.md5",
                   ReadFileBytes(TestDataPath("delegated/netblockfinder-2013-delegated-ripencc-latest-head.md5")));

    // What was there before for the three that fail.
    {
        CCacheDatabase db;
        ASSERT_TRUE(db.Open(CachePath(), 1).m_bOpen);
        CDelegationStore store(db);
        const std::pair<const char*, unsigned> old[] = {{"apnic", 100}, {"lacnic", 110}, {"afrinic", 120}};
        for (const auto& [reg, octet] : old)
            ASSERT_TRUE(store.Replace(ParseDelegationFile(GeneratedDelegationFile(reg, 3, 1, 0, octet)), 1));
        ASSERT_TRUE(store.Replace(ParseDelegationFile(GeneratedDelegationFile("arin", 2, 0, 0, 130)), 1));
    }
    WriteSettings("[Delegation%20Files]\nCA%20File=" + cert +
                  "\nRIPE%20NCC=" + server.Url("ok", "delegated-ripencc-extended-latest") +
                  "\nARIN=" + server.Url("ok", "delegated-arin-extended-latest") +
                  "\nAPNIC=" + server.Url("cut", "delegated-apnic-extended-latest") +
                  "\nLACNIC=" + server.Url("ok", "delegated-lacnic-extended-latest") +
                  "\nAFRINIC=" + server.Url("ok", "delegated-afrinic-extended-latest") + "\n");
    CCliResult r = Cli({"delegations", "update"});
    EXPECT_EQ(r.m_nStatus, 1) << r.m_strErr;
    const struct {
        const char* line;
    } said[] = {
        {"addrscope-cli delegations: RIPE NCC: imported 320 blocks (serial 20260101)\n"},
        {"addrscope-cli delegations: ARIN: imported 210 blocks (serial 20260101)\n"},
        {"addrscope-cli delegations: APNIC: " /* the transfer was cut */},
        {"addrscope-cli delegations: LACNIC: its MD5 is "},
        {"addrscope-cli delegations: AFRINIC: the file holds 5 records, its version line says 84542; the previous "
         "data is kept\n"},
        {"addrscope-cli delegations: 2 registries updated, 3 failed\n"},
    };
    for (const auto& s : said)
        EXPECT_NE(r.m_strErr.find(s.line), std::string::npos) << s.line << "\n" << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("delegated-apnic-extended-latest: "), std::string::npos) << r.m_strErr;

    r = Cli({"cache", "stats"});
    EXPECT_NE(r.m_strOut.find("delegations: afrinic 4 apnic 4 arin 210 lacnic 4 ripencc 320\n"), std::string::npos)
        << r.m_strOut;
    CCacheDatabase db;
    ASSERT_TRUE(db.Open(CachePath(), 1).m_bOpen);
    CDelegationIndexResult loaded = CDelegationStore(db).LoadIndex();
    ASSERT_EQ(loaded.m_strError, "");
    const auto hit = loaded.m_index.Find(CCacheAddress::Parse("31.0.0.7").value());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->m_strRegistry, "ripencc");
    EXPECT_EQ(hit->m_strCountry, "FR");
    const struct {
        const char* address;
        const char* registry; // "-": none
    } cases[] = {
        {"23.0.0.1", "arin"},    {"130.0.0.1", "-"}, // replaced by the new file
        {"43.0.0.1", "-"},       {"100.0.0.1", "apnic"}, // the cut file left the old data
        {"110.0.0.1", "lacnic"}, {"120.0.0.1", "afrinic"},
    };
    for (const auto& c : cases) {
        const auto found = loaded.m_index.Find(CCacheAddress::Parse(c.address).value());
        EXPECT_EQ(found ? found->m_strRegistry : "-", c.registry) << c.address;
    }
}

} // namespace

TEST_F(CliCacheTest, DelegationDataNamesRegistryCountryAndAllocationBeforeAnyQuery)
{
    {
        CCacheDatabase db;
        ASSERT_TRUE(db.Open(CachePath(), int64_t(std::time(nullptr))).m_bOpen);
        const CDelegationFile file = ParseDelegationFile(
            ReadFileBytes(TestDataPath("delegated/netblockfinder-2013-delegated-ripencc-latest-head")));
        ASSERT_TRUE(CDelegationStore(db).Replace(file, int64_t(std::time(nullptr))).m_bOk);
    }
    const std::string doc = m_dir.File("d.qdl");
    ASSERT_EQ(Cli({"add", doc, "2.18.111.79", "2.33.1.1", "192.0.2.1"}).m_nStatus, 0);

    const CCliResult csv = Cli({"export", doc, "--format", "csv"});
    ASSERT_EQ(csv.m_nStatus, 0) << csv.m_strErr;
    std::istringstream lines(csv.m_strOut);
    std::string header, row;
    std::getline(lines, header);
    EXPECT_TRUE(header.ends_with(",status,reusedFrom,reason,allocated,countrySource\r")) << header;
    // address, hostName, holder, country, range, abuse, netName, originAS, registry, ...
    for (const char* pszExpected : {"2.18.111.79,,,EU,,,,,RIPE,,,,not-looked-up,,,2010-09-10,delegation\r",
                                    "2.33.1.1,,,IT,,,,,RIPE,,,,not-looked-up,,,2010-04-29,delegation\r",
                                    "192.0.2.1,,,,,,,,,,,,not-looked-up,,,,\r"}) {
        std::getline(lines, row);
        EXPECT_EQ(row, pszExpected);
    }

    const CCliResult dump = Cli({"dump", doc, "--json"});
    ASSERT_EQ(dump.m_nStatus, 0) << dump.m_strErr;
    const nlohmann::json j = nlohmann::json::parse(dump.m_strOut, nullptr, false);
    ASSERT_TRUE(j.is_array() && j.size() == 3u) << dump.m_strOut;
    EXPECT_EQ(j[0]["delegation"],
              nlohmann::json::parse(R"({"registry":"RIPE","country":"EU","allocated":"2010-09-10"})"));
    EXPECT_EQ(j[0]["countrySource"], "delegation");
    EXPECT_TRUE(j[2]["delegation"].is_null());
}
