// Reading the registries' delegation files (the real excerpts and files in their
// shape), their .md5 and record-count checks, the import and the look-up.

#include "cache/CacheDatabase.h"
#include "cache/DelegationFile.h"
#include "cache/DelegationStore.h"

#include "support/DelegationFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string Excerpt(const std::string& name)
{
    return ReadFileBytes(TestDataPath("delegated/" + name));
}

CCacheAddress A(const char* text)
{
    return CCacheAddress::Parse(text).value();
}

std::string Who(const CDelegationIndex& index, const char* address)
{
    const auto hit = index.Find(A(address));
    if (!hit)
        return "-";
    return hit->m_strRegistry + " " + hit->m_strCountry + " " + hit->m_strDate + " " + hit->m_strStatus;
}

TEST(DelegationFile, TheRealExcerptsAreReadAndTheirCountsCaught)
{
    const struct {
        const char* name;
        const char* registry;
        int64_t nHeader, nRecords, nSummary;
        size_t nBlocks;
        const char* count; // what the count check says (they are cut: none passes)
    } cases[] = {
        {"netblockfinder-2013-delegated-ripencc-latest-head", "ripencc", 84542, 5, 84542, 5,
         "holds 5 records, its version line says 84542"},
        {"netblockfinder-2013-delegated-apnic-latest-head", "apnic", 31503, 7, 31503, 0, "says 31503"},
        {"ristex-2018-delegated-ripencc-extended-head", "ripencc", 193217, 3, 193217, 2, "says 193217"},
        {"metabrik-2015-delegated-afrinic-head", "afrinic", 4180, 1, 4180, 0, "says 4180"},
        {"netblockfinder-2013-invalid-summary-edited-delegated-ripencc-latest-head", "ripencc", 84542, 5, 84543, 5,
         "says 84542"},
    };
    for (const auto& c : cases) {
        const CDelegationFile f = ParseDelegationFile(Excerpt(c.name));
        ASSERT_TRUE(f.IsRead()) << c.name << ": " << f.m_strError;
        EXPECT_EQ(f.m_strRegistry, c.registry) << c.name;
        EXPECT_EQ(f.m_nHeaderRecords, c.nHeader) << c.name;
        EXPECT_EQ(f.m_nRecords, c.nRecords) << c.name;
        EXPECT_EQ(f.m_nSummaryRecords, c.nSummary) << c.name;
        EXPECT_EQ(f.m_blocks.size(), c.nBlocks) << c.name;
        EXPECT_NE(CheckDelegationCount(f).find(c.count), std::string::npos)
            << c.name << ": " << CheckDelegationCount(f);
    }
    // IPv4 counts become ranges, IPv6 prefix lengths too.
    const CDelegationFile ext = ParseDelegationFile(Excerpt("ristex-2018-delegated-ripencc-extended-head"));
    ASSERT_EQ(ext.m_blocks.size(), 2u);
    EXPECT_EQ(CacheRangeText(ext.m_blocks[0].m_first, ext.m_blocks[0].m_last), "2.0.0.0 - 2.15.255.255");
    EXPECT_EQ(ext.m_blocks[0].m_strCountry, "FR");
    EXPECT_EQ(ext.m_blocks[0].m_strDate, "20100712");
    EXPECT_EQ(CacheRangeText(ext.m_blocks[1].m_first, ext.m_blocks[1].m_last),
              "2001:600:: - 2001:600:ffff:ffff:ffff:ffff:ffff:ffff");

    // A complete file in the published shape passes; one record short, or a claim of one more, does not.
    const std::string whole = GeneratedDelegationFile("arin", 40, 5, 7, 23);
    EXPECT_EQ(CheckDelegationCount(ParseDelegationFile(whole)), "");
    EXPECT_NE(CheckDelegationCount(ParseDelegationFile(whole.substr(0, whole.rfind("arin|")))), "");
    EXPECT_NE(CheckDelegationCount(ParseDelegationFile(GeneratedDelegationFile("arin", 40, 5, 7, 23, 53))), "");
}

TEST(DelegationFile, MalformedFilesAreRefusedNamingTheLine)
{
    const std::string head = "2|ripencc|1|3|19830705|20131229|+0100\n";
    const struct {
        std::string text;
        const char* error; // empty: read
    } cases[] = {
        {"<html>Not Found</html>\n", "line 1: not the version line"},
        {"", "no version line"},
        {"# conditions of use\n\n" + head + "ripencc|FR|ipv4|2.0.0.0|1048576|20100712|allocated\n", ""},
        {head + "ripencc|FR|ipv4|2.0.0.0|1048576|20100712\n", "line 2: a record needs seven fields"},
        {head + "ripencc|FR|ipv4|2.0.0|256|20100712|allocated\n", "line 2: '2.0.0' is not an IPv4 address"},
        {head + "ripencc|FR|ipv4|255.255.255.0|512|20100712|allocated\n", "past the end of the IPv4 space"},
        {head + "ripencc|FR|ipv4|2.0.0.0|0|20100712|allocated\n", "past the end"},
        {head + "ripencc|FR|ipv4|2.0.0.0|-5|20100712|allocated\n", "'-5' is not a number"},
        {head + "ripencc|FR|ipv6|2001:600::|129|20100712|allocated\n", "more than 128"},
        {head + "ripencc|FR|ipv6|2001:600::1|32|20100712|allocated\n", "not the first of its /32"},
        {head + "ripencc|FR|ipv6|2.0.0.0|32|20100712|allocated\n", "is not an IPv6 address"},
        {head + "ripencc|FR|ipv4|2.0.0.0|256|2010-07-12|allocated\n", "is not a date"},
        {head + "ripencc||ipv6|2001:601::|32||reserved\r\nripencc|ZZ|opaque|x|1|20100101|allocated\r\n", ""},
    };
    for (const auto& c : cases) {
        const CDelegationFile f = ParseDelegationFile(c.text);
        if (*c.error == 0)
            EXPECT_TRUE(f.IsRead()) << c.text << ": " << f.m_strError;
        else
            EXPECT_NE(f.m_strError.find(c.error), std::string::npos) << c.text << ": " << f.m_strError;
    }
}

TEST(DelegationFile, BothMd5FormsAreAccepted)
{
    const std::string ripe = Excerpt("netblockfinder-2013-delegated-ripencc-latest-head");
    const std::string digest = Md5Hex(ripe);
    EXPECT_EQ(digest, "65206ee478d903533e85213334145623");
    const struct {
        std::string md5;
        const std::string& bytes;
        const char* error; // empty: the digest matches
    } cases[] = {
        // BSD without a line end, BSD with one, GNU naming the dated file.
        {Excerpt("netblockfinder-2013-delegated-ripencc-latest-head.md5"), ripe, ""},
        {Excerpt("netblockfinder-2013-delegated-apnic-latest-head.md5"),
         Excerpt("netblockfinder-2013-delegated-apnic-latest-head"), ""},
        {digest + "  delegated-arin-extended-20210502\n", ripe, ""},
        {std::string("\n65206EE478D903533E85213334145623  x\n"), ripe, ""},
        {Excerpt("netblockfinder-2013-delegated-ripencc-latest-head.md5"),
         Excerpt("netblockfinder-2013-invalid-summary-edited-delegated-ripencc-latest-head"), "the .md5 file says"},
        {"<html>404</html>\n" + digest + "\n", ripe, "names no MD5 digest"},
        {"", ripe, "names no MD5 digest"},
    };
    for (const auto& c : cases) {
        const std::string error = CheckDelegationMd5(c.bytes, c.md5);
        if (*c.error == 0)
            EXPECT_EQ(error, "") << c.md5;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.md5 << ": " << error;
    }
}

TEST(DelegationStore, AnImportReplacesOnlyItsRegistryAndTheIndexAnswers)
{
    CTempDir dir;
    CCacheDatabase db;
    ASSERT_TRUE(db.Open(dir.File("answers.sqlite"), 1765000000).m_bOpen);
    CDelegationStore store(db);
    ASSERT_TRUE(store.Replace(ParseDelegationFile(Excerpt("netblockfinder-2013-delegated-ripencc-latest-head")), 1));
    ASSERT_TRUE(store.Replace(ParseDelegationFile(Excerpt("ristex-2018-delegated-ripencc-extended-head")), 2));
    ASSERT_TRUE(store.Replace(ParseDelegationFile(GeneratedDelegationFile("arin", 40, 5, 7, 23)), 3));
    // A file that was not read replaces nothing.
    EXPECT_FALSE(store.Replace(ParseDelegationFile("2|arin|1|x\n"), 4));

    CDelegationIndexResult loaded = store.LoadIndex();
    ASSERT_EQ(loaded.m_strError, "");
    const CDelegationIndex& index = loaded.m_index;
    EXPECT_EQ(index.Size(), 2u + 45u);
    const struct {
        const char* address;
        const char* expected;
    } cases[] = {
        {"2.15.255.255", "ripencc FR 20100712 allocated"},
        {"2.16.0.0", "-"}, // the 2013 file's blocks went with the newer import
        {"2001:600:1234::1", "ripencc EU 20100910 allocated"},
        {"23.0.0.0", "arin FR 20101001 allocated"},
        {"23.0.0.255", "arin FR 20101001 allocated"},
        {"23.0.1.0", "-"}, // a gap after the first block
        {"23.0.2.0", "arin DE 20101102 allocated"},
        {"2a03:4::1", "arin IT 20120315 allocated"},
        {"9.9.9.9", "-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Who(index, c.address), c.expected) << c.address;
    const std::vector<CDelegationImport> imports = store.Imports();
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[0].m_strRegistry, "arin");
    EXPECT_EQ(imports[1].m_strSerial, "1546037999");
}

} // namespace
