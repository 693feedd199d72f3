#include "core/document/NetloreDoc.h"

#include "support/FakeNameResolver.h"
#include "support/ScriptedProgress.h"

#include <gtest/gtest.h>

namespace {

class AddIPsFromTextTest : public ::testing::Test
{
protected:
    // Adds without host-name conversion and without patterns unless told.
    int Add(std::string& text, bool bConvert = false, const std::string* pPatterns = nullptr)
    {
        return m_doc.AddIPsFromText(text, bConvert, pPatterns, m_resolver, m_progress);
    }
    int Add(const char* text, bool bConvert = false, const std::string* pPatterns = nullptr)
    {
        std::string s = text;
        return Add(s, bConvert, pPatterns);
    }
    std::vector<std::string> Addresses() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < m_doc.GetData().GetSize(); ++i)
            out.push_back(m_doc.GetData().GetIPAddressAt(i));
        return out;
    }
    std::string Note(const std::string& address) const { return m_doc.GetData().GetNote(address, 3); }

    CNetloreDoc m_doc;
    CFakeNameResolver m_resolver;
    CScriptedProgress m_progress;
};

using Strings = std::vector<std::string>;

std::string CombinedLine(const std::string& address, const std::string& request, int status)
{
    return address + " - - [07/Dec/2026:12:00:00 +0000] \"" + request + "\" " + std::to_string(status) +
           " 512 \"-\" \"Mozilla/5.0\"";
}

} // namespace

TEST_F(AddIPsFromTextTest, RepeatedLinesAddOneRecordAndLeaveTheText)
{
    std::string text = "1.2.3.4\r\n1.2.3.4\r\n5.6.7.8\r\n";
    EXPECT_EQ(Add(text), 2);
    EXPECT_EQ(text, "1.2.3.4\r\n1.2.3.4\r\n5.6.7.8\r\n");
    EXPECT_EQ(Addresses(), (Strings {"1.2.3.4", "5.6.7.8"}));
    EXPECT_TRUE(m_doc.IsModified());
}

TEST_F(AddIPsFromTextTest, SingleLineTakesTheShortFormAndReturnsItsToken)
{
    std::string text = "1.2.3.4";
    EXPECT_EQ(Add(text), 1);
    EXPECT_EQ(text, "1.2.3.4");

    std::string padded = "\r\n \t9.9.9.9 some words \r\n";
    EXPECT_EQ(Add(padded), 1);
    EXPECT_EQ(padded, "9.9.9.9");

    // Already there: nothing added, the text stays.
    std::string again = "1.2.3.4";
    EXPECT_EQ(Add(again), 0);
    EXPECT_EQ(again, "1.2.3.4");
}

TEST_F(AddIPsFromTextTest, SecondFieldFallbackOnlyBeforeTheLastLine)
{
    EXPECT_EQ(Add("2003-01-01 10.1.1.1 GET /\n1.2.3.4"), 2);
    EXPECT_EQ(Addresses(), (Strings {"10.1.1.1", "1.2.3.4"}));

    std::string text = "5.5.5.5\n2003-01-01 10.2.2.2 GET /";
    EXPECT_EQ(Add(text), 1);
    EXPECT_EQ(text, "5.5.5.5");
    EXPECT_EQ(m_doc.GetData().IndexOfIP("10.2.2.2"), -1);

    // The rest must be longer than 6 characters.
    EXPECT_EQ(Add("word 7.7.7.7\n8.8.8.8"), 1);
    EXPECT_EQ(m_doc.GetData().IndexOfIP("7.7.7.7"), -1);
}

TEST_F(AddIPsFromTextTest, ZeroAddressIsHeldBackOnlyByTheInitialLastToken)
{
    EXPECT_EQ(Add("0.0.0.0\n1.2.3.4\n"), 1);
    EXPECT_EQ(m_doc.GetData().IndexOfIP("0.0.0.0"), -1);
    EXPECT_EQ(Add("1.2.3.4\n0.0.0.0\n5.6.7.8"), 2);
    EXPECT_EQ(Addresses(), (Strings {"1.2.3.4", "0.0.0.0", "5.6.7.8"}));

    CNetloreDoc other;
    std::string only = "0.0.0.0";
    EXPECT_EQ(other.AddIPsFromText(only, false, nullptr, m_resolver, m_progress), 1);
    std::string last = "0.0.0.0\n0.0.0.0";
    CNetloreDoc third;
    EXPECT_EQ(third.AddIPsFromText(last, false, nullptr, m_resolver, m_progress), 1);
}

TEST_F(AddIPsFromTextTest, BlankLinesAndLineEndsOfEveryKind)
{
    EXPECT_EQ(Add("1.1.1.1\n\n  \n\t\n2.2.2.2\r3.3.3.3\r\r4.4.4.4\n\r5.5.5.5"), 5);
    EXPECT_EQ(Addresses(), (Strings {"1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4", "5.5.5.5"}));
}

TEST_F(AddIPsFromTextTest, OnlyValidFirstTokensAsWritten)
{
    EXPECT_EQ(Add("1.2.3\n999.1.1.1\na.b 1.2.3.4 y\n010.000.000.001\n10.0.0.1\n255.255.255.255\n1.2.3.4.5\n"), 3);
    EXPECT_EQ(Addresses(), (Strings {"010.000.000.001", "10.0.0.1", "255.255.255.255"}));
}

TEST_F(AddIPsFromTextTest, EmptyTextOpensAndClosesTheProgress)
{
    std::string text;
    EXPECT_EQ(Add(text), 0);
    EXPECT_EQ(m_progress.m_nShows, 1);
    EXPECT_EQ(m_progress.m_nCloses, 1);
    EXPECT_EQ(m_progress.m_texts, (Strings {"Locating and Adding IP Addresses"}));
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(AddIPsFromTextTest, ProgressShowsCountAndConsumedShare)
{
    // Four lines of 8 bytes: the bar follows the consumed text, measured against
    // the length before the final line end was trimmed (32).
    EXPECT_EQ(Add("1.1.1.1\n1.1.1.1\n2.2.2.2\n3.3.3.3\n"), 3);
    EXPECT_EQ(m_progress.m_texts,
              (Strings {"Locating and Adding IP Addresses", "1 IP Addresses Added", "2 IP Addresses Added"}));
    EXPECT_EQ(m_progress.m_positions, (std::vector<int> {28, 53, 78}));
    EXPECT_EQ(m_progress.m_nPolls, 3);
    EXPECT_EQ(m_progress.m_nCloses, 1);
    EXPECT_FALSE(m_progress.m_bOpen);
}

TEST_F(AddIPsFromTextTest, CancelKeepsWhatWasAddedAndCountsIt)
{
    m_progress.m_nCancelAtPoll = 3;
    std::string text;
    for (int i = 1; i <= 10; ++i)
        text += "10.0.0." + std::to_string(i) + "\n";
    const std::string before = text;
    EXPECT_EQ(Add(text), 3);
    EXPECT_EQ(Addresses(), (Strings {"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_TRUE(m_doc.IsModified());
    EXPECT_EQ(text, before);
    EXPECT_EQ(m_progress.m_nCloses, 1);
}

TEST_F(AddIPsFromTextTest, HostNamesConvertOnlyWhenAsked)
{
    m_resolver.AddHost("www.example.com", 0xC0000201); // 192.0.2.1
    EXPECT_EQ(Add("www.example.com\n5.6.7.8"), 1);
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);

    EXPECT_EQ(Add("www.example.com extra\nwww.example.com\nnowhere.invalid\nlocalhost\n9.9.9.9", true), 2);
    EXPECT_EQ(Addresses(), (Strings {"5.6.7.8", "192.0.2.1", "9.9.9.9"}));
    EXPECT_EQ(m_doc.GetData().GetHostName("192.0.2.1"), "www.example.com");
    // One lookup for the run of two lines, one for the name that fails; none without a dot.
    EXPECT_EQ(m_resolver.ForwardCalls(), 2);
}

TEST_F(AddIPsFromTextTest, HostNameOnTheLastLineReturnsItsAddress)
{
    m_resolver.AddHost("host.example.net", 0xC6336401); // 198.51.100.1
    std::string text = "host.example.net";
    EXPECT_EQ(Add(text, true), 1);
    EXPECT_EQ(text, "198.51.100.1");
    // A dotted literal that is not a quad is canonicalised by the conversion.
    std::string literal = "127.1";
    EXPECT_EQ(Add(literal, true), 1);
    EXPECT_EQ(literal, "127.0.0.1");
}

TEST_F(AddIPsFromTextTest, IPv6ClientsAreNeverLookedUp)
{
    const std::string text = CombinedLine("2001:db8::1", "GET / HTTP/1.1", 200) + "\n" +
                             CombinedLine("::ffff:192.0.2.7", "GET / HTTP/1.1", 404) + "\n" +
                             CombinedLine("fe80::1%eth0", "GET / HTTP/1.1", 200) + "\n" +
                             CombinedLine("192.0.2.9", "GET / HTTP/1.1", 200);
    std::string copy = text;
    EXPECT_EQ(Add(copy, true), 3);
    EXPECT_EQ(Addresses(), (Strings {"2001:db8::1", "192.0.2.7", "192.0.2.9"}));
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);
    m_doc.GetData().DeleteAll();
    const std::string patterns = "\" 404 |";
    copy = text;
    EXPECT_EQ(Add(copy, true, &patterns), 1);
    EXPECT_EQ(Addresses(), (Strings {"192.0.2.7"}));
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);
}

TEST_F(AddIPsFromTextTest, PatternsKeepMatchingLinesAndStoreTheRequest)
{
    const std::string patterns = "\" 404 |";
    const std::string text = CombinedLine("1.1.1.1", "GET /ok.html HTTP/1.1", 200) + "\n" +
                             CombinedLine("2.2.2.2", "GET /a.php?x=1 HTTP/1.0", 404) + "\n" +
                             CombinedLine("3.3.3.3", "GET /404 HTTP/1.0", 200) + "\n" +
                             CombinedLine("4.4.4.4", "GET /gone.html HTTP/1.0", 404);
    std::string copy = text;
    EXPECT_EQ(Add(copy, false, &patterns), 2);
    EXPECT_EQ(Addresses(), (Strings {"2.2.2.2", "4.4.4.4"}));
    EXPECT_EQ(Note("2.2.2.2"), "\"GET /a.php\"");
    EXPECT_EQ(Note("4.4.4.4"), "\"GET /gone.html HTTP/1.0\"");

    // An address already there gets no second record, but its note is replaced.
    copy = CombinedLine("2.2.2.2", "POST /login.php?u=a HTTP/1.1", 404) + "\n";
    EXPECT_EQ(Add(copy, false, &patterns), 0);
    EXPECT_EQ(Note("2.2.2.2"), "\"POST /login.php\"");

    // An empty list matches nothing.
    const std::string none;
    copy = text;
    CNetloreDoc other;
    EXPECT_EQ(other.AddIPsFromText(copy, false, &none, m_resolver, m_progress), 0);
}

TEST_F(AddIPsFromTextTest, MatchingHostNameLinesGiveTheirNoteToTheResolvedAddress)
{
    m_resolver.AddHost("crawler.example.org", 0xCB007107); // 203.0.113.7
    const std::string patterns = "/private/report.pdf|";
    std::string text = CombinedLine("crawler.example.org", "GET /private/report.pdf?k=1 HTTP/1.1", 200) + "\n" +
                       CombinedLine("other.example.org", "GET /index.html HTTP/1.1", 200) + "\n1.1.1.1";
    EXPECT_EQ(Add(text, true, &patterns), 1);
    EXPECT_EQ(Addresses(), (Strings {"203.0.113.7"}));
    EXPECT_EQ(m_doc.GetData().GetHostName("203.0.113.7"), "crawler.example.org");
    EXPECT_EQ(Note("203.0.113.7"), "\"GET /private/report.pdf\"");
    // Lines that do not match cost no lookup.
    EXPECT_EQ(m_resolver.ForwardCalls(), 1);
}

TEST_F(AddIPsFromTextTest, VeryLongLinesAndManyLinesStayLinear)
{
    std::string text = "1.2.3.4 " + std::string(10 * 1024 * 1024, 'x');
    EXPECT_EQ(Add(text), 1);
    text = "5.6.7.8 " + std::string(10 * 1024 * 1024, 'y') + "\n9.9.9.9";
    EXPECT_EQ(Add(text), 2);

    // CR-only lines: each byte is looked at a bounded number of times.
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." + std::to_string(i & 255) +
                "\r";
    EXPECT_EQ(Add(many), 100000);
}

TEST_F(AddIPsFromTextTest, BinaryGarbageAddsNothingAndDoesNotLookUp)
{
    std::string text;
    uint32_t x = 7;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1103515245u + 12345u;
        const char c = char(x >> 24);
        text += c == '.' ? 'x' : c;
    }
    EXPECT_EQ(Add(text, true), 0);
    EXPECT_EQ(m_resolver.ForwardCalls(), 0);
}
