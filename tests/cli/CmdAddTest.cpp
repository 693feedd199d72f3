#include "core/document/NetloreDoc.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> DocAddresses(const std::string& path)
{
    CNetloreDoc doc;
    std::vector<std::string> out;
    if (!doc.OnOpenDocument(path, [](const std::string&) {}))
        return out;
    for (int i = 0; i < doc.GetData().GetSize(); ++i)
        out.push_back(doc.GetData().GetIPAddressAt(i));
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(CliAdd, CreatesTheDocumentAndPrintsTheCount)
{
    CTempDir dir;
    const std::string doc = dir.File("list.qdl");
    const std::string settings = "--settings=" + SettingsFile(dir);
    CCliResult r = RunCli({settings, "add", doc, "192.0.2.1\n192.0.2.1\r\n198.51.100.7"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "2\n");
    EXPECT_EQ(DocAddresses(doc), (Strings {"192.0.2.1", "198.51.100.7"}));

    // Nothing new: 0, and the document is left alone.
    r = RunCli({settings, "add", doc, "192.0.2.1"});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_strOut, "0\n");
    EXPECT_EQ(DocAddresses(doc), (Strings {"192.0.2.1", "198.51.100.7"}));
}

TEST(CliAdd, NamesThatDoNotResolveAddNothing)
{
    CTempDir dir;
    const std::string doc = dir.File("new.qdl");
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "add", doc, "no-such-host.invalid\nnodots\n"}, 120);
    EXPECT_FALSE(r.m_bTimedOut);
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "0\n");
    // The missing document is still created, empty.
    EXPECT_EQ(ReadFileBytes(doc), std::string("\0\0\0\0", 4));
}

TEST(CliAdd, UsageAndUnreadableDocument)
{
    CTempDir dir;
    EXPECT_EQ(RunCli({"--settings", SettingsFile(dir), "add", dir.File("x.qdl")}).m_nStatus, 2);

    // A damaged document is not overwritten with the part that could be read.
    const std::string doc = dir.File("bad.qdl");
    WriteFileBytes(doc, std::string("\x05\0\0\0\xff\xff", 6));
    const CCliResult r = RunCli({"--settings", SettingsFile(dir), "add", doc, "192.0.2.1"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("not saved"), std::string::npos) << r.m_strErr;
    EXPECT_EQ(ReadFileBytes(doc), std::string("\x05\0\0\0\xff\xff", 6));
}
