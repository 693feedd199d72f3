#include "core/document/NetloreDoc.h"

#include "support/FakeClock.h"
#include "support/ScriptedProgress.h"

#include <gtest/gtest.h>

namespace {

class CreateReportTest : public ::testing::Test
{
protected:
    CreateReportTest()
        : m_doc(&m_clock)
    { }

    CFakeClock m_clock {COleDateTime::FromComponents(2026, 12, 7, 13, 5, 9)};
    CNetloreDoc m_doc;
    CScriptedProgress m_progress;
};

} // namespace

TEST_F(CreateReportTest, EnvelopeByteForByte)
{
    m_doc.SetWhoisText("192.0.2.1", "NetRange: 192.0.2.0 - 192.0.2.255\r\nOrgName: Example\r\n");
    m_doc.SetWhoisText("198.51.100.7", "no line break at the end");
    std::string report;
    EXPECT_EQ(m_doc.CreateReport({"192.0.2.1", "198.51.100.7"}, report, m_progress), 2);
    EXPECT_EQ(report, "<RECORD>\r\n"
                      "IP Address: 192.0.2.1\r\n"
                      "IP Whois Done At: 2026-12-07 13:05:09\r\n\r\n"
                      "NetRange: 192.0.2.0 - 192.0.2.255\r\nOrgName: Example\r\n"
                      "\r\n</RECORD>\r\n\r\n"
                      "<RECORD>\r\n"
                      "IP Address: 198.51.100.7\r\n"
                      "IP Whois Done At: 2026-12-07 13:05:09\r\n\r\n"
                      "no line break at the end"
                      "\r\n</RECORD>\r\n\r\n");
    EXPECT_EQ(m_progress.m_texts, (std::vector<std::string> {"Creating Report"}));
    EXPECT_EQ(m_progress.m_nCloses, 1);
}

TEST_F(CreateReportTest, TextsGoInAsStoredAndAddressesAsListed)
{
    const std::string whois("100% owned by %s\0tail\n", 22);
    m_doc.SetWhoisText("10.0.0.1", whois);
    std::string report;
    // Address texts compare without case; the listed text is the one written.
    EXPECT_EQ(m_doc.CreateReport({"10.0.0.1"}, report, m_progress), 1);
    EXPECT_NE(report.find(whois + "\r\n</RECORD>"), std::string::npos);
}

TEST_F(CreateReportTest, TimesIn1970OrEarlierShowADash)
{
    m_doc.GetData().SetWhoisResult("10.0.0.1", "old", COleDateTime::FromComponents(1970, 6, 1, 0, 0, 0));
    m_doc.GetData().SetWhoisResult("10.0.0.2", "new", COleDateTime::FromComponents(1971, 1, 1, 0, 0, 0));
    std::string report;
    EXPECT_EQ(m_doc.CreateReport({"10.0.0.1", "10.0.0.2"}, report, m_progress), 2);
    EXPECT_EQ(report, "<RECORD>\r\nIP Address: 10.0.0.1\r\nIP Whois Done At: -\r\n\r\nold\r\n</RECORD>\r\n\r\n"
                      "<RECORD>\r\nIP Address: 10.0.0.2\r\nIP Whois Done At: 1971-01-01 00:00:00\r\n\r\n"
                      "new\r\n</RECORD>\r\n\r\n");
}

TEST_F(CreateReportTest, AddressesNeverLookedUpWriteNothing)
{
    m_doc.AddIP("10.0.0.1");
    m_doc.GetData().SetWhoisResult("10.0.0.2", "x", COleDateTime(45000.0, COleDateTime::invalid));
    std::string report;
    EXPECT_EQ(m_doc.CreateReport({"10.0.0.1", "10.0.0.2", "", "10.9.9.9"}, report, m_progress), 0);
    EXPECT_EQ(report, "");
    EXPECT_EQ(m_doc.CreateReport({}, report, m_progress), 0);
}

TEST_F(CreateReportTest, ProgressEveryFiveAndCancelKeepsWhatWasBuilt)
{
    std::vector<std::string> addresses;
    for (int i = 0; i < 12; ++i) {
        addresses.push_back("10.0.0." + std::to_string(i));
        m_doc.SetWhoisText(addresses.back(), "w");
    }
    std::string report;
    EXPECT_EQ(m_doc.CreateReport(addresses, report, m_progress), 12);
    EXPECT_EQ(m_progress.m_positions, (std::vector<int> {0, 41, 83}));
    EXPECT_EQ(m_progress.m_nPolls, 12);

    CScriptedProgress cancelling(3);
    std::string partial;
    EXPECT_EQ(m_doc.CreateReport(addresses, partial, cancelling), 2);
    EXPECT_EQ(partial, report.substr(0, partial.size()));
    EXPECT_EQ(cancelling.m_nCloses, 1);
}
