#include "core/document/NetloreDoc.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <sys/stat.h>

namespace {

using Strings = std::vector<std::string>;

// Address -> Notes-D of every record, and the addresses in file order.
struct CDocContents {
    Strings m_addresses;
    std::map<std::string, std::string> m_notes;
};

CDocContents ReadDoc(const std::string& path)
{
    CDocContents c;
    CNetloreDoc doc;
    if (!doc.OnOpenDocument(path, [](const std::string&) {}))
        return c;
    for (int i = 0; i < doc.GetData().GetSize(); ++i) {
        const std::string a = doc.GetData().GetIPAddressAt(i);
        c.m_addresses.push_back(a);
        c.m_notes[a] = doc.GetData().GetNote(a, 3);
    }
    return c;
}

void WriteGzip(const std::string& path, const std::string& bytes)
{
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
    gzclose(gz);
}

class CliImportTest : public ::testing::Test
{
protected:
    CCliResult Import(const std::string& doc, const std::string& file, Strings flags = {})
    {
        Strings args {"--settings", SettingsFile(m_dir), "import", doc, file};
        args.insert(args.end(), flags.begin(), flags.end());
        return RunCli(args);
    }

    CTempDir m_dir;
    const std::string m_elastic = TestDataPath("logs/elastic-examples-apache_logs-first600.log");
    const std::string m_basjes = TestDataPath("logs/basjes-hackers-access-2015.log");
};

} // namespace

TEST_F(CliImportTest, RealApacheLogAsATextFile)
{
    const std::string doc = m_dir.File("all.qdl");
    CCliResult r = Import(doc, m_elastic, {"--no-convert"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "123\n");
    const CDocContents c = ReadDoc(doc);
    ASSERT_EQ(c.m_addresses.size(), 123u);
    EXPECT_EQ(c.m_addresses.front(), "83.149.9.216");
    EXPECT_EQ(c.m_notes.at("83.149.9.216"), "");

    // 520 clients, two of them IPv6.
    r = Import(m_dir.File("basjes.qdl"), m_basjes, {"--no-convert"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "520\n");
}

TEST_F(CliImportTest, RealApacheLogWithPageNotFound)
{
    const std::string doc = m_dir.File("404.qdl");
    const CCliResult r = Import(doc, m_elastic, {"--not-found"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "4\n");
    const CDocContents c = ReadDoc(doc);
    EXPECT_EQ(c.m_addresses, (Strings {"66.249.73.185", "208.91.156.11", "111.199.235.239", "144.76.194.187"}));
    EXPECT_EQ(c.m_notes.at("66.249.73.185"), "\"GET /doc/index.html\"");
    EXPECT_EQ(c.m_notes.at("208.91.156.11"), "\"GET /files/logstash/logstash-1.3.2-monolithic.jar HTTP/1.1\"");
    // Its second 404 follows directly and is skipped as a repeat of the same address.
    EXPECT_EQ(c.m_notes.at("144.76.194.187"), "\"GET /wp-login.php HTTP/1.0\"");
}

TEST_F(CliImportTest, RealApacheLogWithPageAndCustomConditions)
{
    const std::string doc = m_dir.File("page.qdl");
    CCliResult r = Import(doc, m_basjes, {"--no-convert", "--page", "POST /join_form"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const CDocContents c = ReadDoc(doc);
    ASSERT_FALSE(c.m_addresses.empty());
    for (const auto& [address, note] : c.m_notes)
        EXPECT_TRUE(note == "\"POST /join_form HTTP/1.1\"" || note == "\"POST /join_form HTTP/1.0\"")
            << address << ": " << note;

    // A custom text typed without its closing bar gets one, as in the window: both
    // take the same lines into the same document.
    r = Import(m_dir.File("nobar.qdl"), m_basjes, {"--no-convert", "--custom", "join_form"});
    EXPECT_EQ(r.m_strOut, "520\n");
    r = Import(m_dir.File("bar.qdl"), m_basjes, {"--no-convert", "--custom=join_form|"});
    EXPECT_EQ(r.m_strOut, "520\n");
    EXPECT_EQ(ReadFileBytes(m_dir.File("nobar.qdl")), ReadFileBytes(m_dir.File("bar.qdl")));
}

TEST_F(CliImportTest, GzipAndPlainGiveTheSameRecordsAndNotes)
{
    const std::string gz = m_dir.File("access.log.gz");
    WriteGzip(gz, ReadFileBytes(m_elastic));
    for (const Strings& flags : {Strings {"--no-convert"}, Strings {"--not-found", "--exploit"}}) {
        const std::string a = m_dir.File("plain.qdl"), b = m_dir.File("gzip.qdl");
        std::remove(a.c_str());
        std::remove(b.c_str());
        const CCliResult ra = Import(a, m_elastic, flags);
        const CCliResult rb = Import(b, gz, flags);
        EXPECT_EQ(ra.m_strOut, rb.m_strOut);
        EXPECT_EQ(ReadFileBytes(a), ReadFileBytes(b));
        EXPECT_FALSE(ReadDoc(b).m_addresses.empty());
    }
}

TEST_F(CliImportTest, MissingUnreadableAndEmptyFiles)
{
    const std::string doc = m_dir.File("d.qdl");
    CCliResult r = Import(doc, m_dir.File("missing.log"));
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("cannot open"), std::string::npos) << r.m_strErr;
    struct stat st;
    EXPECT_NE(stat(doc.c_str(), &st), 0) << "the document must not be created";

    if (geteuid() != 0) {
        const std::string locked = m_dir.File("locked.log");
        WriteFileBytes(locked, "192.0.2.1\n");
        chmod(locked.c_str(), 0);
        r = Import(doc, locked);
        EXPECT_EQ(r.m_nStatus, 1);
        EXPECT_NE(r.m_strErr.find("Permission denied"), std::string::npos) << r.m_strErr;
    }

    r = Import(doc, m_dir.Path().string());
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_FALSE(r.m_strErr.empty());

    WriteFileBytes(m_dir.File("empty.log"), "");
    r = Import(doc, m_dir.File("empty.log"), {"--not-found"});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_strOut, "0\n");
    EXPECT_NE(r.m_strErr.find("empty"), std::string::npos) << r.m_strErr;
}

TEST_F(CliImportTest, TruncatedGzipImportsWhatCouldBeRead)
{
    std::string log;
    for (int i = 0; i < 20000; ++i)
        log += "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) +
               " - - [07/Dec/2026:12:00:00 +0000] \"GET / HTTP/1.1\" 200 9\n";
    WriteGzip(m_dir.File("full.gz"), log);
    const std::string gz = ReadFileBytes(m_dir.File("full.gz"));
    WriteFileBytes(m_dir.File("cut.gz"), gz.substr(0, gz.size() / 2));

    const std::string doc = m_dir.File("d.qdl");
    const CCliResult r = Import(doc, m_dir.File("cut.gz"), {"--no-convert"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("reading stopped"), std::string::npos) << r.m_strErr;
    const size_t n = ReadDoc(doc).m_addresses.size();
    EXPECT_GT(n, 0u);
    EXPECT_LT(n, 20000u);
    EXPECT_EQ(r.m_strOut, std::to_string(n) + "\n");
}

TEST_F(CliImportTest, GarbageZeroBytesLongLinesAndCROnlyLineEnds)
{
    // Zero bytes: only the line that holds one is lost (and the import says so).
    std::string withNul = "192.0.2.1\n" + std::string(100, 'x') + '\0' + "\n192.0.2.2\n";
    withNul.resize(1000, 'y');
    withNul += "\n192.0.2.3\n";
    WriteFileBytes(m_dir.File("nul.log"), withNul);
    CCliResult r = Import(m_dir.File("nul.qdl"), m_dir.File("nul.log"), {"--no-convert"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_NE(r.m_strErr.find("holds NUL bytes"), std::string::npos) << r.m_strErr;
    EXPECT_EQ(ReadDoc(m_dir.File("nul.qdl")).m_addresses, (Strings {"192.0.2.1", "192.0.2.2", "192.0.2.3"}));

    WriteFileBytes(m_dir.File("cr.log"), "192.0.2.1 a\r192.0.2.2 b\r192.0.2.3");
    r = Import(m_dir.File("cr.qdl"), m_dir.File("cr.log"), {"--no-convert"});
    EXPECT_EQ(r.m_strOut, "3\n");

    WriteFileBytes(m_dir.File("long.log"), "192.0.2.9 " + std::string(10 * 1024 * 1024, 'z'));
    r = Import(m_dir.File("long.qdl"), m_dir.File("long.log"), {"--no-convert"});
    EXPECT_EQ(r.m_strOut, "1\n");
    EXPECT_EQ(r.m_nStatus, 0);

    std::string garbage;
    uint32_t x = 99;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        garbage += char(x >> 24);
    }
    WriteFileBytes(m_dir.File("garbage.bin"), garbage);
    r = Import(m_dir.File("garbage.qdl"), m_dir.File("garbage.bin"), {"--no-convert", "--exploit"});
    // Its lines with zero bytes were skipped as damaged.
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strOut, "0\n");
}

TEST_F(CliImportTest, HostNamesFollowTheSettingAndFailQuietly)
{
    WriteFileBytes(m_dir.File("names.txt"), "no-such-host.invalid\n2001:db8::7 - -\nfe80::1\n192.0.2.44\n");
    CCliResult r = Import(m_dir.File("n.qdl"), m_dir.File("names.txt"));
    EXPECT_FALSE(r.m_bTimedOut);
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    // The IPv6 addresses are taken as they are, never looked up as names.
    EXPECT_EQ(r.m_strOut, "3\n");

    // A dotted literal that is no quad resolves without the network.
    WriteFileBytes(m_dir.File("literal.txt"), "192.0.2.44\n127.1\n");
    r = Import(m_dir.File("on.qdl"), m_dir.File("literal.txt"));
    EXPECT_EQ(r.m_strOut, "2\n");
    r = Import(m_dir.File("flag.qdl"), m_dir.File("literal.txt"), {"--no-convert"});
    EXPECT_EQ(r.m_strOut, "1\n");
    WriteFileBytes(m_dir.File("off.ini"), "[Settings]\nConvert%20Host%20Names=0\n");
    r = RunCli({"--settings", m_dir.File("off.ini"), "import", m_dir.File("off.qdl"), m_dir.File("literal.txt")});
    EXPECT_EQ(r.m_strOut, "1\n");
}

TEST_F(CliImportTest, UsageErrors)
{
    EXPECT_EQ(Import(m_dir.File("d.qdl"), m_elastic, {"--page"}).m_nStatus, 2);
    EXPECT_EQ(Import(m_dir.File("d.qdl"), m_elastic, {"--bogus"}).m_nStatus, 2);
    EXPECT_EQ(RunCli({"--settings", SettingsFile(m_dir), "import", m_dir.File("d.qdl")}).m_nStatus, 2);
}

// Every import says on standard error what it took and what it skipped; standard
// output keeps the count of records added.
TEST_F(CliImportTest, EveryImportSaysWhatItTookAndSkipped)
{
    const std::string text = m_dir.File("mixed.txt");
    WriteFileBytes(text, "10.0.0.1\nnot-an-address\n10.0.0.2 x\n10.0.0.1\n2001:db8::1\n");
    struct Case {
        std::string m_strFile;
        Strings m_flags;
        std::string m_strOut;
        std::string m_strSummary;
    };
    const Case cases[] = {
        {text,
         {"--no-convert"},
         "3\n",
         "Imported 3 addresses (3 new) from 4 matching lines of 5; skipped 1 lines (0 damaged, 1 not an address); "
         "IPv4: 2 addresses (2 new), IPv6: 1 addresses (1 new)"},
        {m_elastic,
         {"--no-convert"},
         "123\n",
         "Imported 123 addresses (123 new) from 600 matching lines of 600; skipped 0 lines (0 damaged, 0 not an "
         "address)"},
        {m_elastic,
         {"--no-convert", "--not-found"},
         "4\n",
         "Imported 4 addresses (4 new) from 7 matching lines of 600; skipped 593 lines (0 damaged, 0 not an address)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const CCliResult r = Import(m_dir.File("summary" + std::to_string(n++) + ".qdl"), c.m_strFile, c.m_flags);
        EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
        EXPECT_EQ(r.m_strOut, c.m_strOut);
        EXPECT_NE(r.m_strErr.find(c.m_strSummary), std::string::npos) << r.m_strErr;
    }
}
