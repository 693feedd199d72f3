// whois --rdap, extract --rdap and lookup --source, run as whole processes against
// a loopback RDAP server, with the loopback whois servers behind them for the fallback.

#include "LoopbackRdapServer.h"
#include "LoopbackWhoisServer.h"
#include "core/document/NetloreDoc.h"
#include "facts/RdapText.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>

namespace {

using Strings = std::vector<std::string>;

class CliRdapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_whois.AddRegistryHosts();
        ASSERT_TRUE(m_whois.Start());
        m_whois.SetDefaultAnswer(
            "127.0.0.2", ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_whois.SetDefaultAnswer("127.0.0.3", ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        ASSERT_TRUE(m_rdap.LoadAnswers(TestDataPath("rdap")));
        ASSERT_TRUE(m_rdap.Start());
        // 130.66.0.0/16's RDAP server fails; everything else is served.
        WriteFileBytes(m_dir.File("bootstrap.json"), R"({"services": [[["130.66.0.0/16"], [")" +
                                                         m_rdap.BaseUrl("fail") + R"("]], [["0.0.0.0/0"], [")" +
                                                         m_rdap.BaseUrl("ok") + "\"]]]}");
        WriteSettings(1);
    }

    void WriteSettings(int nUseRdap)
    {
        const std::string port = std::to_string(m_whois.Port());
        WriteFileBytes(m_dir.File("s.ini"),
                       "[Whois%20Servers]\n"
                       "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                       "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                       "Whois%20Port=" +
                           port + "\nRWhois%20Port=" + port +
                           "\nConnect%20Timeout=2000\nIdle%20Timeout=1000\n\n"
                           "[Settings]\nIP%20Whois%20Interval=0\n\n"
                           "[RDAP]\nUse%20RDAP=" +
                           std::to_string(nUseRdap) + "\nBootstrap%20File=" + m_dir.File("bootstrap.json") + "\n");
    }

    CCliResult Cli(Strings args)
    {
        args.insert(args.begin(), {"--settings", m_dir.File("s.ini")});
        return RunCli(args, 60);
    }

    CLoopbackWhoisServer m_whois;
    CLoopbackRdapServer m_rdap;
    CTempDir m_dir;
};

TEST_F(CliRdapTest, WhoisRdapPrintsTheStoredText)
{
    const CCliResult r = Cli({"whois", "--rdap", "74.125.225.229"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut.rfind("74.125.225.229\r\n\r\n"
                               "NetRange:       74.125.0.0 - 74.125.255.255\r\n"
                               "CIDR:           74.125.0.0/16\r\n"
                               "NetName:        GOOGLE\r\n"
                               "OrgName:        Google Inc.\r\n"
                               "Country:        US\r\n"
                               "OrgAbuseEmail:  arin-contact@google.com\r\n"
                               "Registry:       ARIN\r\n"
                               "RDAP URL:       " +
                                   m_rdap.BaseUrl("ok") + "ip/74.125.225.229\r\n\r\n",
                               0),
              0u)
        << r.m_strOut.substr(0, 400);
    // The JSON as received, and the final line end every result gets.
    std::string strJson = ReadFileBytes(TestDataPath("rdap/arin-ipwhois-74.125.225.229.json"));
    if (strJson.empty() || strJson.back() != '\n')
        strJson += '\n';
    EXPECT_EQ(RdapText::JsonOf(r.m_strOut), strJson);
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(CliRdapTest, WhoisRdapFallsBackToPort43)
{
    const CCliResult r = Cli({"whois", "--rdap", "130.66.76.222"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("answered 500; asking port 43"), std::string::npos) << r.m_strErr;
    EXPECT_EQ(r.m_strOut.rfind("130.66.76.222\r\n\r\n% This is the RIPE", 0), 0u);
}

TEST_F(CliRdapTest, ExtractRdapPrintsTheFacts)
{
    CCliResult r = Cli({"extract", "--rdap", TestDataPath("rdap/arin-ipwhois-74.125.225.229.json")});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "{\"facts\": {\"holder\": \"Google Inc.\", \"country\": \"US\", "
                          "\"rangeStart\": 1249705984, \"rangeEnd\": 1249771519, "
                          "\"range\": \"74.125.0.0 - 74.125.255.255\", \"abuse\": \"arin-contact@google.com\", "
                          "\"netName\": \"GOOGLE\", \"originAS\": null, \"registry\": \"ARIN\", "
                          "\"isRegistryStub\": false}}\n");

    // A network with a handle and no name, no contacts, no range.
    WriteFileBytes(m_dir.File("handle.json"), R"({"objectClassName": "ip network", "handle": "NET-1"})");
    r = Cli({"extract", "--rdap", m_dir.File("handle.json")});
    EXPECT_EQ(r.m_strOut, "{\"facts\": {\"holder\": \"NET-1\", \"country\": null, \"rangeStart\": null, "
                          "\"rangeEnd\": null, \"range\": null, \"abuse\": null, \"netName\": \"NET-1\", "
                          "\"originAS\": null, \"registry\": null, \"isRegistryStub\": false}}\n");

    WriteFileBytes(m_dir.File("page.html"), "<html><body>Bad gateway</body></html>");
    r = Cli({"extract", "--rdap", m_dir.File("page.html")});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strOut, "");
    EXPECT_NE(r.m_strErr.find("not an RDAP IP network answer"), std::string::npos);
}

TEST_F(CliRdapTest, LookupSourceOverridesTheSetting)
{
    const std::string doc = m_dir.File("d.qdl");
    CCliResult r = Cli({"lookup", doc, "--source", "rdap", "74.125.225.229", "62.239.237.1", "--tick", "20"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 2, skipped as fresh 0, failed 0\n");
    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_EQ(stored.GetData().GetOwner("62.239.237.1"), "BT-CORPORATE");
    EXPECT_EQ(stored.GetData().GetCountry("62.239.237.1"), "GB");
    EXPECT_FALSE(RdapText::JsonOf(stored.GetData().GetRawWhois("74.125.225.229")).empty());
    EXPECT_EQ(m_whois.Connections("127.0.0.2"), 0);

    // The settings say RDAP; --source whois asks port 43 only.
    const size_t asked = m_rdap.Requests();
    r = Cli({"lookup", m_dir.File("e.qdl"), "--source=whois", "130.66.76.1", "--tick", "20"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(m_rdap.Requests(), asked);
    EXPECT_EQ(m_whois.Connections("127.0.0.2"), 1);

    r = Cli({"lookup", doc, "--source", "ftp"});
    EXPECT_EQ(r.m_nStatus, 2);
}

// Real answers of awkward shapes, looked up over RDAP and exported as a table: the
// holder is the organisation rather than a maintainer listed first, the role that
// shares its string with another still gives no address it does not have.
TEST_F(CliRdapTest, LookedUpAnswersExportTheirFacts)
{
    const std::string doc = m_dir.File("r.qdl");
    CCliResult r = Cli({"lookup", doc, "--source", "rdap", "86.54.11.1", "201.127.0.1", "13.72.183.192",
                        "187.36.192.120", "--tick", "20"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    r = Cli({"export", doc, "--format", "json"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const nlohmann::json rows = nlohmann::json::parse(r.m_strOut, nullptr, false);
    ASSERT_TRUE(rows.is_array()) << r.m_strOut;
    const struct {
        const char* m_pszAddress;
        const char* m_pszHolder;
        const char* m_pszCountry;
        const char* m_pszRange;
        const char* m_pszAbuse;
        const char* m_pszRegistry;
    } expected[] = {
        {"86.54.11.1", "Whalebone, s.r.o.", "DE", "86.54.11.0 - 86.54.11.255", "abuse@whalebone.io", "RIPE"},
        {"201.127.0.1", "Uninet S.A. de C.V.", "", "201.127.0.0 - 201.127.255.255", "", "LACNIC"},
        {"13.72.183.192", "Microsoft Corporation", "US", "13.64.0.0 - 13.107.255.255", "abuse@microsoft.com", "ARIN"},
        {"187.36.192.120", "CLARO S.A.", "BR", "187.36.0.0 - 187.39.255.255", "", "NIC.br"},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.m_pszAddress);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const nlohmann::json& j) {
            return j.value("address", "") == e.m_pszAddress;
        });
        ASSERT_NE(row, rows.end());
        const auto text = [&](const char* key) {
            const auto it = row->find(key);
            return it == row->end() || !it->is_string() ? std::string() : it->get<std::string>();
        };
        EXPECT_EQ(text("holder"), e.m_pszHolder);
        EXPECT_EQ(text("country"), e.m_pszCountry);
        EXPECT_EQ(text("range"), e.m_pszRange);
        EXPECT_EQ(text("abuse"), e.m_pszAbuse);
        EXPECT_EQ(text("registry"), e.m_pszRegistry);
    }
}

} // namespace

TEST_F(CliRdapTest, IPv6AddressesGoToTheRdapServerOfTheirBlockAndReuseItsRange)
{
    m_rdap.SetAnswer("2001:4860:4860::8888",
                     ReadFileBytes(TestDataPath("rdap6/arin-ipwhois-google-2001-4860-4860--8888.json")));
    WriteFileBytes(m_dir.File("bootstrap.json"), R"({"services": [[["2001:4860::/32"], [")" + m_rdap.BaseUrl("ok") +
                                                     R"("]], [["0.0.0.0/0"], [")" + m_rdap.BaseUrl("ok") + "\"]]]}");
    // One lookup at a time, so that the second address waits for the first one's range.
    std::string settings = ReadFileBytes(m_dir.File("s.ini"));
    settings.replace(settings.find("[Settings]\n"), 11, "[Settings]\nIP%20Whois%20Simul%20Connections=1\n");
    WriteFileBytes(m_dir.File("s.ini"), settings);
    const std::string doc = m_dir.File("v6.qdl");
    const size_t nBefore = m_rdap.Requests();
    CCliResult r = Cli(
        {"lookup", doc, "--source", "rdap", "--json", "--tick", "5", "2001:4860:4860:0::8888", "2001:4860:ffff::1"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(m_rdap.Requests() - nBefore, 1u) << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("\"address\": \"2001:4860:ffff::1\""), std::string::npos) << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("\"reusedFrom\": \"2001:4860:4860::8888\""), std::string::npos) << r.m_strOut;
    EXPECT_NE(r.m_strOut.find("\"range\": \"2001:4860:: - 2001:4860:ffff:ffff:ffff:ffff:ffff:ffff\""),
              std::string::npos)
        << r.m_strOut;

    // whois --rdap: the stored form, headed by the canonical address.
    r = Cli({"whois", "--rdap", "2001:4860:4860:0:0:0:0:8888"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut.rfind("2001:4860:4860::8888\r\n\r\nNetRange:", 0), 0u) << r.m_strOut;
}
