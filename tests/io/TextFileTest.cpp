#include "io/TextFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>

namespace {

void WriteGzip(const std::string& path, const std::string& bytes)
{
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(gzwrite(gz, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
    }
    gzclose(gz);
}

std::string SampleText(size_t lines)
{
    std::string text;
    for (size_t i = 0; i < lines; ++i)
        text += "10.0." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) +
                " - - [07/Dec/2026:12:00:00 +0000] \"GET /page" + std::to_string(i) + " HTTP/1.1\" 200 512\r\n";
    return text;
}

} // namespace

TEST(ReadTextFile, PlainAndGzipGiveTheSameText)
{
    CTempDir dir;
    const std::string text = SampleText(2000);
    WriteFileBytes(dir.File("a.log"), text);
    WriteGzip(dir.File("a.log.gz"), text);

    std::string plain, unzipped;
    const CTextReadResult r1 = ReadTextFile(dir.File("a.log"), plain);
    const CTextReadResult r2 = ReadTextFile(dir.File("a.log.gz"), unzipped);
    EXPECT_TRUE(r1.m_bOpened && r1.m_bComplete);
    EXPECT_TRUE(r2.m_bOpened && r2.m_bComplete);
    EXPECT_EQ(plain, text);
    EXPECT_EQ(unzipped, text);
    // Sized from the file up front: no second copy while it grows.
    EXPECT_LE(plain.capacity(), text.size() + 64);
    EXPECT_LE(unzipped.capacity(), text.size() + 64);
}

TEST(ReadTextFile, ZeroByteCutsOnlyItsOwnChunk)
{
    CTempDir dir;
    std::string bytes(3000, 'a');
    bytes[1500] = '\0'; // second chunk: bytes 1000..1999
    bytes[2000] = 'b'; // first byte of the third chunk survives
    WriteFileBytes(dir.File("nul.txt"), bytes);

    std::string text;
    const CTextReadResult r = ReadTextFile(dir.File("nul.txt"), text);
    EXPECT_TRUE(r.m_bComplete);
    EXPECT_EQ(r.m_nBytesCut, 500u);
    EXPECT_EQ(text, std::string(1500, 'a') + "b" + std::string(999, 'a'));

    // The same through a gzip stream: the chunks are of the decompressed text.
    WriteGzip(dir.File("nul.gz"), bytes);
    std::string unzipped;
    EXPECT_TRUE(ReadTextFile(dir.File("nul.gz"), unzipped).m_bOpened);
    EXPECT_EQ(unzipped, text);
}

TEST(ReadTextFile, ExactMultipleOfTheChunkAndEmptyFile)
{
    CTempDir dir;
    WriteFileBytes(dir.File("2000.txt"), std::string(2000, 'x'));
    WriteFileBytes(dir.File("empty.txt"), "");
    std::string text = "old";
    EXPECT_TRUE(ReadTextFile(dir.File("2000.txt"), text).m_bComplete);
    EXPECT_EQ(text.size(), 2000u);
    const CTextReadResult r = ReadTextFile(dir.File("empty.txt"), text);
    EXPECT_TRUE(r.m_bOpened && r.m_bComplete);
    EXPECT_EQ(text, "");
}

TEST(ReadTextFile, MissingUnreadableAndDirectoryAreReported)
{
    CTempDir dir;
    std::string text = "old";
    CTextReadResult r = ReadTextFile(dir.File("missing.log"), text);
    EXPECT_FALSE(r.m_bOpened);
    EXPECT_EQ(text, "");
    EXPECT_NE(r.m_strError.find("No such file"), std::string::npos) << r.m_strError;

    r = ReadTextFile(dir.Path().string(), text);
    EXPECT_FALSE(r.m_bComplete);
    EXPECT_FALSE(r.m_strError.empty());
    EXPECT_EQ(text, "");

    // Devices never end; reading /dev/zero would never return.
    r = ReadTextFile("/dev/zero", text);
    EXPECT_FALSE(r.m_bOpened);
    EXPECT_EQ(r.m_strError, "not a regular file");

    WriteFileBytes(dir.File("secret.log"), "1.2.3.4\n");
    chmod(dir.File("secret.log").c_str(), 0);
    if (geteuid() != 0) {
        r = ReadTextFile(dir.File("secret.log"), text);
        EXPECT_FALSE(r.m_bOpened);
        EXPECT_FALSE(r.m_strError.empty());
    }
}

TEST(ReadTextFile, TruncatedGzipKeepsWhatCouldBeRead)
{
    CTempDir dir;
    const std::string text = SampleText(5000);
    WriteGzip(dir.File("full.gz"), text);
    const std::string gz = ReadFileBytes(dir.File("full.gz"));
    WriteFileBytes(dir.File("cut.gz"), gz.substr(0, gz.size() / 2));

    std::string got;
    const CTextReadResult r = ReadTextFile(dir.File("cut.gz"), got);
    EXPECT_TRUE(r.m_bOpened);
    EXPECT_FALSE(r.m_bComplete);
    EXPECT_FALSE(r.m_strError.empty());
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(text.compare(0, got.size(), got), 0);
}

TEST(ReadTextFile, LyingGzipTrailerDoesNotInflateTheBuffer)
{
    CTempDir dir;
    WriteGzip(dir.File("small.gz"), "1.2.3.4\n");
    std::string gz = ReadFileBytes(dir.File("small.gz"));
    gz.replace(gz.size() - 4, 4, "\xff\xff\xff\xff");
    WriteFileBytes(dir.File("liar.gz"), gz);
    std::string got;
    const CTextReadResult r = ReadTextFile(dir.File("liar.gz"), got);
    // zlib checks the length at the end and withholds the last piece.
    EXPECT_FALSE(r.m_bComplete);
    EXPECT_NE(r.m_strError.find("length"), std::string::npos) << r.m_strError;
    EXPECT_LE(got.capacity(), gz.size() * 1100);
}

TEST(ReadTextFile, BinaryGarbageIsPassedThroughUpToZeroBytes)
{
    CTempDir dir;
    std::string bytes;
    uint32_t x = 12345;
    for (int i = 0; i < 50000; ++i) {
        x = x * 1103515245u + 12345u;
        bytes += char(x >> 24);
    }
    WriteFileBytes(dir.File("garbage.bin"), bytes);
    std::string got;
    const CTextReadResult r = ReadTextFile(dir.File("garbage.bin"), got);
    EXPECT_TRUE(r.m_bOpened);
    EXPECT_EQ(got.find('\0'), std::string::npos);
    EXPECT_EQ(got.size() + r.m_nBytesCut, bytes.size());
}

TEST(WriteTextFile, CreatesOrTruncatesAndWritesTheBytes)
{
    CTempDir dir;
    const std::string path = dir.File("out.txt");
    std::string error;
    WriteFileBytes(path, std::string(100, 'z'));
    ASSERT_TRUE(WriteTextFile(path, std::string("a\r\nb\0c", 6), error));
    EXPECT_EQ(ReadFileBytes(path), std::string("a\r\nb\0c", 6));
    ASSERT_TRUE(WriteTextFile(path, "", error));
    EXPECT_EQ(ReadFileBytes(path), "");

    EXPECT_FALSE(WriteTextFile(dir.File("no/such/folder/out.txt"), "x", error));
    EXPECT_FALSE(error.empty());
}

TEST(ReadTextFile, AGzipBombStopsAtItsLimitAndKeepsWhatWasRead)
{
    CTempDir dir;
    // 8 MB of one repeated line compresses to a few kilobytes: far beyond 64 to 1.
    std::string bomb;
    const std::string line = "192.0.2.1 - - [07/Dec/2026:12:00:00 +0000] \"GET / HTTP/1.1\" 200 1\n";
    while (bomb.size() < 8u << 20)
        bomb += line;
    WriteGzip(dir.File("bomb.log.gz"), bomb);
    struct stat st { };
    ASSERT_EQ(stat(dir.File("bomb.log.gz").c_str(), &st), 0);
    ASSERT_LT(uint64_t(st.st_size) * 64, uint64_t(2) << 20);

    std::string text;
    const CTextReadResult r = ReadTextFile(dir.File("bomb.log.gz"), text, 2u << 20);
    EXPECT_TRUE(r.m_bOpened);
    EXPECT_FALSE(r.m_bComplete);
    EXPECT_FALSE(r.m_strError.empty());
    EXPECT_GE(text.size(), size_t(2) << 20);
    EXPECT_LT(text.size(), (size_t(2) << 20) + 2000);
    EXPECT_EQ(text.compare(0, line.size(), line), 0);

    // The same text, read with the default limit, is whole.
    text.clear();
    EXPECT_TRUE(ReadTextFile(dir.File("bomb.log.gz"), text).m_bComplete);
    EXPECT_EQ(text.size(), bomb.size());
}
