// addrscope-cli extract --address, dump --json facts and export --format csv|json
// [--by network], run as whole processes on real whois answers.

#include "core/document/NetloreDoc.h"

#include "support/CliRunner.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

namespace {

using nlohmann::json;

const char kColt[] = "whois/ripe/phpwhois-colt-62.97.102.115.txt";
const char kKrnic[] = "whois/other/netincident-krnic-mojibake-crlf-112.220.69.50.txt";

// Rows of a CSV file as Python's csv module reads them, as JSON; null when python3 is missing.
json ReadCsvWithPython(const std::string& path)
{
    if (std::system("command -v python3 >/dev/null 2>&1") != 0)
        return nullptr;
    const std::string cmd =
        "python3 -c 'import csv, json, sys; "
        "print(json.dumps(list(csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")))))' '" +
        path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return nullptr;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    if (pclose(p) != 0)
        return nullptr;
    return json::parse(out, nullptr, false);
}

class CliTableExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CFakeClock clock(COleDateTime::FromComponents(2026, 12, 7, 9, 30, 0));
        CNetloreDoc doc(&clock);
        const std::string colt = ReadFileBytes(TestDataPath(kColt));
        // Stored texts start with the address that was asked for.
        doc.SetWhoisText("62.97.102.115", "62.97.102.115\r\n\r\n" + colt);
        doc.SetWhoisText("62.97.102.116", "62.97.102.116\r\n\r\n" + colt);
        doc.SetWhoisText("112.220.69.50", "112.220.69.50\r\n\r\n" + ReadFileBytes(TestDataPath(kKrnic)));
        doc.AddIP("192.0.2.2"); // never looked up
        doc.SetHostName("192.0.2.2", "-h.example");
        doc.GetData().SetNoteByIP("192.0.2.2", 0, "=cmd|' /C calc'!A0");
        doc.GetData().SetNoteByIP("192.0.2.2", 2, "Caf\xE9, \"quoted\"\r\nsecond line");
        ASSERT_TRUE(doc.OnSaveDocument(m_strDoc));
    }
    CCliResult Cli(std::vector<std::string> args)
    {
        std::vector<std::string> all {"--settings", SettingsFile(m_dir)};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(all);
    }

    CTempDir m_dir;
    const std::string m_strDoc = m_dir.File("d.qdl");
};

} // namespace

TEST_F(CliTableExportTest, ExtractNamesTheBlockOfTheGivenAddress)
{
    struct {
        const char* address;
        const char* holder;
        const char* range;
    } const cases[] = {
        {"112.220.69.50", "LG Uplus", "112.220.69.48 - 112.220.69.55"},
        {"112.216.0.1", "LG DACOM Corporation", "112.216.0.0 - 112.223.255.255"},
    };
    for (const auto& c : cases) {
        const CCliResult r = Cli({"extract", TestDataPath(kKrnic), "--address", c.address});
        ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
        const json j = json::parse(r.m_strOut);
        EXPECT_EQ(j["facts"]["holder"], c.holder);
        EXPECT_EQ(j["facts"]["range"], c.range);
        EXPECT_EQ(j["facts"]["country"], "KR");
        EXPECT_EQ(j["facts"]["registry"], "KRNIC");
        EXPECT_TRUE(j["facts"]["originAS"].is_null());
        EXPECT_TRUE(j["facts"]["rangeStart"].is_number());
        EXPECT_EQ(j["facts"]["isRegistryStub"], false);
    }
    EXPECT_EQ(Cli({"extract", TestDataPath(kKrnic), "--address", "112.220.69"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"extract", TestDataPath(kKrnic), "--address"}).m_nStatus, 2);
}

TEST_F(CliTableExportTest, DumpJsonCarriesFactsPerRecord)
{
    const CCliResult r = Cli({"dump", "--json", m_strDoc});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const json records = json::parse(r.m_strOut);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["facts"]["holder"], "Avancem amb Voste S.L.");
    EXPECT_EQ(records[0]["facts"]["abuse"], "abuse@colt.net");
    EXPECT_EQ(records[0]["facts"]["rangeStart"], 0x3E616670u);
    EXPECT_EQ(records[2]["facts"]["holder"], "LG Uplus");
    EXPECT_TRUE(records[3]["facts"]["holder"].is_null());
    EXPECT_TRUE(records[3]["facts"]["range"].is_null());
}

TEST_F(CliTableExportTest, CsvReadsBackThroughACsvParser)
{
    const std::string out = m_dir.File("table.csv");
    const CCliResult r = Cli({"export", m_strDoc, "--format", "csv", "-o", out});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("4 records exported"), std::string::npos) << r.m_strErr;
    const json rows = ReadCsvWithPython(out);
    if (rows.is_null())
        GTEST_SKIP() << "python3 with its csv module is needed to read the CSV back";
    ASSERT_EQ(rows.size(), 5u) << rows.dump();
    EXPECT_EQ(rows[0],
              json({"address", "hostName", "holder", "country", "range", "abuse", "netName", "originAS", "registry",
                    "whoisTime", "ping", "notes", "status", "reusedFrom", "reason", "allocated", "countrySource"}));
    EXPECT_EQ(rows[1], json({"62.97.102.115", "", "Avancem amb Voste S.L.", "ES", "62.97.102.112 - 62.97.102.119",
                             "abuse@colt.net", "NET-ES-AVANCEM-AMB-VOSTE-SL", "AS8220", "RIPE", "2026-12-07T09:30:00",
                             "", "", "ok", "", "", "", "answer"}));
    EXPECT_EQ(rows[3][2], "LG Uplus");
    EXPECT_EQ(rows[3][8], "KRNIC");
    // Formula guard, quoting, line breaks and a Latin-1 byte read as UTF-8.
    EXPECT_EQ(rows[4][0], "192.0.2.2");
    EXPECT_EQ(rows[4][1], "'-h.example");
    EXPECT_EQ(rows[4][9], "");
    EXPECT_EQ(rows[4][11], "'=cmd|' /C calc'!A0 |  | Caf\xC3\xA9, \"quoted\"\r\nsecond line | ");
    // RFC 4180: CR LF after every row.
    const std::string bytes = ReadFileBytes(out);
    EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1), "address,hostName,holder,country,range,abuse,netName,originAS,"
                                                     "registry,whoisTime,ping,notes,status,reusedFrom,reason,"
                                                     "allocated,countrySource\r\n");
}

TEST_F(CliTableExportTest, JsonTableAndNetworksForAnAbuseDesk)
{
    CCliResult r = Cli({"export", m_strDoc, "--format=json", "112.220.69.50", "203.0.113.9", "62.97.102.115"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    json rows = json::parse(r.m_strOut);
    ASSERT_EQ(rows.size(), 2u); // addresses without a record are left out
    EXPECT_EQ(rows[0]["address"], "112.220.69.50");
    EXPECT_EQ(rows[0]["abuse"], "b8273338@user.bora.net");
    EXPECT_EQ(rows[1]["whoisTime"], "2026-12-07T09:30:00");
    std::vector<std::string> keys;
    for (const auto& item : rows[1].items())
        keys.push_back(item.key());
    EXPECT_EQ(keys.size(), 17u);

    r = Cli({"export", m_strDoc, "--format", "json", "--by", "network"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    rows = json::parse(r.m_strOut);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["count"], 2); // the largest network first
    EXPECT_EQ(rows[0]["addresses"], json({"62.97.102.115", "62.97.102.116"}));
    EXPECT_EQ(rows[0]["holder"], "Avancem amb Voste S.L.");
    EXPECT_EQ(rows[0]["abuse"], "abuse@colt.net");
    EXPECT_EQ(rows[1]["count"], 1);

    const std::string out = m_dir.File("networks.csv");
    r = Cli({"export", m_strDoc, "--format", "csv", "--by", "network", "-o", out});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("3 networks exported"), std::string::npos) << r.m_strErr;
    const json csv = ReadCsvWithPython(out);
    if (csv.is_null())
        GTEST_SKIP() << "python3 with its csv module is needed to read the CSV back";
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0][0], "range");
    EXPECT_EQ(csv[1][1], "2");
    EXPECT_EQ(csv[1][2], "62.97.102.115 62.97.102.116");
}

TEST_F(CliTableExportTest, RawStaysTheDefaultAndBadOptionsAreUsageErrors)
{
    const CCliResult raw = Cli({"export", m_strDoc, "62.97.102.115"});
    EXPECT_EQ(raw.m_nStatus, 0);
    EXPECT_EQ(raw.m_strOut.rfind("<RECORD>\r\nIP Address: 62.97.102.115\r\n", 0), 0u);
    EXPECT_EQ(Cli({"export", m_strDoc, "--format", "xml"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"export", m_strDoc, "--format", "csv", "--by", "host"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"export", m_strDoc, "--by", "network"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"export", m_strDoc, "--format"}).m_nStatus, 2);
}
