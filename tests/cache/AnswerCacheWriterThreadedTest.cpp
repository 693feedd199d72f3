// The answer cache's writer thread: what is handed over reaches the file, also
// while another connection holds the write lock, and a file that cannot be
// written is said once without a fault.

#include "cache/AnswerCacheWriter.h"
#include "cache/CacheDatabase.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr int64_t kNow = 1765000000;

// The /24 of network n, asked about at its .7; a stub (which the put rules refuse) when bStub.
CAnswerCachePut Network(int n, bool bStub = false)
{
    const std::string strNet = "10." + std::to_string(n / 256) + "." + std::to_string(n % 256) + ".";
    CAnswerCachePut put;
    put.m_asked = CCacheAddress::Parse(strNet + "7").value();
    put.m_first = CCacheAddress::Parse(strNet + "0").value();
    put.m_last = CCacheAddress::Parse(strNet + "255").value();
    put.m_strSource = "whois";
    put.m_strServer = "ARIN";
    put.m_strAnswer = "NetRange: " + strNet + "0 - " + strNet + "255\n";
    put.m_nFetched = kNow;
    put.m_bStub = bStub;
    return put;
}

int64_t EntriesIn(const std::string& strPath)
{
    CCacheDatabase db;
    if (!db.Open(strPath, kNow).m_bOpen)
        return -1;
    CAnswerCache cache(db, {});
    return cache.Stats(kNow).m_nEntries4;
}

} // namespace

TEST(AnswerCacheWriterThreaded, EveryAnswerHandedOverIsInTheFileOnceTheWriterGoes)
{
    CTempDir dir;
    const std::string strPath = dir.File("answers.sqlite");
    constexpr int kBatches = 60;
    constexpr int kEach = 25;
    {
        CAnswerCacheWriter writer(strPath, {});
        for (int b = 0; b < kBatches; ++b) {
            std::vector<CAnswerCachePut> puts;
            for (int i = 0; i < kEach; ++i)
                puts.push_back(Network(b * kEach + i));
            puts.push_back(Network(60000 + b, true));
            writer.Post(puts, kNow);
            EXPECT_TRUE(puts.empty());
        }
        // Gone without a Wait: the destructor writes what is still queued.
    }
    EXPECT_EQ(EntriesIn(strPath), kBatches * kEach);
}

TEST(AnswerCacheWriterThreaded, PostDoesNotWaitForAnotherWriterAndNothingIsLostPastTheBusyTimeOut)
{
    CTempDir dir;
    const std::string strPath = dir.File("answers.sqlite");
    ASSERT_EQ(EntriesIn(strPath), 0);
    // Another process in the middle of a write: it holds the lock for a while.
    sqlite3* pOther = nullptr;
    ASSERT_EQ(sqlite3_open(strPath.c_str(), &pOther), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(pOther, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    // It holds it past the writer's busy time-out: the writer tries again.
    CAnswerCacheWriter writer(strPath, {}, 300);
    std::vector<CAnswerCachePut> puts {Network(1), Network(2), Network(3)};
    writer.Post(puts, kNow);
    std::vector<CAnswerCachePut> more {Network(4)};
    writer.Post(more, kNow);
    // Both returned while the lock is held: nothing can have been written yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(writer.Stored(), 0u);
    ASSERT_EQ(sqlite3_exec(pOther, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(pOther);

    writer.Wait();
    EXPECT_EQ(writer.Stored(), 4u);
    EXPECT_EQ(writer.TakeNotice(), "");
    EXPECT_EQ(EntriesIn(strPath), 4);
}

TEST(AnswerCacheWriterThreaded, AFileThatCannotBeWrittenIsSaidOnce)
{
    CTempDir dir;
    // A folder where the file should be.
    std::filesystem::create_directories(dir.File("answers.sqlite"));
    CAnswerCacheWriter writer(dir.File("answers.sqlite"), {});
    for (int n = 0; n < 3; ++n) {
        std::vector<CAnswerCachePut> puts {Network(n)};
        writer.Post(puts, kNow);
        writer.Wait();
    }
    EXPECT_NE(writer.TakeNotice().find("cannot open the answer cache"), std::string::npos);
    EXPECT_EQ(writer.TakeNotice(), "");
    EXPECT_EQ(writer.Stored(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("answers.sqlite")));
}
