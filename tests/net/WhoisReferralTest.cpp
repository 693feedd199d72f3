#include "net/WhoisReferral.h"
#include "core/settings/MemorySettingsStore.h"
#include "net/WhoisServerTable.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

TEST(WhoisReferral, ReferralServerLineForms)
{
    struct Case {
        const char* answer;
        const char* host;
        int port;
        bool rwhois;
    } good[] = {
        {"ReferralServer:  whois://whois.ripe.net\n", "whois.ripe.net", 0, false},
        {"x\nReferralServer: whois://whois.ripe.net:43\n", "whois.ripe.net", 43, false},
        {"x\r\nReferralServer:  whois.ripe.net\r\n", "whois.ripe.net", 0, false},
        {"ReferralServer: rwhois://rwhois.servernap.net:4321\n", "rwhois.servernap.net", 4321, true},
        {"ReferralServer: rwhois://rwhois.example.net:4321/", "rwhois.example.net", 4321, true},
        {"ReferralServer:\tWHOIS://Whois.Afrinic.Net/  \n", "Whois.Afrinic.Net", 0, false},
        // The first line of a usable form counts.
        {"ReferralServer: http://x/\nReferralServer: whois://b.example\n", "b.example", 0, false},
    };
    for (const Case& c : good) {
        CReferralServer r;
        ASSERT_TRUE(FindReferralServer(c.answer, r)) << c.answer;
        EXPECT_EQ(r.m_strHost, c.host);
        EXPECT_EQ(r.m_nPort, c.port);
        EXPECT_EQ(r.m_bRWhois, c.rwhois);
    }
    const char* bad[] = {
        "Comment: ReferralServer: whois://whois.ripe.net\n", // not at a line start
        "ReferralServer:\n",
        "ReferralServer: whois://\n",
        "ReferralServer: whois://host:0\n",
        "ReferralServer: whois://host:65536\n",
        "ReferralServer: whois://host:43x\n",
        "ReferralServer: rwhois://root.rwhois.net:4321/auth-area=.\n",
        "ReferralServer: whois.ripe.net:43\n", // a bare host takes no port
        "ReferralServer: host name with blanks\n",
        "referralserver: whois://whois.ripe.net\n",
    };
    for (const char* answer : bad) {
        CReferralServer r;
        EXPECT_FALSE(FindReferralServer(answer, r)) << answer;
    }
}

TEST(WhoisReferral, PublicUnicastSpace)
{
    for (uint32_t a : {0x08080808u, 0xC1000001u, 0x01010101u, 0xDFFFFFFFu, 0x64000001u, 0xAC200001u})
        EXPECT_TRUE(IsPublicUnicastAddress(a)) << std::hex << a;
    for (uint32_t a :
         {0x00000000u, 0x0A000001u, 0x64400001u, 0x7F000001u, 0xA9FE0101u, 0xAC100001u, 0xAC1FFFFFu, 0xC0A80101u,
          0xC0000201u, 0xC6120001u, 0xC6336401u, 0xCB007101u, 0xE0000001u, 0xEFFFFFFFu, 0xF0000001u, 0xFFFFFFFFu})
        EXPECT_FALSE(IsPublicUnicastAddress(a)) << std::hex << a;
}

TEST(WhoisReferral, DottedQuadShape)
{
    for (const char* yes : {"1.2.3.4", "999.1.1.1", "1..2.3", "255.255.255.255", "...12"})
        EXPECT_TRUE(LooksLikeDottedQuad(yes)) << yes;
    for (const char* no : {"1.2.3", "1.2.3.4.5", "1.2.3.a", "...1", "0001.0002.0003.04", " 1.2.3.4", "1.2.3.4\n"})
        EXPECT_FALSE(LooksLikeDottedQuad(no)) << no;

    CFakeNameResolver resolver;
    resolver.AddHost("whois.example", 0xC6336402u);
    std::string out;
    ASSERT_TRUE(ResolveToDottedQuad(resolver, "whois.example", out));
    EXPECT_EQ(out, "198.51.100.2");
    ASSERT_TRUE(ResolveToDottedQuad(resolver, "010.1.1.1", out));
    EXPECT_EQ(out, "8.1.1.1");
    EXPECT_FALSE(ResolveToDottedQuad(resolver, "no.such.host", out));
}

TEST(WhoisServerTable, DefaultsValueNamesAndBadSettings)
{
    CMemorySettingsStore store;
    CWhoisServerTable t;
    t.Load(store);
    EXPECT_EQ(t.Host(EWhoisRole::arin), "whois.arin.net");
    EXPECT_EQ(t.Host(EWhoisRole::ripe), "whois.ripe.net");
    EXPECT_EQ(t.Host(EWhoisRole::apnic), "whois.apnic.net");
    EXPECT_EQ(t.Host(EWhoisRole::lacnic), "whois.lacnic.net");
    EXPECT_EQ(t.Host(EWhoisRole::aunic), "whois.aunic.net");
    EXPECT_EQ(t.Host(EWhoisRole::afrinic), "whois.afrinic.net");
    EXPECT_EQ(t.Host(EWhoisRole::rwhoisA), "rwhois.cogentco.com");
    EXPECT_EQ(t.Host(EWhoisRole::rwhoisB), "rwhois.hostwinds.com");
    EXPECT_EQ(t.Port(EWhoisRole::arin), 43);
    EXPECT_EQ(t.Port(EWhoisRole::rwhoisB), 4321);

    store.WriteProfileString("Whois Servers", "RIPE", "127.0.0.3");
    store.WriteProfileString("Whois Servers", "RWhois A", "127.0.0.7");
    store.WriteProfileString("Whois Servers", "AFRINIC", "");
    store.WriteProfileString("Whois Servers", "LACNIC", std::string(300, 'l'));
    store.WriteProfileInt("Whois Servers", "Whois Port", 4343);
    store.WriteProfileInt("Whois Servers", "RWhois Port", 70000);
    store.WriteProfileString("Whois Servers", "Connect Timeout", "fast");
    store.WriteProfileInt("Whois Servers", "Idle Timeout", 250);
    store.WriteProfileInt("Whois Servers", "Max Answer Size", -5);
    store.WriteProfileInt("Whois Servers", "Answer Timeout", 0);
    t.Load(store);
    EXPECT_EQ(t.Host(EWhoisRole::ripe), "127.0.0.3");
    EXPECT_EQ(t.Host(EWhoisRole::rwhoisA), "127.0.0.7");
    EXPECT_EQ(t.Host(EWhoisRole::afrinic), "whois.afrinic.net");
    EXPECT_EQ(t.Host(EWhoisRole::lacnic), "whois.lacnic.net");
    EXPECT_EQ(t.m_nWhoisPort, 4343);
    EXPECT_EQ(t.m_nRWhoisPort, 4321);
    EXPECT_EQ(t.m_nConnectTimeoutMs, CWhoisServerTable().m_nConnectTimeoutMs);
    EXPECT_EQ(t.m_nIdleTimeoutMs, 250);
    EXPECT_EQ(t.m_nMaxAnswerBytes, CWhoisServerTable().m_nMaxAnswerBytes);
    EXPECT_EQ(t.m_nAnswerTimeoutMs, CWhoisServerTable().m_nAnswerTimeoutMs);

    CMemorySettingsStore copy;
    t.Save(copy);
    EXPECT_EQ(copy.GetProfileString("Whois Servers", "RWhois A"), "127.0.0.7");
    EXPECT_EQ(copy.GetProfileInt("Whois Servers", "Whois Port", 0), 4343);
}
