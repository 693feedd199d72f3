#include "LoopbackRdapServer.h"
#include "core/record/IPAddress.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"
#include "net/RdapBootstrap.h"
#include "net/RdapClient.h"
#include "net/WhoisServerTable.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

CIPAddress Address(const char* text)
{
    return *ParseIPAddress(text);
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

CRdapBootstrap BootstrapOf(const std::string& json)
{
    CRdapBootstrap b;
    std::string error;
    EXPECT_TRUE(b.Parse(json, error)) << error;
    return b;
}

} // namespace

// The shipped IPv6 table names each registry's blocks; IPv4 is untouched by it.
TEST(RdapBootstrap6Test, ShippedTableChoosesTheRegistry)
{
    const CRdapBootstrap b = CRdapBootstrap::Shipped();
    EXPECT_EQ(b.Publication6(), "2019-11-06T19:00:04Z");
    EXPECT_EQ(b.Publication(), "2019-06-07T19:00:02Z");
    const struct {
        const char* address;
        const char* registry;
    } cases[] = {
        {"2001:4860:4860::8888", "ARIN"},
        {"2604:180:3:2e2::d865", "ARIN"},
        {"2a00:2381:ffff::1", "RIPE"},
        {"2001:41d0:2:193d::5", "RIPE"},
        {"2001:240:10c:1::ca20:9d1d", "APNIC"},
        {"2801:10:c000::", "LACNIC"},
        {"2001:43f8:7b0::", "AFRINIC"},
        {"2c0f:f248::1", "AFRINIC"},
        // Not delegated (the old 6bone block, unique-local): no server, the whois lookup answers.
        {"3ffe::1", ""},
        {"fd00::1", ""},
        // The IPv4 table still answers for IPv4 addresses.
        {"::ffff:8.8.8.8", "ARIN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(b.RegistryOf(Address(c.address)), c.registry) << c.address;
    EXPECT_EQ(b.BaseUrl(Address("2a00:2381:ffff::1")), "https://rdap.db.ripe.net/");
    // A registry named by the delegation data picks its own server among the table's.
    const std::pair<const char*, const char*> servers[] = {{"RIPE", "https://rdap.db.ripe.net/"},
                                                           {"ARIN", "https://rdap.arin.net/registry/"},
                                                           {"AFRINIC", "https://rdap.afrinic.net/rdap/"},
                                                           {"", ""},
                                                           {"NOBODY", ""}};
    for (const auto& [pszRegistry, pszUrl] : servers)
        EXPECT_EQ(b.BaseUrlOfRegistry(pszRegistry), pszUrl) << pszRegistry;
}

TEST(RdapBootstrap6Test, FilesReplaceOnlyTheFamiliesTheyList)
{
    CTempDir dir;
    WriteFileBytes(dir.File("v4.json"), R"({"services": [[["0.0.0.0/0"], ["http://four.example/"]]]})");
    WriteFileBytes(dir.File("v6.json"),
                   R"({"services": [[["2001:db8::/32", "::/129", "2001:db8::1"],
                                     ["http://six.example/"]], [["2001:db8:1::/48"], ["https://longer.example"]]]})");
    std::string problem;
    const CRdapBootstrap four = CRdapBootstrap::Load(dir.File("v4.json"), problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(four.BaseUrl(0x08080808u), "http://four.example/");
    EXPECT_EQ(four.RegistryOf(Address("2001:4860::1")), "ARIN");
    const CRdapBootstrap six = CRdapBootstrap::Load(dir.File("v6.json"), problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(six.BaseUrl(0x08080808u), "https://rdap.arin.net/registry/");
    EXPECT_EQ(six.BaseUrl(Address("2001:db8:2::1")), "http://six.example/");
    EXPECT_EQ(six.BaseUrl(Address("2001:db8:1::1")), "https://longer.example/");
    EXPECT_EQ(six.BaseUrl(Address("2001:4860::1")), "");
}

TEST(RdapIPv6LookupTest, RealAnswersAreStoredAndReadForTheAddress)
{
    CLoopbackRdapServer server;
    ASSERT_TRUE(server.Start());
    const struct {
        const char* typed;
        const char* address;
        const char* file;
        const char* holder;
        const char* country;
        const char* range;
    } cases[] = {
        {"2001:4860:4860:0::8888", "2001:4860:4860::8888", "arin-ipwhois-google-2001-4860-4860--8888.json",
         "Google Inc.", "US", "2001:4860::/32"},
        {"2604:180:3:2e2::d865", "2604:180:3:2e2::d865", "arin-nicinfo-ramnode-2604-180-3-2e2--d865.json",
         "RamNode LLC", "US", "2604:180::/32"},
        {"2A00:2381:FFFF::1", "2a00:2381:ffff::1", "ripe-ipwhois-bt-2a00-2381-ffff--1.json", "BT World IPv6 Launch",
         "GB", "2a00:2381:ffff::/64"},
        {"2001:240:10c:1::ca20:9d1d", "2001:240:10c:1::ca20:9d1d",
         "apnic-ipwhois-jpnic-block-2001-240-10c-1--ca20-9d1d.json", "Japan Network Information Center", "JP",
         "2001:240::/32"},
        {"2001:43f8:7b0::", "2001:43f8:7b0::", "afrinic-ipwhois-tespok-2001-43f8-7b0--.json", "ORG-TA38-AFRINIC", "KE",
         "2001:43f8:7b0::/48"},
        {"2801:10:c000::", "2801:10:c000::", "lacnic-ipwhois-uco-2801-10-c000--.json",
         "Universidad Catolica de Oriente", "CO", "2801:10:c000::/128"},
    };
    for (const auto& c : cases)
        server.SetAnswer(c.address, ReadFileBytes(TestDataPath(std::string("rdap6/") + c.file)));
    const std::string base = server.BaseUrl("ok");
    CRdapClient client(BootstrapOf(R"({"services": [[["::/0"], [")" + base + R"("]]]})"), ShortLimits(), "");
    CFakeNameResolver resolver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string result;
        std::string message;
        CRdapRegistryReport report;
        ASSERT_EQ(client.Lookup(c.typed, result, message, resolver, &report), ERdapOutcome::result) << message;
        EXPECT_EQ(result.rfind(std::string(c.address) + "\r\n\r\nNetRange:", 0), 0u);
        EXPECT_NE(result.find("RDAP URL:       " + base + "ip/" + c.address + "\r\n"), std::string::npos);
        EXPECT_EQ(RdapText::JsonOf(result), ReadFileBytes(TestDataPath(std::string("rdap6/") + c.file)));
        const CWhoisFacts facts = ReadWhoisFacts(result, Address(c.address));
        EXPECT_EQ(facts.m_strHolder, c.holder);
        EXPECT_EQ(facts.m_strCountry, c.country);
        ASSERT_TRUE(facts.m_range6);
        EXPECT_EQ(facts.m_range6->ToString(), c.range);
        EXPECT_FALSE(facts.m_bMissesAddress);
    }
    // An address the table holds no server for goes to the port-43 lookup.
    CRdapClient narrow(BootstrapOf(R"({"services": [[["2001:db8::/32"], [")" + base + R"("]]]})"), ShortLimits(), "");
    std::string result;
    std::string message;
    EXPECT_EQ(narrow.Lookup("2a00::1", result, message, resolver), ERdapOutcome::fallback);
    EXPECT_EQ(message, "no RDAP server is known for 2a00::1");
    EXPECT_EQ(narrow.Lookup("2001:db8::1%eth0", result, message, resolver), ERdapOutcome::fallback);
    EXPECT_EQ(narrow.Lookup("2001:db8::404", result, message, resolver), ERdapOutcome::result);
    EXPECT_EQ(result.rfind("2001:db8::404\r\n\r\n", 0), 0u);
}
