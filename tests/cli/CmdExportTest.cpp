#include "core/document/NetloreDoc.h"

#include "support/CliRunner.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class CliExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CFakeClock clock(COleDateTime::FromComponents(2026, 12, 7, 9, 30, 0));
        CNetloreDoc doc(&clock);
        doc.SetWhoisText("192.0.2.1", "OrgName: Example\r\nCountry: US\r\n");
        doc.AddIP("192.0.2.2"); // never looked up
        doc.GetData().SetWhoisResult("192.0.2.3", "old\n", COleDateTime::FromComponents(1970, 1, 1, 0, 0, 0));
        ASSERT_TRUE(doc.OnSaveDocument(m_strDoc));
    }
    CCliResult Export(std::vector<std::string> args)
    {
        std::vector<std::string> all {"--settings", SettingsFile(m_dir), "export"};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(all);
    }

    CTempDir m_dir;
    const std::string m_strDoc = m_dir.File("d.qdl");
};

const char kBlock1[] = "<RECORD>\r\nIP Address: 192.0.2.1\r\nIP Whois Done At: 2026-12-07 09:30:00\r\n\r\n"
                       "OrgName: Example\r\nCountry: US\r\n\r\n</RECORD>\r\n\r\n";
const char kBlock3[] = "<RECORD>\r\nIP Address: 192.0.2.3\r\nIP Whois Done At: -\r\n\r\nold\n\r\n</RECORD>\r\n\r\n";

} // namespace

TEST_F(CliExportTest, AllRecordsToAFileByteForByte)
{
    const std::string out = m_dir.File("whois.txt");
    WriteFileBytes(out, std::string(5000, 'x'));
    const CCliResult r = Export({m_strDoc, "-o", out});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "");
    EXPECT_EQ(ReadFileBytes(out), std::string(kBlock1) + kBlock3);
}

TEST_F(CliExportTest, GivenAddressesInTheirOrderToStandardOutput)
{
    const CCliResult r = Export({m_strDoc, "192.0.2.3", "192.0.2.2", "203.0.113.1", "192.0.2.1"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, std::string(kBlock3) + kBlock1);
}

TEST_F(CliExportTest, NothingToExportWritesNoFile)
{
    const std::string out = m_dir.File("none.txt");
    const CCliResult r = Export({m_strDoc, "-o", out, "192.0.2.2", "203.0.113.1"});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_NE(r.m_strErr.find("nothing to export"), std::string::npos) << r.m_strErr;
    struct stat st;
    EXPECT_NE(stat(out.c_str(), &st), 0);
}

TEST_F(CliExportTest, MissingDocumentAndUnwritableOutput)
{
    EXPECT_EQ(Export({m_dir.File("missing.qdl")}).m_nStatus, 1);
    const CCliResult r = Export({m_strDoc, "-o", m_dir.File("no/such/dir/out.txt")});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("cannot write"), std::string::npos) << r.m_strErr;
    EXPECT_EQ(Export({m_strDoc, "-o"}).m_nStatus, 2);
}
