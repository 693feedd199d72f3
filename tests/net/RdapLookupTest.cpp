#include "LoopbackRdapServer.h"
#include "core/record/IPAddressData.h"
#include "facts/RdapText.h"
#include "net/RdapBootstrap.h"
#include "net/RdapClient.h"
#include "net/WhoisServerTable.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string BootstrapFor(const std::vector<std::pair<std::string, std::string>>& prefixes)
{
    std::string services;
    for (const auto& [prefix, url] : prefixes) {
        if (!services.empty())
            services += ",";
        services += "[[\"" + prefix + "\"], [\"" + url + "\"]]";
    }
    return R"({"version": "1.0", "publication": "2026-01-01T00:00:00Z", "services": [)" + services + "]}";
}

CRdapBootstrap Bootstrap(const std::vector<std::pair<std::string, std::string>>& prefixes)
{
    CRdapBootstrap b;
    std::string error;
    EXPECT_TRUE(b.Parse(BootstrapFor(prefixes), error)) << error;
    return b;
}

CWhoisServerTable ShortLimits()
{
    CWhoisServerTable t;
    t.m_nConnectTimeoutMs = 2000;
    t.m_nIdleTimeoutMs = 1000;
    t.m_nAnswerTimeoutMs = 2000;
    t.m_nMaxAnswerBytes = 1024 * 1024;
    return t;
}

class RdapLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.LoadAnswers(TestDataPath("rdap")));
        ASSERT_TRUE(m_server.Start());
        m_server.SetRedirectBase(m_server.BaseUrl("ok"));
        m_resolver.AddHost("www.example.org", 0x4A7DE1E5u); // 74.125.225.229
    }

    // Every address goes to the server's given mode.
    CRdapClient ClientFor(const std::string& mode, const std::string& caFile = std::string())
    {
        return CRdapClient(Bootstrap({{"0.0.0.0/0", m_server.BaseUrl(mode)}}), ShortLimits(), caFile);
    }

    ERdapOutcome Lookup(CRdapClient& client, const std::string& target)
    {
        m_result.clear();
        m_message.clear();
        return client.Lookup(target, m_result, m_message, m_resolver);
    }

    CLoopbackRdapServer m_server;
    CFakeNameResolver m_resolver;
    std::string m_result;
    std::string m_message;
};

TEST_F(RdapLookupTest, RealAnswersAreStoredAsSummaryAndJson)
{
    const struct {
        const char* m_pszAddress;
        const char* m_pszFile;
        const char* m_pszOwner;
        const char* m_pszCountry;
        uint32_t m_dwStart;
    } cases[] = {
        {"74.125.225.229", "arin-ipwhois-74.125.225.229.json", "Google Inc.", "US", 0x4A7D0000u},
        {"62.239.237.1", "ripe-ipwhois-62.239.237.1.json", "BT-CORPORATE", "GB", 0x3EEFED00u},
        {"210.107.73.73", "apnic-ipwhois-210.107.73.73.json", "DACOM Corp.", "KR", 0xD26B0000u},
        {"200.57.141.161", "lacnic-ipwhois-200.57.141.161.json", "Triara.com, S.A. de C.V.", "MX", 0xC8398DA1u},
        {"196.11.240.215", "afrinic-ipwhois-196.11.240.215.json", "ORG-VSA1-AFRINIC", "ZA", 0xC40BEF00u},
    };
    CRdapClient client = ClientFor("ok");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszAddress);
        ASSERT_EQ(Lookup(client, c.m_pszAddress), ERdapOutcome::result) << m_message;
        EXPECT_EQ(m_result.rfind(std::string(c.m_pszAddress) + "\r\n\r\nNetRange:", 0), 0u);
        EXPECT_NE(m_result.find("\r\nRDAP URL:       " + m_server.BaseUrl("ok") + "ip/" + c.m_pszAddress + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(RdapText::JsonOf(m_result), ReadFileBytes(TestDataPath(std::string("rdap/") + c.m_pszFile)));
        CIPAddressData rec;
        rec.SetRawWhois(m_result);
        EXPECT_EQ(rec.GetOwner(), c.m_pszOwner);
        EXPECT_EQ(rec.GetCountry(), c.m_pszCountry);
        EXPECT_EQ(rec.GetRangeStart(), c.m_dwStart);
    }
}

TEST_F(RdapLookupTest, HostNameIsResolvedAndNamedInTheFirstLine)
{
    CRdapClient client = ClientFor("ok");
    ASSERT_EQ(Lookup(client, "www.example.org"), ERdapOutcome::result) << m_message;
    EXPECT_EQ(m_result.rfind("74.125.225.229 [www.example.org]\r\n\r\n", 0), 0u);
    EXPECT_EQ(Lookup(client, "nowhere.example"), ERdapOutcome::result);
    EXPECT_EQ(m_result, "Unable to resolve host");
}

TEST_F(RdapLookupTest, RedirectBetweenRegistriesIsFollowed)
{
    // ARIN's server sends a RIPE address on; the answer names the URL that gave it.
    CRdapClient client = ClientFor("moved");
    ASSERT_EQ(Lookup(client, "62.239.237.1"), ERdapOutcome::result) << m_message;
    EXPECT_NE(m_result.find("RDAP URL:       " + m_server.BaseUrl("ok") + "ip/62.239.237.1"), std::string::npos);
    EXPECT_NE(m_result.find("Registry:       RIPE\r\n"), std::string::npos);
}

TEST_F(RdapLookupTest, NotFoundIsANoMatchResult)
{
    CRdapClient client = ClientFor("notfound");
    ASSERT_EQ(Lookup(client, "192.0.2.1"), ERdapOutcome::result);
    EXPECT_EQ(m_result.rfind("192.0.2.1\r\n\r\nNo match found for 192.0.2.1.\r\n", 0), 0u);
    EXPECT_EQ(m_server.Requests(), 1u);
}

TEST_F(RdapLookupTest, OverLimitWaitsForRetryAfterWithoutAsking)
{
    const struct {
        const char* m_pszMode;
        const char* m_pszRetryAfter;
        const char* m_pszWait;
    } cases[] = {
        {"limit", "120", "in 120 s"},    {"limit", "", "in 60 s"}, // absent: a minute
        {"limit", "5", "in 60 s"}, // too short: a minute
        {"limit", "86400", "in 3600 s"}, // too long: an hour
        {"busy", "", "in 60 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.m_pszMode) + " " + c.m_pszRetryAfter);
        m_server.SetRetryAfter(c.m_pszRetryAfter);
        CRdapClient client = ClientFor(c.m_pszMode);
        const size_t before = m_server.Requests();
        ASSERT_EQ(Lookup(client, "192.0.2.1"), ERdapOutcome::overLimit);
        EXPECT_NE(m_message.find(c.m_pszWait), std::string::npos) << m_message;
        EXPECT_TRUE(m_result.empty());
        // The same registry is not asked again before its time, for any address.
        EXPECT_EQ(Lookup(client, "192.0.2.2"), ERdapOutcome::overLimit);
        EXPECT_EQ(m_server.Requests(), before + 1);
    }
}

TEST_F(RdapLookupTest, OverLimitRegistryDoesNotBlockOthers)
{
    CRdapClient client(Bootstrap({{"192.0.2.0/24", m_server.BaseUrl("limit")}, {"0.0.0.0/0", m_server.BaseUrl("ok")}}),
                       ShortLimits(), "");
    EXPECT_EQ(Lookup(client, "192.0.2.1"), ERdapOutcome::overLimit);
    EXPECT_EQ(Lookup(client, "74.125.225.229"), ERdapOutcome::result);
}

// Each bad answer ends in a clear message and the port-43 fallback, within the time-outs.
TEST_F(RdapLookupTest, BadAnswersFallBackToWhois)
{
    const struct {
        const char* m_pszMode;
        const char* m_pszMessage;
    } cases[] = {
        {"badjson", "no RDAP network object"},
        {"deep", "no RDAP network object"},
        {"html", "no RDAP network object"},
        {"huge", "larger than the answer limit"},
        {"loop", "more than 5 redirects"},
        {"offsite", "refusing plain http to a non-loopback address"},
        {"fail", "answered 500"},
        {"cut", "RDAP lookup failed"},
        {"hang", "RDAP lookup failed"},
        {"trickle", "RDAP lookup failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszMode);
        CRdapClient client = ClientFor(c.m_pszMode);
        const auto start = Clock::now();
        EXPECT_EQ(Lookup(client, "74.125.225.229"), ERdapOutcome::fallback);
        EXPECT_NE(m_message.find(c.m_pszMessage), std::string::npos) << m_message;
        EXPECT_TRUE(m_result.empty());
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
    }
}

TEST_F(RdapLookupTest, AddressesTheBootstrapDoesNotCoverFallBack)
{
    CRdapClient client(Bootstrap({{"10.0.0.0/8", m_server.BaseUrl("ok")}}), ShortLimits(), "");
    EXPECT_EQ(Lookup(client, "74.125.225.229"), ERdapOutcome::fallback);
    EXPECT_NE(m_message.find("no RDAP server is known for 74.125.225.229"), std::string::npos);
    EXPECT_EQ(m_server.Requests(), 0u);
}

TEST_F(RdapLookupTest, RedirectsAreCheckedBeforeConnecting)
{
    // To a private address, from loopback over https to a documentation address, to another scheme.
    const char* targets[] = {"http://10.0.0.1/ip/", "https://192.0.2.10/ip/", "ftp://127.0.0.1/ip/"};
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        m_server.SetRedirectBase(target);
        CRdapClient client = ClientFor("moved");
        const auto start = Clock::now();
        EXPECT_EQ(Lookup(client, "74.125.225.229"), ERdapOutcome::fallback);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << m_message;
    }
}

class RdapHttpsTest : public RdapLookupTest
{
protected:
    void SetUp() override
    {
        RdapLookupTest::SetUp();
        ASSERT_TRUE(CLoopbackRdapServer::MakeCertificate(m_dir.Path().string(), m_strCert, m_strKey));
        ASSERT_TRUE(m_https.LoadAnswers(TestDataPath("rdap")));
        ASSERT_TRUE(m_https.Start(m_strCert, m_strKey));
    }
    CTempDir m_dir;
    std::string m_strCert, m_strKey;
    CLoopbackRdapServer m_https;
};

TEST_F(RdapHttpsTest, TestCaIsTrustedAndNothingElse)
{
    CRdapClient trusting(Bootstrap({{"0.0.0.0/0", m_https.BaseUrl("ok")}}), ShortLimits(), m_strCert);
    ASSERT_EQ(Lookup(trusting, "74.125.225.229"), ERdapOutcome::result) << m_message;
    EXPECT_NE(m_result.find("OrgName:        Google Inc.\r\n"), std::string::npos);

    // The same server without its CA: the certificate does not verify.
    CRdapClient plain(Bootstrap({{"0.0.0.0/0", m_https.BaseUrl("ok")}}), ShortLimits(), "");
    EXPECT_EQ(Lookup(plain, "74.125.225.229"), ERdapOutcome::fallback);
    EXPECT_NE(m_message.find("RDAP lookup failed"), std::string::npos);
}

TEST_F(RdapHttpsTest, HttpsToHttpOnlyBetweenLoopbackAddresses)
{
    m_https.SetRedirectBase(m_server.BaseUrl("ok"));
    CRdapClient client(Bootstrap({{"0.0.0.0/0", m_https.BaseUrl("moved")}}), ShortLimits(), m_strCert);
    EXPECT_EQ(Lookup(client, "200.57.141.161"), ERdapOutcome::result) << m_message;
}

// Bootstrap files the user names: each problem is reported and the shipped table is used.
TEST(RdapBootstrapTest, UnusableFileFallsBackToTheShippedSnapshot)
{
    CTempDir dir;
    WriteFileBytes(dir.File("empty.json"), "");
    WriteFileBytes(dir.File("bad.json"), "{\"services\": [[[\"8.0.0.0/8\"], ");
    WriteFileBytes(dir.File("noprefix.json"), R"({"services": [[["2001:db8::/129", "8.0.0.0/99"], ["https://x/"]]]})");
    WriteFileBytes(dir.File("deep.json"), std::string(10000, '['));
    const struct {
        std::string m_strFile;
        const char* m_pszProblem;
    } cases[] = {
        {dir.File("missing.json"), "cannot open"}, {dir.File("empty.json"), "empty"},
        {dir.File("bad.json"), "not valid JSON"},  {dir.File("noprefix.json"), "no usable IPv4 or IPv6 prefix"},
        {dir.File("deep.json"), "nests too deep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strFile);
        std::string problem;
        const CRdapBootstrap b = CRdapBootstrap::Load(c.m_strFile, problem);
        EXPECT_NE(problem.find(c.m_pszProblem), std::string::npos) << problem;
        EXPECT_EQ(b.BaseUrl(0x08080808u), "https://rdap.arin.net/registry/");
        EXPECT_EQ(b.BaseUrl(0xC1000001u), "https://rdap.db.ripe.net/");
    }
    std::string problem;
    EXPECT_EQ(CRdapBootstrap::Load("", problem).Publication(), "2019-06-07T19:00:02Z");
    EXPECT_TRUE(problem.empty());
}

TEST(RdapBootstrapTest, LongestPrefixWinsAndHttpsIsPreferred)
{
    CRdapBootstrap b;
    std::string error;
    ASSERT_TRUE(b.Parse(R"({"services": [
        [["8.0.0.0/8"], ["http://wide.example/", "https://wide.example/"]],
        [["8.8.0.0/16"], ["https://narrow.example"]],
        [["9.0.0.0/8", "nonsense", 7], ["http://plain.example/"]]]})",
                        error))
        << error;
    EXPECT_EQ(b.BaseUrl(0x08080808u), "https://narrow.example/");
    EXPECT_EQ(b.BaseUrl(0x08090000u), "https://wide.example/");
    EXPECT_EQ(b.BaseUrl(0x09000001u), "http://plain.example/");
    EXPECT_EQ(b.BaseUrl(0x0A000001u), "");
}

// Several workers at once, each with its own connection, against one server.
class RdapLookupThreadedTest : public RdapLookupTest
{ };

TEST_F(RdapLookupThreadedTest, LookupsShareOneClient)
{
    CRdapClient client = ClientFor("ok");
    std::vector<std::thread> threads;
    std::atomic<int> results {0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            CFakeNameResolver resolver;
            for (int i = 0; i < 10; ++i) {
                std::string result, message;
                if (client.Lookup(i % 2 ? "62.239.237.1" : "74.125.225.229", result, message, resolver) ==
                    ERdapOutcome::result)
                    ++results;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(results.load(), 40);
}

} // namespace
