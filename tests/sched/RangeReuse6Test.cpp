#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"
#include "sched/RangeReuse.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const COleDateTime kNoon = COleDateTime::FromComponents(2026, 12, 7, 12, 0, 0);

CWhoisFacts Facts6(const char* pszRange, const char* pszRegistry = "RIPE")
{
    CWhoisFacts facts;
    facts.m_range6 = *ParseIPRange(pszRange);
    facts.m_strRegistry = pszRegistry;
    return facts;
}

// A stored result as the lookup makes it: the address, a blank line, the answer.
std::string Stored(const std::string& strAddress, const std::string& file)
{
    return strAddress + "\r\n\r\n" + ReadFileBytes(TestDataPath("whois6/" + file));
}

struct CWaitingDocument {
    CIPDataArray data;
    CRangeReuse reuse;

    void Queue(const std::string& strAddress)
    {
        data.FindOrAdd(strAddress);
        data.GetWaitingList(lookupWhois).AddUnique(strAddress);
        reuse.NoteWaiting(strAddress);
    }
    bool Waits(const std::string& strAddress) const { return data.GetWaitingList(lookupWhois).Contains(strAddress); }
    // The final answer for strSource, read as the run reads it.
    std::vector<std::string> Answer(const std::string& strSource, const std::string& file)
    {
        const std::string text = Stored(strSource, file);
        data.SetWhoisResult(strSource, text, kNoon);
        const CWhoisFacts facts = ReadWhoisFacts(text, *ParseIPAddress(strSource));
        return reuse.ApplyFinalAnswer(data, strSource, text, facts, kNoon);
    }
};

} // namespace

TEST(RangeReuse6, OnlyARegistrysFinalRangeUpToASlash19IsReused)
{
    CWhoisFacts stub = Facts6("2a00::/12", "ARIN");
    stub.m_bIsRegistryStub = true;
    CWhoisFacts misses = Facts6("2001:db8::/48");
    misses.m_bMissesAddress = true;
    const struct {
        const char* pszName;
        CWhoisFacts facts;
        bool bReusable;
    } cases[] = {
        {"RIPE /48", Facts6("2001:630:d0::/48"), true},
        {"ARIN /32", Facts6("2001:4860::/32", "ARIN"), true},
        {"one address", Facts6("2801:10:c000::/128", "LACNIC"), true},
        {"a range that is no block", Facts6("2001:db8::5 - 2001:db8::1:7", "APNIC"), true},
        {"exactly a /19 inside a registry's /12", Facts6("2a01::/19"), true},
        {"an ISP's /20 inside ARIN's /12", Facts6("2601::/20", "ARIN"), true},
        {"wider than a /19", Facts6("2a01::/18"), false},
        {"whole address space", Facts6("::/0", "ARIN"), false},
        // IANA's delegations to the registries, and ranges holding one, are the registry's own.
        {"AFRINIC's /23 from IANA", Facts6("2001:4200::/23", "AFRINIC"), false},
        {"LACNIC's /23 from IANA", Facts6("2001:1200::/23", "LACNIC"), false},
        {"a /22 holding two registries' /23s", Facts6("2001:4000::/22"), false},
        {"stub naming another registry", stub, false},
        {"range that misses the address", misses, false},
        {"rwhois host", Facts6("2001:db8::/48", "rwhois:rwhois.example.net"), false},
        {"national registry", Facts6("2001:240::/32", "JPNIC"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsReusableRange(c.facts), c.bReusable) << c.pszName;
}

// Real answers: RIPE's /48 for a university and ARIN's /32 for Google each answer
// every waiting address inside them with one query; neighbours outside keep waiting.
TEST(RangeReuse6, OneQueryAnswersASlash48AndASlash32)
{
    CWaitingDocument doc;
    std::vector<std::string> in48;
    std::vector<std::string> in32;
    for (int i = 1; i <= 40; ++i) {
        char buf[64];
        snprintf(buf, sizeof buf, "2001:630:d0:%x::%x", i * 97, i);
        in48.push_back(buf);
        snprintf(buf, sizeof buf, "2001:4860:%x::%x", i * 1601, i);
        in32.push_back(buf);
    }
    for (const std::string& a : in48)
        doc.Queue(a);
    for (const std::string& a : in32)
        doc.Queue(a);
    const std::vector<std::string> outside = {"2001:630:d1::1", "2001:630:cf:ffff::1", "2001:4861::1",
                                              "2001:485f:ffff::1", "192.0.2.1"};
    for (const std::string& a : outside)
        doc.Queue(a);

    const std::string soton = "2001:630:d0:f111:203:93ff:fed1:f454";
    std::vector<std::string> answered =
        doc.Answer(soton, "ripe/phpwhois-soton-org-route6-2001-630-d0-f111-203-93ff-fed1-f454.txt");
    std::sort(answered.begin(), answered.end());
    std::vector<std::string> expected = in48;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(answered, expected);
    for (const std::string& a : in48) {
        EXPECT_FALSE(doc.Waits(a));
        EXPECT_EQ(doc.reuse.GetReusedFrom(a), soton);
        EXPECT_EQ(doc.data.GetRawWhois(a).rfind(a + "\r\n\r\n", 0), 0u);
        EXPECT_EQ(doc.data.GetWhoisTime(a), kNoon);
    }

    answered = doc.Answer("2001:4860:4860::8888", "arin/ipwhois-google-2001-4860-4860--8888.txt");
    EXPECT_EQ(answered.size(), in32.size());
    for (const std::string& a : in32)
        EXPECT_EQ(doc.reuse.GetReusedFrom(a), "2001:4860:4860::8888") << a;
    for (const std::string& a : outside)
        EXPECT_TRUE(doc.Waits(a)) << a;
    EXPECT_EQ(doc.data.GetWaitingList(lookupWhois).GetSize(), int(outside.size()));

    // Queued later: answered at once from the most specific fresh range.
    doc.data.FindOrAdd("2001:630:d0::99");
    EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "2001:630:d0::99", 1440, kNoon), soton);
    doc.data.FindOrAdd("2001:4860:1::1");
    EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "2001:4860:1::1", 1440, kNoon), "2001:4860:4860::8888");
    doc.data.FindOrAdd("2001:4861::2");
    EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "2001:4861::2", 1440, kNoon), "");
}

TEST(RangeReuse6, IanasStubForARegistryAnswersNobody)
{
    CWaitingDocument doc;
    doc.Queue("2001:1218::5");
    doc.Queue("2001:1300::1");
    EXPECT_TRUE(doc.Answer("2001:1218::1", "other/unamredes-2020-iana-stub-lacnic-2001-1218--_32.txt").empty());
    EXPECT_TRUE(doc.Waits("2001:1218::5"));
    EXPECT_TRUE(doc.Waits("2001:1300::1"));
    doc.data.FindOrAdd("2001:1218::6");
    EXPECT_EQ(doc.reuse.AnswerFromKnownRange(doc.data, "2001:1218::6", 1440, kNoon), "");
}
