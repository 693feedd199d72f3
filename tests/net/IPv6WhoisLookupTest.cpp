#include "WhoisLoopbackFixture.h"
#include "net/IPWhoisLookup.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

using namespace WhoisLoopback;

namespace {

std::string Final(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    const size_t first = out.find_first_not_of(" \t\r\n");
    const size_t last = out.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

std::string Answer6(const std::string& name)
{
    return ReadFileBytes(TestDataPath("whois6/" + name));
}

// ARIN's answer for a block IANA gave another registry, in ARIN's layout (no such
// IPv6 answer was recorded): the network, then the referral line.
std::string ArinReferral(const std::string& range, const std::string& cidr, const std::string& registry,
                         const std::string& host)
{
    return "#\n# ARIN WHOIS data and services are subject to the Terms of Use\n#\n\n"
           "NetRange:       " +
           range + "\nCIDR:           " + cidr + "\nNetName:        " + registry +
           "-IPV6\nNetHandle:      NET6-X-1\nParent:          ()\nNetType:        Allocated to " + registry +
           "\nOrganization:   " + registry + " (" + registry + ")\nReferralServer:  whois://" + host + "\n\n";
}

class IPv6WhoisLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StartAll(m_server);
        m_table = TableFor(m_server);
    }
    std::string Lookup(const std::string& target)
    {
        std::string result;
        IPWhoisLookup(target, result, m_table, m_resolver);
        return result;
    }

    CLoopbackWhoisServer m_server;
    CWhoisServerTable m_table;
    CFakeNameResolver m_resolver;
};

} // namespace

TEST_F(IPv6WhoisLookupTest, ArinAnswersItsOwnNetworksWithoutReferral)
{
    struct Case {
        const char* typed;
        const char* asked;
        const char* file;
    } cases[] = {
        {"2001:4860:4860::8888", "2001:4860:4860::8888", "arin/ipwhois-google-2001-4860-4860--8888.txt"},
        // Any RFC 4291 form goes out, and heads the text, in its canonical form.
        {"2606:4700:4700:0:0:0:0:1111", "2606:4700:4700::1111",
         "arin/resolve-2023-cloudflare-ambiguous-2606-4700-4700--1111.txt"},
        {"2001:500:110:0::1", "2001:500:110::1", "arin/wcnet-EXCERPT-arinops-crlf-2001-500-110--.txt"},
    };
    for (const Case& c : cases) {
        const std::string answer = Answer6(c.file);
        m_server.SetAnswer(kArin, c.asked, answer);
        const size_t before = m_server.Queries(kArin).size();
        EXPECT_EQ(Lookup(c.typed), std::string(c.asked) + "\r\n\r\n" + Final(answer)) << c.file;
        // The parent's NET6 handle is not followed: the organisation's handle comes last.
        ASSERT_EQ(m_server.Queries(kArin).size(), before + 1) << c.file;
        EXPECT_EQ(m_server.Queries(kArin).back(), std::string(c.asked) + "\r\n");
    }
}

TEST_F(IPv6WhoisLookupTest, ArinRefersToEveryRegistry)
{
    struct Case {
        const char* target;
        const char* range;
        const char* cidr;
        const char* registry;
        const char* host;
        const char* server;
        const char* file;
    } cases[] = {
        {"2a00:2381:ffff::1", "2A00:: - 2A0F:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2A00::/12", "RIPE", "whois.ripe.net",
         kRipe, "ripe/ipwhois-bt-2a00-2381-ffff--1.txt"},
        {"2001:630:d0:f111:203:93ff:fed1:f454", "2001:600:: - 2001:7FF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2001:600::/23",
         "RIPE", "whois.ripe.net", kRipe, "ripe/phpwhois-soton-org-route6-2001-630-d0-f111-203-93ff-fed1-f454.txt"},
        {"2404:6800:4007:817::200e", "2400:: - 240F:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2400::/12", "APNIC",
         "whois.apnic.net", kApnic, "apnic/harold-EXCERPT-google-ap-2404-6800-4007-817--200e.txt"},
        {"2001:240:10c:1::ca20:9d1d", "2001:200:: - 2001:3FF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2001:200::/23", "APNIC",
         "whois.apnic.net", kApnic, "apnic/ipwhois-jpnic-mirror-iij-2001-240-10c-1--ca20-9d1d.txt"},
        {"2801:10:c000::", "2800:: - 280F:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2800::/12", "LACNIC",
         "whois.lacnic.net", kLacnic, "lacnic/ipwhois-uco-crlf-2801-10-c000--.txt"},
        {"2001:43f8:7b0::", "2001:4200:: - 2001:43FF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF", "2001:4200::/23", "AFRINIC",
         "whois.afrinic.net", kAfrinic, "afrinic/ipwhois-tespok-2001-43f8-7b0--.txt"},
    };
    for (const Case& c : cases) {
        m_server.SetAnswer(kArin, c.target, ArinReferral(c.range, c.cidr, c.registry, c.host));
        const std::string answer = Answer6(c.file);
        m_server.SetAnswer(c.server, c.target, answer);
        EXPECT_EQ(Lookup(c.target), std::string(c.target) + "\r\n\r\n" + Final(answer)) << c.file;
        ASSERT_FALSE(m_server.Queries(c.server).empty()) << c.file;
        EXPECT_EQ(m_server.Queries(c.server).back(), std::string(c.target) + "\r\n");
    }
}

TEST_F(IPv6WhoisLookupTest, ArinListFollowsTheNarrowestIPv6Network)
{
    // ARIN's list form for an address in a reassigned block: the parent's line first.
    m_server.SetAnswer(kArin, "2001:db8:1:2::3",
                       "Example Parent EX-V6 (NET6-2001-DB8-1) 2001:DB8:: - 2001:DB8:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF\n"
                       "Example Customer EX-CUST (NET6-2001-DB8-1-1) 2001:db8:1:: - "
                       "2001:db8:1:ffff:ffff:ffff:ffff:ffff\n");
    m_server.SetAnswer(kArin, "NET6-2001-DB8-1-1", "NetHandle: NET6-2001-DB8-1-1\n");
    EXPECT_EQ(Lookup("2001:DB8:1:2:0:0:0:3"), "2001:db8:1:2::3\r\n\r\nNetHandle: NET6-2001-DB8-1-1");
    ASSERT_EQ(m_server.Queries(kArin).size(), 2u);
    EXPECT_EQ(m_server.Queries(kArin)[1], "NET6-2001-DB8-1-1\r\n");
}

TEST_F(IPv6WhoisLookupTest, RWhoisReferralIsFollowedForIPv6)
{
    m_server.SetAnswer(kArin, "2001:db8::1",
                       "NetRange: 2001:db8:: - 2001:db8:ffff:ffff:ffff:ffff:ffff:ffff\n"
                       "ReferralServer:  rwhois://" +
                           std::string(kRWhoisA) + ":4321\n");
    m_server.SetAnswer(kRWhoisA, "2001:db8::1", "network:IP-Network:2001:db8::/48\n");
    EXPECT_EQ(Lookup("2001:db8::1"), "2001:db8::1\r\n\r\nnetwork:IP-Network:2001:db8::/48");
}

TEST_F(IPv6WhoisLookupTest, AddressTextsAreNotTakenForHostNames)
{
    // An embedded IPv4 tail has dots but names no host; a mapped address is the IPv4 one.
    m_server.SetAnswer(kArin, "64:ff9b::c000:201", "NetName: NAT64\n");
    EXPECT_EQ(Lookup("64:ff9b::192.0.2.1"), "64:ff9b::c000:201\r\n\r\nNetName: NAT64");
    m_server.SetAnswer(kArin, "192.0.2.1", "NetName: V4\n");
    EXPECT_EQ(Lookup("::ffff:192.0.2.1"), "192.0.2.1\r\n\r\nNetName: V4");
    // Not an address: sent as it was, as any other text without a host name.
    m_server.SetAnswer(kArin, "2001:db8::1%eth0", "No match for it\n");
    EXPECT_EQ(Lookup("2001:db8::1%eth0"), "2001:db8::1%eth0\r\n\r\nNo match for it");
}

TEST_F(IPv6WhoisLookupTest, BadListedRangesLeaveTheLastHandleToDecide)
{
    struct Case {
        const char* list;
        const char* asked;
    } cases[] = {
        {"A (NET6-A) 2001:db8:: - 2001:db8:ffff::\nB (NET6-B) 2001:db8:1:: - 2001:db8:1::ff\n", "NET6-B\r\n"},
        {"A (NET6-A) 2001:db8::1:0 - 2001:db8::1:ff\nB (NET6-B) 2001:db8:: - 2001:db8:ffff::\n", "NET6-A\r\n"},
        // Start above end, a prefix for a range, two families, a zone id, nine groups
        // are no ranges, so the last handle is asked; the whole space is the widest.
        {"A (NET6-A) 2001:db8::ff - 2001:db8::1\nB (NET6-B) 2001:db8:: - 2001:db8:ffff::\n", "NET6-B\r\n"},
        {"A (NET6-A) 2001:db8::/129 - 2001:db8::1\nB (NET6-B) 2001:db8::/32\n", "NET6-B\r\n"},
        {"A (NET6-A) 10.0.0.0 - 2001:db8::1\nB (NET6-B) 2001:db8:: - 2001:db8:ffff::\n", "NET6-B\r\n"},
        {"A (NET6-A) fe80::1%eth0 - fe80::ff\nB (NET6-B) 2001:db8:: - 2001:db8:ffff::\n", "NET6-B\r\n"},
        {"A (NET6-A) :: - ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff\nB (NET6-B) 2001:db8:: - 2001:db9::\n", "NET6-B\r\n"},
        {"A (NET6-A) 1:2:3:4:5:6:7:8:9 - 2001:db8::1\nB (NET6-B) 2001:db8:: - 2001:db8::ff\n", "NET6-B\r\n"},
        // NET handles of both families are followed; others end the chain.
        {"A (NET-10-0-0-0-1) 10.0.0.0 - 10.0.0.255\nB (NET6-B) 2001:db8:: - 2001:db8:ffff::\n", "NET-10-0-0-0-1\r\n"},
        {"A (NET6-) 2001:db8:: - 2001:db8::ff\n", "NET6-\r\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string target = "2001:db8::" + std::to_string(++n);
        m_server.SetAnswer(kArin, target, c.list);
        Lookup(target);
        const auto asked = m_server.Queries(kArin);
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back(), c.asked) << c.list;
    }
    // "NET6" alone is no handle: the chain ends with ARIN's answer.
    m_server.SetAnswer(kArin, "2001:db8::ff", "A (NET6) 2001:db8:: - 2001:db8::ff\n");
    EXPECT_EQ(Lookup("2001:db8::ff"), "2001:db8::ff\r\n\r\nA (NET6) 2001:db8:: - 2001:db8::ff");
}

TEST_F(IPv6WhoisLookupTest, FourMegabytesOfListedIPv6RangesEndOneChain)
{
    std::string list;
    char line[160];
    for (unsigned n = 0; list.size() < (4u << 20); ++n) {
        std::snprintf(line, sizeof line,
                      "Net %u (NET6-2001-DB8-%X-1) 2001:db8:%x:: - 2001:db8:%x:ffff:ffff:ffff:ffff:ffff\n", n,
                      n & 0xffff, n & 0xffff, n & 0xffff);
        list += line;
    }
    m_table.m_nMaxAnswerBytes = 8u << 20;
    m_server.SetAnswer(kArin, "2001:db8:2::1", list);
    m_server.SetAnswer(kArin, "NET6-2001-DB8-3-1", "NetHandle: NET6-2001-DB8-3-1\n");
    const auto start = std::chrono::steady_clock::now();
    // Only the first four handles count; all are /48s, so the later one of equal width wins.
    EXPECT_EQ(Lookup("2001:db8:2::1"), "2001:db8:2::1\r\n\r\nNetHandle: NET6-2001-DB8-3-1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
