#include "net/IPWhoisLookup.h"
#include "WhoisLoopbackFixture.h"
#include "net/SystemNameResolver.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace WhoisLoopback;

namespace {

// What the lookup makes of a final answer: CR LF line ends, trimmed.
std::string Final(std::string text)
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

std::string Fixture(const std::string& name)
{
    return ReadFileBytes(TestDataPath("whois/" + name));
}

class IPWhoisLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StartAll(m_server);
        m_table = TableFor(m_server);
        // The loopback addresses are literals: the fake name service need not know them.
        m_resolver.AddHost("www.example.org", 0xC0000201u);
    }
    std::string Lookup(const std::string& target)
    {
        std::string result;
        IPWhoisLookup(target, result, m_table, m_resolver);
        return result;
    }
    size_t Asked(const char* address) const { return m_server.Queries(address).size(); }

    CLoopbackWhoisServer m_server;
    CWhoisServerTable m_table;
    CFakeNameResolver m_resolver;
};

} // namespace

TEST_F(IPWhoisLookupTest, RipeHandOffGivesTheRipeAnswer)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "NetRange: x\nNetName:    RIPE-ERX\n");
    const std::string ripe = "\ninetnum:  192.0.2.0 - 192.0.2.255\nnetname:  EXAMPLE\n\n";
    m_server.SetAnswer(kRipe, "192.0.2.1", ripe);
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\ninetnum:  192.0.2.0 - 192.0.2.255\r\nnetname:  EXAMPLE");
    ASSERT_EQ(Asked(kRipe), 1u);
    EXPECT_EQ(m_server.Queries(kRipe)[0], "192.0.2.1\r\n");
}

TEST_F(IPWhoisLookupTest, LastOfTheFirstFourHandlesDecides)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "Net A (NET-A) 1 - 2\nNet B (NET-B) 3 - 4\nNet C (NET-C) 5 - 6\n");
    m_server.SetAnswer(kArin, "NET-C", "NetHandle: NET-C\nOrgName: (Example)\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nNetHandle: NET-C\r\nOrgName: (Example)");
    ASSERT_EQ(Asked(kArin), 2u);
    EXPECT_EQ(m_server.Queries(kArin)[1], "NET-C\r\n");

    // Five handles: the fourth decides; "net-" is compared without regard to case.
    m_server.SetAnswer(kArin, "192.0.2.2", "(NET-1) (NET-2) (NET-3) (net-4) (NET-5)\n");
    m_server.SetAnswer(kArin, "net-4", "fourth\n");
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\nfourth");

    // A missing ")" makes the handle empty, and an empty handle ends the loop.
    m_server.SetAnswer(kArin, "192.0.2.3", "(NET-1) (NET-2\n");
    EXPECT_EQ(Lookup("192.0.2.3"), "192.0.2.3\r\n\r\n(NET-1) (NET-2");
    EXPECT_EQ(Asked(kArin), 5u);
}

TEST_F(IPWhoisLookupTest, NoMatchCountsOnlyAtTheFirstCharacter)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "No match for \"192.0.2.1\". (NET-X)\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nNo match for \"192.0.2.1\". (NET-X)");
    EXPECT_EQ(Asked(kArin), 1u);

    m_server.SetAnswer(kArin, "192.0.2.2", "\nNo match for \"192.0.2.2\". (NET-X)\n");
    m_server.SetAnswer(kArin, "NET-X", "the net\n");
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\nthe net");
}

TEST_F(IPWhoisLookupTest, FourQueryLimitAnswersLeaveTheResultEmpty)
{
    m_server.SetMode(kArin, EWhoisServerMode::queryLimit);
    const auto start = std::chrono::steady_clock::now();
    std::string result;
    IPWhoisLookup("192.0.2.1", result, m_table, m_resolver);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result, "");
    EXPECT_EQ(Asked(kArin), 4u);
    EXPECT_GE(took, 0.4);
}

TEST_F(IPWhoisLookupTest, RetryAfterQueryLimitUsesTheSameServer)
{
    m_server.SetMode(kArin, EWhoisServerMode::queryLimit, 2);
    m_server.SetAnswer(kArin, "192.0.2.1", "third time\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nthird time");
    EXPECT_EQ(Asked(kArin), 3u);
}

TEST_F(IPWhoisLookupTest, RegistryIsNotAskedAgainForItsOwnMarker)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "NetName:    RIPE\n");
    m_server.SetAnswer(kRipe, "192.0.2.1", "NetName:    RIPE\nReferralServer: whois://127.0.0.3\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nNetName:    RIPE\r\nReferralServer: whois://127.0.0.3");
    EXPECT_EQ(Asked(kRipe), 1u);
}

TEST_F(IPWhoisLookupTest, RWhoisRepeatingItsMarkerIsAskedUntilTheBound)
{
    const std::string marker = "ReferralServer: rwhois://127.0.0.7:4321\n";
    m_server.SetAnswer(kArin, "192.0.2.1", marker);
    m_server.SetAnswer(kRWhoisA, "192.0.2.1", "network:ID:X\n" + marker);
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nnetwork:ID:X\r\nReferralServer: rwhois://127.0.0.7:4321");
    EXPECT_EQ(Asked(kArin), 1u);
    EXPECT_EQ(Asked(kRWhoisA), 3u);

    // rwhois B's marker needs the slash after the port.
    m_server.SetAnswer(kArin, "192.0.2.2", "rwhois://127.0.0.8:4321/\n");
    m_server.SetAnswer(kRWhoisB, "192.0.2.2", "network:ID:B\n");
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\nnetwork:ID:B");
}

TEST_F(IPWhoisLookupTest, TargetPreparation)
{
    m_server.SetDefaultAnswer(kArin, "answer\n");
    EXPECT_EQ(Lookup("somehost"), "somehost\r\n\r\nanswer"); // a bare label goes out as it is
    EXPECT_EQ(m_server.Queries(kArin).back(), "somehost\r\n");
    EXPECT_EQ(Lookup(".starts.with.dot"), ".starts.with.dot\r\n\r\nanswer");
    EXPECT_EQ(Lookup("999.1.1.1"), "999.1.1.1\r\n\r\nanswer");
    EXPECT_EQ(Lookup("www.example.org"), "192.0.2.1 [www.example.org]\r\n\r\nanswer");
    EXPECT_EQ(m_server.Queries(kArin).back(), "192.0.2.1\r\n");

    const size_t before = Asked(kArin);
    EXPECT_EQ(Lookup("no.such.host"), "Unable to resolve host");
    EXPECT_EQ(Asked(kArin), before);
}

TEST_F(IPWhoisLookupTest, OrganisationRecordIsInsertedBeforeOrgID)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "OrgName: Example\nOrgID:   EX-1 \nCountry: US\n");
    m_server.SetAnswer(kArin, "! o + EX-1",
                       "OrgName: Example\nAddress: 1 Main St\nCity: Springfield\n\nTechHandle: X\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nOrgName: Example\r\nAddress:    1 Main St\r\n"
                                   "City:    Springfield\r\nOrgID:   EX-1 \r\nCountry: US");
    EXPECT_EQ(m_server.Queries(kArin).back(), "! o + EX-1\r\n");

    // Without an Address line the organisation answer is appended after a blank line.
    m_server.SetAnswer(kArin, "192.0.2.2", "OrgID: EX-2\nmore\n");
    m_server.SetAnswer(kArin, "! o + EX-2", "OrgName: Two\n");
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\nOrgID: EX-2\r\nmore\r\n\r\n\r\nOrgName: Two");

    // OrgID on the last line without a line feed: no organisation query.
    m_server.SetAnswer(kArin, "192.0.2.3", "OrgName: Three\nOrgID: EX-3");
    const size_t before = Asked(kArin);
    EXPECT_EQ(Lookup("192.0.2.3"), "192.0.2.3\r\n\r\nOrgName: Three\r\nOrgID: EX-3");
    EXPECT_EQ(Asked(kArin), before + 1);
}

TEST_F(IPWhoisLookupTest, ArinFooterIsCutAndCrLfDoubled)
{
    m_server.SetAnswer(kArin, "192.0.2.1", "a\r\nb\n# ARIN Whois database, last updated\nrest\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\na\r\r\nb");
}

TEST_F(IPWhoisLookupTest, ManyOrgIDsDoNotMultiplyWithoutBound)
{
    std::string answer;
    for (int i = 0; i < 20000; ++i)
        answer += "OrgID: EX\n";
    m_server.SetAnswer(kArin, "192.0.2.1", answer);
    m_server.SetAnswer(kArin, "! o + EX", "Address: " + std::string(60000, 'a') + "\n");
    const std::string result = Lookup("192.0.2.1");
    EXPECT_GT(result.size(), answer.size());
    EXPECT_LT(result.size(), 2 * answer.size() + 3 * m_table.m_nMaxAnswerBytes);
}

// Today's answers: the eighth rule and the replay of real chains.
TEST_F(IPWhoisLookupTest, RealArinToRipeChain)
{
    m_server.SetAnswer(kArin, "130.66.76.222", Fixture("arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
    const std::string ripe = Fixture("ripe/weppos-bouygtel-128.79.0.0.txt");
    m_server.SetAnswer(kRipe, "130.66.76.222", ripe);
    EXPECT_EQ(Lookup("130.66.76.222"), "130.66.76.222\r\n\r\n" + Final(ripe));
}

TEST_F(IPWhoisLookupTest, RealReferralsToEveryRegistry)
{
    struct Case {
        const char* arin;
        const char* target;
        const char* registry;
        const char* answer;
    } cases[] = {
        {"arin/larsonzh-2026-referral-apnic-1.1.1.1.txt", "1.1.1.1", kApnic,
         "apnic/larsonzh-2026-apnic-labs-1.1.1.1.txt"},
        {"arin/larsonzh-2026-referral-afrinic-143.128.0.0.txt", "143.128.0.0", kAfrinic,
         "afrinic/larsonzh-2026-unpnet-143.128.0.0.txt"},
        {"arin/larsonzh-2026-referral-lacnic-200.0.0.1.txt", "200.0.0.1", kLacnic,
         "lacnic/larsonzh-2026-ip-client-200.0.0.1.txt"},
        {"arin/larsonzh-2026-referral-ripe-noscheme-2.0.0.1.txt", "2.0.0.1", kRipe,
         "ripe/weppos-bouygtel-128.79.0.0.txt"},
        {"arin/weppos-referral-apnic-144.134.121.81.txt", "144.134.121.81", kApnic,
         "apnic/larsonzh-2026-apnic-labs-1.1.1.1.txt"},
    };
    for (const Case& c : cases) {
        m_server.SetAnswer(kArin, c.target, Fixture(c.arin));
        m_server.SetAnswer(c.registry, c.target, Fixture(c.answer));
        EXPECT_EQ(Lookup(c.target), std::string(c.target) + "\r\n\r\n" + Final(Fixture(c.answer))) << c.arin;
    }
}

TEST_F(IPWhoisLookupTest, RealListAnswerFollowsItsNarrowestRange)
{
    // ARIN lists the customer's /19 first and its /12 parent last; the /19 is the holder.
    m_server.SetAnswer(kArin, "174.79.60.55", Fixture("arin/netincident-list-two-handles-174.79.60.55.txt"));
    m_server.SetAnswer(kArin, "NET-174-79-32-0-1", "NetHandle: NET-174-79-32-0-1\n");
    EXPECT_EQ(Lookup("174.79.60.55"), "174.79.60.55\r\n\r\nNetHandle: NET-174-79-32-0-1");
    ASSERT_EQ(Asked(kArin), 2u);
    EXPECT_EQ(m_server.Queries(kArin)[1], "NET-174-79-32-0-1\r\n");
}

TEST_F(IPWhoisLookupTest, ListedRangesChooseTheHandle)
{
    struct Case {
        const char* list;
        const char* asked;
    } cases[] = {
        // Narrowest wins wherever it stands.
        {"A (NET-A) 10.0.0.0 - 10.255.255.255\nB (NET-B) 10.1.0.0 - 10.1.0.255\nC (NET-C) 10.1.0.0 - 10.1.255.255\n",
         "NET-B\r\n"},
        // A tie goes to the later line.
        {"A (NET-A) 10.1.0.0 - 10.1.0.255\nB (NET-B) 10.2.0.0 - 10.2.0.255\n", "NET-B\r\n"},
        // A line without a range: the last handle stays the rule.
        {"A (NET-A) 10.1.0.0 - 10.1.0.255\nB (NET-B)\n", "NET-B\r\n"},
        {"A (NET-A) 10.1.0.0 - 10.1.0.255\nB (NET-B) 10.0.0.0 - 10.0.0.x\n", "NET-B\r\n"},
        // A range written backwards is no range.
        {"A (NET-A) 10.1.0.0 - 10.0.0.0\nB (NET-B) 10.0.0.0 - 10.255.255.255\n", "NET-B\r\n"},
        // The range must stand on the handle's own line.
        {"A (NET-A)\n10.1.0.0 - 10.1.0.255\nB (NET-B) 10.0.0.0 - 10.255.255.255\n", "NET-B\r\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string target = "192.0.2." + std::to_string(++n);
        m_server.SetAnswer(kArin, target, c.list);
        Lookup(target);
        const auto asked = m_server.Queries(kArin);
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back(), c.asked) << c.list;
    }
}

TEST_F(IPWhoisLookupTest, GoodAnswerAfterLimitEmptyAndResetIsTheResult)
{
    // The fourth and last query of the loop gets the good answer; it hands over to RIPE
    // (or names a handle), but no query is left for that, so it is the result.
    const std::vector<EWhoisServerMode> misbehaving = {EWhoisServerMode::queryLimit, EWhoisServerMode::closeAtOnce,
                                                       EWhoisServerMode::resetAtOnce};
    m_server.QueueModes(kArin, misbehaving);
    m_server.SetAnswer(kArin, "192.0.2.1", "NetRange: x\nNetName:    RIPE-ERX\n");
    EXPECT_EQ(Lookup("192.0.2.1"), "192.0.2.1\r\n\r\nNetRange: x\r\nNetName:    RIPE-ERX");
    EXPECT_EQ(m_server.Connections(kArin), 4);
    EXPECT_EQ(m_server.Connections(kRipe), 0);

    m_server.QueueModes(kArin, misbehaving);
    m_server.SetAnswer(kArin, "192.0.2.2", "Net (NET-X) 192.0.2.0 - 192.0.2.255\n");
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\nNet (NET-X) 192.0.2.0 - 192.0.2.255");

    // Over the limit after a usable answer, with nothing usable after it: asked again later.
    m_server.SetAnswer(kArin, "192.0.2.3", "NetName:    RIPE\n");
    m_server.QueueModes(kRipe,
                        {EWhoisServerMode::queryLimit, EWhoisServerMode::closeAtOnce, EWhoisServerMode::resetAtOnce});
    EXPECT_EQ(Lookup("192.0.2.3"), "");
}

TEST_F(IPWhoisLookupTest, ReferralToARoleDefaultHostUsesTheConfiguredServer)
{
    const std::string hostwinds = Fixture("rwhois/netincident-hostwinds-crlf-104.168.144.18.txt");
    m_server.SetAnswer(kArin, "104.168.144.18",
                       "NetName: HOSTWINDS\nReferralServer:  rwhois://RWHOIS.hostwinds.com:4321\n");
    m_server.SetAnswer(kRWhoisB, "104.168.144.18", hostwinds);
    EXPECT_EQ(Lookup("104.168.144.18"), "104.168.144.18\r\n\r\n" + Final(hostwinds));
}

TEST_F(IPWhoisLookupTest, ReferralsIntoPrivateSpaceAreNotFollowed)
{
    // The rwhois host resolves to a loopback address where a server would answer.
    m_resolver.AddHost("rwhois.gapublicweb.net", 0x7F00000Au);
    m_server.SetDefaultAnswer(kOther, "should never be asked\n");
    const std::string arin = Fixture("arin/phpwhois-referral-rwhois-63.95.254.3.txt");
    m_server.SetAnswer(kArin, "63.95.254.3", arin);
    const std::string literal =
        "ReferralServer: whois://10.1.2.3\nReferralServer: rwhois://127.0.0.10:" + std::to_string(m_server.Port()) +
        "\n";
    m_server.SetAnswer(kArin, "192.0.2.9", literal);

    // Not followed; the last parenthesised text is the organisation, so ARIN's answer stands.
    EXPECT_EQ(Lookup("63.95.254.3"), "63.95.254.3\r\n\r\n" + Final(arin));
    EXPECT_EQ(Lookup("192.0.2.9"), "192.0.2.9\r\n\r\n" + Final(literal));
    EXPECT_EQ(m_server.Connections(kOther), 0);
}

TEST_F(IPWhoisLookupTest, DeadReferralKeepsThePreviousAnswer)
{
    const std::string arin = Fixture("arin/weppos-referral-ripe-port43-130.66.76.222.txt");
    m_server.SetAnswer(kArin, "130.66.76.222", arin);
    m_server.SetMode(kRipe, EWhoisServerMode::closeAtOnce);
    EXPECT_EQ(Lookup("130.66.76.222"), "130.66.76.222\r\n\r\n" + Final(arin));
    EXPECT_EQ(m_server.Connections(kRipe), 3);

    // A registry over its query limit: nothing is kept, so the address is tried again later.
    m_server.SetMode(kRipe, EWhoisServerMode::queryLimit, 1);
    EXPECT_EQ(Lookup("130.66.76.222"), "");
}

TEST_F(IPWhoisLookupTest, MisbehavingServersEndWithinTheirBounds)
{
    m_server.SetMode(kArin, EWhoisServerMode::neverAnswer);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Lookup("192.0.2.1"), "");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 6.0);

    // An answer cut at the size limit is only the beginning of one: no result.
    m_server.SetMode(kArin, EWhoisServerMode::sendForever);
    EXPECT_EQ(Lookup("192.0.2.1"), "");

    // Lone CRs: the markers are still found, and the text is passed on as it came.
    m_server.SetAnswer(kArin, "192.0.2.2", "NetName:    APNIC\n");
    m_server.SetAnswer(kApnic, "192.0.2.2", "inetnum: x\nnetname: y\n");
    m_server.SetMode(kArin, EWhoisServerMode::crOnly);
    m_server.SetMode(kApnic, EWhoisServerMode::crOnly);
    EXPECT_EQ(Lookup("192.0.2.2"), "192.0.2.2\r\n\r\ninetnum: x\rnetname: y");
}

TEST(IPWhoisLookupThreaded, TwoHundredLookupsOnEightThreads)
{
    CLoopbackWhoisServer server;
    StartAll(server);
    const CWhoisServerTable table = TableFor(server);
    const std::string arin = Fixture("arin/weppos-referral-ripe-port43-130.66.76.222.txt");
    const std::string ripe = Fixture("ripe/weppos-bouygtel-128.79.0.0.txt");
    server.SetDefaultAnswer(kArin, arin);
    server.SetDefaultAnswer(kRipe, ripe);
    CSystemNameResolver resolver;

    const int before = OpenDescriptors();
    std::atomic<int> next {0}, good {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i; (i = next++) < 200;) {
                const std::string target = "130.66." + std::to_string(i / 250) + "." + std::to_string(i % 250);
                std::string result;
                IPWhoisLookup(target, result, table, resolver);
                if (result == target + "\r\n\r\n" + Final(ripe))
                    ++good;
            }
        });
    for (auto& th : threads)
        th.join();
    for (int i = 0; i < 100 && server.ActiveConnections() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(good, 200);
    EXPECT_EQ(server.Connections(kArin), 200);
    EXPECT_EQ(OpenDescriptors(), before);
}

// What the chain tells the registry back-off: which registry's limit answer ended
// it, which paused registry it did not ask, and who answered usably.
TEST_F(IPWhoisLookupTest, ChainReportsLimitAnswersAndStopsBeforePausedRegistries)
{
    using Names = std::vector<std::string>;
    const struct {
        const char* m_pszCase;
        Names m_paused;
        bool m_bRipeOverLimit;
        bool m_bAnswered;
        const char* m_pszLimit;
        const char* m_pszPaused;
        Names m_good;
        size_t m_nArinAsked;
        size_t m_nRipeAsked;
    } kCases[] = {
        {"nothing paused", {}, false, true, "", "", {"ARIN", "RIPE"}, 1, 1},
        {"another registry paused", {"APNIC", "LACNIC"}, false, true, "", "", {"ARIN", "RIPE"}, 1, 1},
        {"referred registry over its limit", {}, true, false, "RIPE", "", {"ARIN"}, 1, 3},
        {"referred registry paused", {"RIPE"}, false, false, "", "RIPE", {"ARIN"}, 1, 0},
        {"first registry paused", {"ARIN"}, false, false, "", "ARIN", {}, 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_pszCase);
        CLoopbackWhoisServer server;
        StartAll(server);
        const CWhoisServerTable table = TableFor(server);
        server.SetDefaultAnswer(kArin, Fixture("arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
        server.SetDefaultAnswer(kRipe, Fixture("ripe/weppos-bouygtel-128.79.0.0.txt"));
        if (c.m_bRipeOverLimit)
            server.SetMode(kRipe, EWhoisServerMode::queryLimit);
        const Names paused = c.m_paused;
        std::string result;
        CWhoisChainReport report;
        IPWhoisLookup(
            "130.66.76.222", result, table, m_resolver,
            [&paused](const std::string& r) { return std::find(paused.begin(), paused.end(), r) != paused.end(); },
            report);
        EXPECT_EQ(!result.empty(), c.m_bAnswered);
        EXPECT_EQ(report.m_strLimitRegistry, c.m_pszLimit);
        EXPECT_EQ(report.m_strPausedRegistry, c.m_pszPaused);
        EXPECT_EQ(report.m_goodRegistries, c.m_good);
        EXPECT_EQ(server.Queries(kArin).size(), c.m_nArinAsked);
        EXPECT_EQ(server.Queries(kRipe).size(), c.m_nRipeAsked);
    }
}

TEST_F(IPWhoisLookupTest, AChainWithoutAnAnswerSaysWhyAndOneCutByAZeroByteSaysSo)
{
    const std::string referral = Fixture("arin/weppos-referral-ripe-port43-130.66.76.222.txt");
    const struct {
        const char* pszCase;
        const char* pszArin; // the ARIN host of the table
        EWhoisServerMode arinMode;
        bool bAnswered;
        ELookupFailure failure;
        bool bZeroByte;
    } kCases[] = {
        {"closes at once", kArin, EWhoisServerMode::closeAtOnce, false, ELookupFailure::kNoAnswer, false},
        {"unknown name", "whois.nowhere.invalid", EWhoisServerMode::normal, false, ELookupFailure::kNameNotResolved,
         false},
        {"over its limit", kArin, EWhoisServerMode::queryLimit, false, ELookupFailure::kRegistryRefused, false},
        {"reset before answering", kArin, EWhoisServerMode::resetAtOnce, false, ELookupFailure::kConnectionReset,
         false},
        {"zero byte", kArin, EWhoisServerMode::zeroByte, true, ELookupFailure::kNone, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszCase);
        CLoopbackWhoisServer server;
        StartAll(server);
        CWhoisServerTable table = TableFor(server);
        table.SetHost(EWhoisRole::arin, c.pszArin);
        server.SetDefaultAnswer(kArin, referral);
        server.SetDefaultAnswer(kRipe, Fixture("ripe/weppos-bouygtel-128.79.0.0.txt"));
        server.SetMode(kArin, c.arinMode);
        std::string result;
        CWhoisChainReport report;
        IPWhoisLookup("130.66.76.222", result, table, m_resolver, RegistryPausedProc(), report);
        EXPECT_EQ(!result.empty(), c.bAnswered);
        EXPECT_EQ(LookupFailureToken(report.m_failure), LookupFailureToken(c.failure));
        EXPECT_EQ(report.m_bZeroByteCut, c.bZeroByte);
    }
}
