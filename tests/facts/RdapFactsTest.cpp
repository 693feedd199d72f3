#include "facts/RdapFacts.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPAddressData.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string Answer(const std::string& name)
{
    return ReadFileBytes(TestDataPath("rdap/" + name));
}

struct CRealAnswer {
    const char* m_pszFile;
    const char* m_pszHolder;
    const char* m_pszCountry;
    const char* m_pszStart;
    const char* m_pszEnd;
    const char* m_pszAbuse;
    const char* m_pszNetName;
    const char* m_pszRegistry;
};

// Each row notes what makes that answer awkward.
const CRealAnswer kRealAnswers[] = {
    // zero-padded addresses; the abuse contact sits in an entity nested in the registrant
    {"arin-ipwhois-74.125.225.229.json", "Google Inc.", "US", "74.125.0.0", "74.125.255.255", "arin-contact@google.com",
     "GOOGLE", "ARIN"},
    // addresses written "a.b.c.d/32"; the registrant is a maintainer without a card
    {"ripe-ipwhois-62.239.237.1.json", "BT-CORPORATE", "GB", "62.239.237.0", "62.239.237.255", "zzdnsr@bt.com",
     "BT-CORPORATE", "RIPE"},
    // no registrant at all: the network's description names the holder
    {"apnic-ipwhois-210.107.73.73.json", "DACOM Corp.", "KR", "210.107.0.0", "210.107.127.255", "hostmaster@nic.or.kr",
     "BORANET-NET-210-107", "APNIC"},
    // the registrant's organisation, not its nested contact person
    {"lacnic-ipwhois-200.57.141.161.json", "Triara.com, S.A. de C.V.", "MX", "200.57.141.161", "200.57.141.161",
     "operacion.redes@TRIARA.COM", "Triara.com, S.A. de C.V.", "LACNIC"},
    // no abuse role: the address comes from a remark
    {"afrinic-ipwhois-196.11.240.215.json", "ORG-VSA1-AFRINIC", "ZA", "196.11.239.0", "196.11.246.255",
     "abuse@mtnbusiness.co.za", "ORG-VSA1-AFRINIC", "AFRINIC"},
    // cidr0 list of three prefixes; the abuse contact is nested in the registrant with others
    {"arin-whoisit-cidr0-13.72.183.192.json", "Microsoft Corporation", "US", "13.64.0.0", "13.107.255.255",
     "abuse@microsoft.com", "MSFT", "ARIN"},
    // maintainers listed as registrants before the organisation (and nested in the abuse role)
    {"ripe-iplocatorapi-maintainers-first-86.54.11.1.json", "Whalebone, s.r.o.", "DE", "86.54.11.0", "86.54.11.255",
     "abuse@whalebone.io", "CZ-WHALEBONEDNS-20050512", "RIPE"},
    // legacy block: the registrants are bare handles without cards, no description
    {"ripe-whoisit-legacy-130.59.31.80.json", "SWITCH-LAN", "CH", "130.59.0.0", "130.59.255.255", "abuse@switch.ch",
     "SWITCH-LAN", "RIPE"},
    // no registrant; a remark names another abuse address than the abuse role's
    {"apnic-whoisit-1.1.1.1.json", "APNIC and Cloudflare DNS Resolver project", "AU", "1.1.1.0", "1.1.1.255",
     "helpdesk@apnic.net", "APNIC-LABS", "APNIC"},
    // an irt as the abuse role; the holder only in the description remark
    {"apnic-nicinfo-irt-111.1.1.1.json", "China Mobile Communications Corporation", "CN", "111.0.0.0", "111.63.255.255",
     "abuse@chinamobile.com", "CMNET", "APNIC"},
    // the whole address space: no abuse role, the registrant's card says where to look
    {"afrinic-webdevtools-whole-space-0.0.0.0.json", "Internet Assigned Numbers Authority", "EU", "0.0.0.0",
     "255.255.255.255", "", "ORG-IANA1-AFRINIC", "AFRINIC"},
    // the network's own abuse contact and, nested in the registrant, the organisation's
    {"arin-nicinfo-two-abuse-contacts-108.45.128.208.json", "MCI Communications Services, Inc. d/b/a Verizon Business",
     "US", "108.0.0.0", "108.57.255.255", "abuse@verizon.net", "VIS-BLOCK", "ARIN"},
    // no country anywhere; "technical, abuse" as one role string, without an e-mail
    {"lacnic-nicinfo-roles-in-one-string-201.127.0.1.json", "Uninet S.A. de C.V.", "", "201.127.0.0", "201.127.255.255",
     "", "201.127.0.0/16", "LACNIC"},
    // entities without roles: the organisation's card names the holder
    {"afrinic-nicinfo-no-roles-196.216.2.20.json", "ORG-AFNC1-AFRINIC", "ZA", "196.216.2.0", "196.216.3.255", "",
     "ORG-AFNC1-AFRINIC", "AFRINIC"},
    // registro.br, truncated by the server: the abuse contact has no e-mail
    {"nicbr-nicinfo-truncated-187.36.192.120.json", "CLARO S.A.", "BR", "187.36.0.0", "187.39.255.255", "", "126560",
     "NIC.br"},
    // RIPE's descr lines as remarks without a title; the first describes the network
    {"ripe-nicinfo-untitled-descr-194.85.61.205.json", "Regional Network Information Center", "RU", "194.85.61.0",
     "194.85.61.255", "ip-reg@ripn.net", "RU-NCC-NET", "RIPE"},
    // the first description line describes the network, the second names the company
    {"apnic-nicinfo-province-descr-61.181.2.38.json", "China Unicom", "CN", "61.181.0.0", "61.181.255.255",
     "hqs-ipabuse@chinaunicom.cn", "UNICOM-TJ", "APNIC"},
};

TEST(RdapFactsTest, RealAnswersOfEveryRegistry)
{
    for (const CRealAnswer& row : kRealAnswers) {
        SCOPED_TRACE(row.m_pszFile);
        const CWhoisFacts f = ReadRdapFacts(Answer(row.m_pszFile));
        EXPECT_TRUE(f.m_bFromRdap);
        EXPECT_EQ(f.m_strHolder, row.m_pszHolder);
        EXPECT_EQ(f.m_strCountry, row.m_pszCountry);
        ASSERT_TRUE(f.m_bHasRange);
        EXPECT_EQ(FormatDottedQuad(f.m_dwRangeStart), row.m_pszStart);
        EXPECT_EQ(FormatDottedQuad(f.m_dwRangeEnd), row.m_pszEnd);
        EXPECT_EQ(f.m_strAbuse, row.m_pszAbuse);
        EXPECT_EQ(f.m_strNetName, row.m_pszNetName);
        EXPECT_EQ(f.m_strRegistry, row.m_pszRegistry);
    }
}

// The stored text must read right through the existing whois extraction, and give
// back the same facts through its JSON part.
TEST(RdapFactsTest, StoredTextReadsLikeAWhoisAnswer)
{
    for (const CRealAnswer& row : kRealAnswers) {
        SCOPED_TRACE(row.m_pszFile);
        const std::string json = Answer(row.m_pszFile);
        const CWhoisFacts f = ReadRdapFacts(json);
        const std::string text = RdapText::Compose("192.0.2.1", f, "", "https://rdap.example/ip/192.0.2.1", json);
        EXPECT_EQ(text.substr(0, 13), "192.0.2.1\r\n\r\n");
        EXPECT_EQ(RdapText::JsonOf(text), json);
        EXPECT_EQ(ReadRdapFacts(RdapText::JsonOf(text)), f);

        CIPAddressData rec;
        rec.SetRawWhois(text);
        EXPECT_EQ(rec.GetOwner(), row.m_pszHolder);
        EXPECT_EQ(rec.GetCountry(), row.m_pszCountry);
        EXPECT_EQ(FormatDottedQuad(rec.GetRangeStart()), row.m_pszStart);
        EXPECT_EQ(FormatDottedQuad(rec.GetRangeEnd()), row.m_pszEnd);
    }
}

TEST(RdapFactsTest, SummaryCannotBeSplitByLineBreaksInTheAnswer)
{
    const std::string json = R"({"objectClassName": "ip network", "startAddress": "192.0.2.0",
        "endAddress": "192.0.2.255", "name": "NET\r\nCountry: XX", "country": "NL"})";
    const std::string text = RdapText::Compose("192.0.2.1", ReadRdapFacts(json), "", "u", json);
    CIPAddressData rec;
    rec.SetRawWhois(text);
    EXPECT_EQ(rec.GetCountry(), "NL");
    EXPECT_EQ(RdapText::JsonOf(text), json);
}

TEST(RdapFactsTest, OnlyStoredRdapTextsHaveAJsonPart)
{
    const struct {
        const char* m_pszText;
        bool m_bRdap;
    } cases[] = {
        {"192.0.2.1\r\n\r\nNetName: X\r\nRDAP URL: u\r\n\r\n{}", true},
        {"192.0.2.1\r\n\r\nNetRange: 1 - 2\r\nOrgName: X\r\n", false}, // a whois answer
        {"192.0.2.1\r\n\r\nRDAP URL: u\r\n\r\nnot json", false},
        {"192.0.2.1\r\n\r\nRDAP URL: u\r\n{}", false}, // no blank line before the JSON
        {"", false},
        {"RDAP URL: u\r\n\r\n{}", false}, // no address line

    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszText);
        EXPECT_EQ(!RdapText::JsonOf(c.m_pszText).empty(), c.m_bRdap);
    }
    // A host name lookup's first line names the longest host name there can be.
    EXPECT_EQ(RdapText::JsonOf("192.0.2.1 [" + std::string(253, 'h') + "]\r\n\r\nRDAP URL: u\r\n\r\n{}"), "{}");
}

TEST(RdapFactsTest, AddressForms)
{
    const struct {
        const char* m_pszText;
        bool m_bOk;
        const char* m_pszAddress;
    } cases[] = {
        {"074.125.000.000", true, "74.125.0.0"},
        {"62.239.237.255/32", true, "62.239.237.255"},
        {"0.0.0.0", true, "0.0.0.0"},
        {"255.255.255.255", true, "255.255.255.255"},
        {"256.1.1.1", false, ""},
        {"1.2.3", false, ""},
        {"1.2.3.4.5", false, ""},
        {"1.2.3.4x", false, ""},
        {"0001.2.3.4", false, ""},
        {"", false, ""},
        {"2001:db8::", false, ""},
        {"-1.2.3.4", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszText);
        uint32_t a = 0;
        ASSERT_EQ(RdapText::ParseAddress(c.m_pszText, a), c.m_bOk);
        if (c.m_bOk) {
            EXPECT_EQ(FormatDottedQuad(a), c.m_pszAddress);
        }
    }
}

TEST(RdapFactsTest, HandleNamesTheNetworkWithoutAName)
{
    const CWhoisFacts f = ReadRdapFacts(R"({"objectClassName": "ip network", "handle": "NET-192-0-2-0-1",
        "cidr0_cidrs": [{"v4prefix": "192.0.2.0", "length": 24}]})");
    EXPECT_EQ(f.m_strNetName, "NET-192-0-2-0-1");
    ASSERT_TRUE(f.m_bHasRange);
    EXPECT_EQ(FormatDottedQuad(f.m_dwRangeStart), "192.0.2.0");
    EXPECT_EQ(FormatDottedQuad(f.m_dwRangeEnd), "192.0.2.255");
}

// Shapes seen in registries' answers that a reader keyed to the usual one gets wrong.
TEST(RdapFactsTest, RegistryQuirks)
{
    const struct {
        const char* m_pszJson;
        const char* m_pszHolder;
        const char* m_pszAbuse;
        const char* m_pszOriginAS;
    } cases[] = {
        // several roles in one string
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [{"roles": ["technical, abuse"],
            "vcardArray": ["vcard", [["email", {}, "text", "abuse@example.net"]]]}]})",
         "", "abuse@example.net", ""},
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [{"roles": ["technical,abuser"],
            "vcardArray": ["vcard", [["email", {}, "text", "abuse@example.net"]]]}]})",
         "", "", ""},
        // maintainers as registrants, with cards that repeat their handles, around the organisation
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [
            {"handle": "EX-MNT", "roles": ["registrant"], "vcardArray": ["vcard", [["fn", {}, "text", "EX-MNT"]]]},
            {"handle": "mnt-ex", "roles": ["registrant"], "vcardArray": ["vcard", [["fn", {}, "text", "mnt-ex"]]]},
            {"handle": "ORG-EX1-RIPE", "roles": ["registrant"], "vcardArray": ["vcard", [["fn", {}, "text", "Example BV"],
             ["kind", {}, "text", "org"]]]}]})",
         "Example BV", "", ""},
        // only a maintainer: the network's name says more
        {R"({"name": "EX-NET", "startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [
            {"handle": "EX-MNT", "roles": ["registrant"], "vcardArray": ["vcard", [["fn", {}, "text", "EX-MNT"]]]}]})",
         "EX-NET", "", ""},
        // registro.br names the block's AS
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "nicbr_autnum": 28573})", "", "", "AS28573"},
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "nicbr_autnum": "28573"})", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszJson);
        const CWhoisFacts f = ReadRdapFacts(c.m_pszJson);
        EXPECT_EQ(f.m_strHolder, c.m_pszHolder);
        EXPECT_EQ(f.m_strAbuse, c.m_pszAbuse);
        EXPECT_EQ(f.m_strOriginAS, c.m_pszOriginAS);
    }
    EXPECT_EQ(ReadRdapFacts(Answer("nicbr-nicinfo-truncated-187.36.192.120.json")).m_strOriginAS, "AS28573");
}

// Hostile or broken bodies: each gives empty facts, never a crash or a deep recursion.
TEST(RdapFactsTest, BadBodiesGiveNoFacts)
{
    const std::string cases[] = {
        R"({"objectClassName": "ip network", "name": )", // invalid JSON
        std::string(10000, '[') + std::string(10000, ']'), // nested 10,000 deep
        std::string(10000, '{'), // deep and unterminated
        "<html><body><h1>503 Service Unavailable</h1></body></html>", // not RDAP
        R"({"errorCode": 404, "title": "Not Found"})", // an RDAP error, not a network
        R"(["ip network"])",
        "",
        std::string("{\"name\": \"a\0b\"}", 15),
    };
    for (const std::string& body : cases) {
        SCOPED_TRACE(body.substr(0, 40));
        EXPECT_EQ(ReadRdapFacts(body), CWhoisFacts());
    }
}

TEST(RdapFactsTest, WrongTypesAreIgnored)
{
    const CWhoisFacts f = ReadRdapFacts(R"({"objectClassName": "ip network", "startAddress": 5, "endAddress": null,
        "name": ["x"], "country": {}, "entities": [7, "x", {"roles": "registrant", "vcardArray": 3},
        {"roles": ["registrant"], "vcardArray": ["vcard", [["fn"], ["fn", {}, "text", 5], ["org", {}, "text", ["Org"]]]]},
        {"roles": ["abuse"], "vcardArray": ["vcard", "x"]}],
        "cidr0_cidrs": [{"v4prefix": "10.0.0.0", "length": 99}, {"v4prefix": 1, "length": -1}],
        "remarks": [{"description": "abuse@x"}, 3], "port43": 43, "links": [{"href": 1}]})");
    EXPECT_TRUE(f.m_bFromRdap);
    EXPECT_EQ(f.m_strHolder, "Org");
    EXPECT_FALSE(f.m_bHasRange);
    EXPECT_TRUE(f.m_strAbuse.empty());
    EXPECT_TRUE(f.m_strCountry.empty());
}

TEST(RdapFactsTest, NestingCheckSkipsBracketsInStrings)
{
    EXPECT_TRUE(RdapText::NestingWithin(R"({"a": "[[[[[[[[", "b": "\"[[[["})", 1));
    EXPECT_FALSE(RdapText::NestingWithin("[[[]]]", 2));
    EXPECT_TRUE(RdapText::NestingWithin("[[[]]]", 3));
}

} // namespace

// ARIN names the registrant's country in English at the end of its vCard label; the
// facts give every country as its two-letter code, and keep a name no list knows.
TEST(RdapFactsTest, VcardCountryNamesBecomeCodes)
{
    const struct {
        const char* adr; // the vCard "adr" property
        const char* country;
    } rows[] = {
        {R"(["adr", {"label": "1 Main St\nToronto\nON\nCANADA"}, "text", ["", "", "", "", "", "", ""]])", "CA"},
        {R"(["adr", {"label": "Seoul\nKOREA, REPUBLIC OF\n"}, "text", ["", "", "", "", "", "", ""]])", "KR"},
        {R"(["adr", {"label": "Road Town\nVIRGIN ISLANDS, BRITISH"}, "text", ["", "", "", "", "", "", ""]])", "VG"},
        {R"(["adr", {"label": "Abidjan\nCOTE D'IVOIRE"}, "text", ["", "", "", "", "", "", ""]])", "CI"},
        {R"(["adr", {}, "text", ["", "", "Street", "Berlin", "", "", "Germany"]])", "DE"},
        {R"(["adr", {"cc": "NL"}, "text", ["", "", "", "", "", "", "Nowhere"]])", "NL"},
        {R"(["adr", {"label": "Somewhere\nATLANTIS"}, "text", ["", "", "", "", "", "", ""]])", "ATLANTIS"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.adr);
        const std::string json =
            std::string(R"({"objectClassName": "ip network", "startAddress": "192.0.2.0",)") +
            R"("endAddress": "192.0.2.255", "entities": [{"objectClassName": "entity",)" +
            R"("roles": ["registrant"], "vcardArray": ["vcard", [["version", {}, "text", "4.0"],)" +
            R"(["fn", {}, "text", "Holder"], )" + row.adr + "]]}]}";
        EXPECT_EQ(ReadRdapFacts(json).m_strCountry, row.country);
    }
}

// An abuse contact's card with a plain address and one typed "abuse": the typed one.
TEST(RdapFactsTest, AbuseTypedMailOutranksThePlainOne)
{
    const struct {
        const char* m_pszJson;
        const char* m_pszAbuse;
    } cases[] = {
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [{"roles": ["abuse"],
            "vcardArray": ["vcard", [["email", {}, "text", "noc@isp.example.net"],
                                     ["email", {"type": "abuse"}, "text", "abuse@isp.example.net"]]]}]})",
         "abuse@isp.example.net"},
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [{"roles": ["abuse"],
            "vcardArray": ["vcard", [["email", {"type": "work"}, "text", "noc@isp.example.net"],
                                     ["email", {"type": ["work", "Abuse"]}, "text", "abuse@isp.example.net"]]]}]})",
         "abuse@isp.example.net"},
        {R"({"startAddress": "192.0.2.0", "endAddress": "192.0.2.255", "entities": [{"roles": ["abuse"],
            "vcardArray": ["vcard", [["email", {"type": 7}, "text", "noc@isp.example.net"],
                                     ["email", {"type": "abuse"}, "text", 5]]]}]})",
         "noc@isp.example.net"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszJson);
        EXPECT_EQ(ReadRdapFacts(c.m_pszJson).m_strAbuse, c.m_pszAbuse);
    }
}
