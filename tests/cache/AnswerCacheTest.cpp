// The answer cache on a real SQLite file: the put rules, the most specific fresh
// range, the byte limit, several processes at once, and damaged or foreign files.

#include "cache/AnswerCache.h"
#include "cache/AnswerCacheSettings.h"
#include "cache/CacheDatabase.h"
#include "core/settings/MemorySettingsStore.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int64_t kNow = 1765000000; // 2025-12-06
constexpr int64_t kDay = 86400;

CCacheAddress A(const char* text)
{
    return CCacheAddress::Parse(text).value();
}

CAnswerCachePut Answer(const char* asked, const char* first, const char* last, const std::string& text,
                       int64_t nFetched = kNow)
{
    CAnswerCachePut p;
    p.m_asked = A(asked);
    p.m_first = A(first);
    p.m_last = A(last);
    p.m_strSource = "whois";
    p.m_strServer = "whois.ripe.net";
    p.m_strAnswer = text;
    p.m_nFetched = nFetched;
    return p;
}

std::string Found(CAnswerCache& cache, const char* address, int64_t nNow = kNow)
{
    const CCacheLookup r = cache.Lookup(A(address), nNow);
    EXPECT_EQ(r.m_strError, "");
    return r.m_bFound ? r.m_answer.m_strAnswer : "-";
}

class AnswerCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.Open(Path(), kNow).m_bOpen); }
    std::string Path() const { return m_dir.File("sub/answers.sqlite"); }

    CTempDir m_dir;
    CCacheDatabase m_db;
};

TEST_F(AnswerCacheTest, PutKeepsOnlyAnswersThatMayAnswerOthers)
{
    CAnswerCache cache(m_db, {});
    struct {
        CAnswerCachePut put;
        bool bStub, bRefusal;
        ECachePut expected;
        const char* reason;
    } cases[] = {
        {Answer("192.0.2.7", "192.0.2.0", "192.0.2.255", "net"), false, false, ECachePut::kStored, ""},
        {Answer("192.0.2.7", "192.0.2.0", "192.0.2.255", "stub"), true, false, ECachePut::kRefused, "stub"},
        {Answer("192.0.2.7", "192.0.2.0", "192.0.2.255", "limit"), false, true, ECachePut::kRefused, "refusal"},
        {Answer("10.1.2.3", "10.0.0.0", "10.255.255.255", "a /8"), false, false, ECachePut::kStored, ""},
        {Answer("10.1.2.3", "10.0.0.0", "11.0.0.0", "wider"), false, false, ECachePut::kRefused, "wider than a /8"},
        {Answer("198.51.100.1", "192.0.2.0", "192.0.2.255", "x"), false, false, ECachePut::kRefused, "does not hold"},
        {Answer("192.0.2.7", "192.0.2.255", "192.0.2.0", "x"), false, false, ECachePut::kRefused, "ends before"},
        {Answer("2001:db8::1", "2001:db8::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff", "v6 /32"), false, false,
         ECachePut::kStored, ""},
        {Answer("2001:db8::1", "2000::", "2000:1fff:ffff:ffff:ffff:ffff:ffff:ffff", "v6 /19"), false, false,
         ECachePut::kRefused, "does not hold"},
        {Answer("2000::1", "2000::", "2000:1fff:ffff:ffff:ffff:ffff:ffff:ffff", "v6 /19"), false, false,
         ECachePut::kStored, ""},
        {Answer("2000::1", "2000::", "2000:3fff:ffff:ffff:ffff:ffff:ffff:ffff", "v6 /18"), false, false,
         ECachePut::kRefused, "wider than a /19"},
        {Answer("2001:db8::1", "192.0.2.0", "192.0.2.255", "mixed"), false, false, ECachePut::kRefused, "family"},
        {Answer("192.0.2.7", "192.0.2.0", "192.0.2.255", ""), false, false, ECachePut::kRefused, "no answer"},
    };
    for (auto& c : cases) {
        c.put.m_bStub = c.bStub;
        c.put.m_bRefusal = c.bRefusal;
        const CCachePutResult r = cache.Put(c.put, kNow);
        EXPECT_EQ(r.m_outcome, c.expected) << c.put.m_strAnswer;
        EXPECT_NE(r.m_strReason.find(c.reason), std::string::npos) << r.m_strReason;
    }
    const CAnswerCacheStats stats = cache.Stats(kNow);
    EXPECT_EQ(stats.m_nEntries4, 2);
    EXPECT_EQ(stats.m_nEntries6, 2);
    EXPECT_EQ(stats.m_nAnswerBytes, 3 + 4 + 6 + 6);
}

TEST_F(AnswerCacheTest, LookupFindsTheMostSpecificFreshRange)
{
    CAnswerCache cache(m_db, {30, int64_t(1) << 30});
    ASSERT_EQ(cache.Put(Answer("10.0.0.1", "10.0.0.0", "10.0.255.255", "the /16"), kNow).m_outcome, ECachePut::kStored);
    // Many /24s inside the /16, and one stale /24.
    for (int i = 0; i < 50; ++i) {
        const std::string net = "10.0." + std::to_string(i) + ".";
        cache.Put(Answer((net + "1").c_str(), (net + "0").c_str(), (net + "255").c_str(), "/24 " + std::to_string(i)),
                  kNow);
    }
    cache.Put(Answer("10.0.200.1", "10.0.200.0", "10.0.200.255", "stale /24", kNow - 31 * kDay), kNow);
    // An /28 inside a /24 and the same /24 again, newer.
    cache.Put(Answer("10.0.7.20", "10.0.7.16", "10.0.7.31", "the /28"), kNow);
    cache.Put(Answer("10.0.7.1", "10.0.7.0", "10.0.7.255", "/24 7 again"), kNow);
    cache.Put(Answer("2001:db8::1", "2001:db8::", "2001:db8:0:ffff:ffff:ffff:ffff:ffff", "v6 /48"), kNow);
    cache.Put(Answer("2001:db8:1::1", "2001:db8::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff", "v6 /32"), kNow);

    const struct {
        const char* address;
        int64_t nNow;
        const char* expected;
    } cases[] = {
        {"10.0.3.9", kNow, "/24 3"},
        {"10.0.7.20", kNow, "the /28"},
        {"10.0.7.32", kNow, "/24 7 again"},
        {"10.0.7.15", kNow, "/24 7 again"},
        // Past all the /24s: found by the search per size class.
        {"10.0.120.1", kNow, "the /16"},
        // Its own /24 is too old: the /16 answers.
        {"10.0.200.9", kNow, "the /16"},
        {"10.0.255.255", kNow, "the /16"},
        {"10.1.0.0", kNow, "-"},
        {"9.255.255.255", kNow, "-"},
        {"10.0.3.9", kNow + 31 * kDay, "-"},
        {"2001:db8::5", kNow, "v6 /48"},
        {"2001:db8:7::5", kNow, "v6 /32"},
        {"2001:db9::", kNow, "-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Found(cache, c.address, c.nNow), c.expected) << c.address;

    // An older answer for the same range does not replace a newer one.
    cache.Put(Answer("10.0.3.1", "10.0.3.0", "10.0.3.255", "older", kNow - kDay), kNow);
    EXPECT_EQ(Found(cache, "10.0.3.9"), "/24 3");
    cache.Put(Answer("10.0.3.1", "10.0.3.0", "10.0.3.255", "newer", kNow + 1), kNow + 1);
    EXPECT_EQ(Found(cache, "10.0.3.9"), "newer");
}

TEST_F(AnswerCacheTest, OverTheLimitTheLeastRecentlyUsedGoFirst)
{
    // 100 answers of 1 KiB in a cache of 64 KiB.
    CAnswerCache cache(m_db, {30, 64 * 1024});
    for (int i = 0; i < 100; ++i) {
        const std::string net = "172.16." + std::to_string(i) + ".";
        const int64_t nWhen = kNow + i * 7200;
        ASSERT_EQ(cache
                      .Put(Answer((net + "1").c_str(), (net + "0").c_str(), (net + "255").c_str(),
                                  std::string(1024, char('a' + i % 26)), nWhen),
                           nWhen)
                      .m_outcome,
                  ECachePut::kStored);
        // The first network is asked for all the time: it stays.
        EXPECT_NE(Found(cache, "172.16.0.9", nWhen), "-") << i;
    }
    const CAnswerCacheStats stats = cache.Stats(kNow + 100 * 7200);
    EXPECT_LE(stats.m_nAnswerBytes, 64 * 1024);
    // Pruned in batches below the limit, not one row at a time at the limit.
    EXPECT_LT(stats.m_nEntries4, 64);
    EXPECT_GT(stats.m_nEntries4, 20);
    EXPECT_NE(Found(cache, "172.16.99.1", kNow + 100 * 7200), "-");
    EXPECT_EQ(Found(cache, "172.16.20.1", kNow + 100 * 7200), "-");

    // prune drops what is too old to answer; clear drops everything.
    CAnswerCache month(m_db, {30, 64 * 1024});
    const CCachePruneResult pruned = month.Prune(kNow + 100 * 7200 + 30 * kDay - 50 * 7200);
    EXPECT_EQ(pruned.m_strError, "");
    EXPECT_GT(pruned.m_nDropped, 0);
    EXPECT_TRUE(month.Clear(kNow));
    EXPECT_EQ(month.Stats(kNow).m_nEntries4, 0);
    EXPECT_EQ(month.Stats(kNow).m_nAnswerBytes, 0);
}

TEST_F(AnswerCacheTest, TwoProcessesWriteAndReadTogetherWithoutLosingEntries)
{
    m_db.Close();
    constexpr int kEach = 300;
    // Both open the file anew at the same moment, then write their own networks
    // and read the other's.
    auto work = [&](int nSide) {
        CCacheDatabase db;
        if (!db.Open(Path(), kNow).m_bOpen)
            return 10;
        CAnswerCache cache(db, {});
        int nSeen = 0;
        for (int i = 0; i < kEach; ++i) {
            const std::string net = std::to_string(nSide == 0 ? 100 : 101) + "." + std::to_string(i / 256) + "." +
                                    std::to_string(i % 256) + ".";
            if (cache.Put(Answer((net + "1").c_str(), (net + "0").c_str(), (net + "255").c_str(), net), kNow)
                    .m_outcome != ECachePut::kStored)
                return 11;
            const std::string other = std::to_string(nSide == 0 ? 101 : 100) + "." + std::to_string(i / 256) + "." +
                                      std::to_string(i % 256) + ".9";
            const CCacheLookup r = cache.Lookup(A(other.c_str()), kNow);
            if (!r.m_strError.empty())
                return 12;
            nSeen += r.m_bFound;
        }
        return 0;
    };
    std::filesystem::remove(Path());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(work(1));
    EXPECT_EQ(work(0), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    ASSERT_TRUE(m_db.Open(Path(), kNow).m_bOpen);
    CAnswerCache cache(m_db, {});
    EXPECT_EQ(cache.Stats(kNow).m_nEntries4, 2 * kEach);
    EXPECT_EQ(Found(cache, "100.1.43.7"), "100.1.43.");
    EXPECT_EQ(Found(cache, "101.0.0.7"), "101.0.0.");
    sqlite3* pDb = m_db.Handle();
    sqlite3_stmt* pStmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(pDb, "PRAGMA journal_mode", -1, &pStmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(pStmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 0)), "wal");
    sqlite3_finalize(pStmt);
}

TEST_F(AnswerCacheTest, ADamagedOrForeignFileIsMovedAsideAndANewOneStarted)
{
    m_db.Close();
    const struct {
        const char* name;
        std::string setup; // SQL for a foreign SQLite file; bytes otherwise
        bool bSql;
    } cases[] = {
        {"not SQLite", "this is a text file, not a database\n", false},
        {"another program's", "CREATE TABLE t (x); PRAGMA application_id = 1234;", true},
        {"no application id", "CREATE TABLE answers (x);", true},
        {"truncated", std::string("SQLite format 3\0", 16) + std::string(84, '\x01'), false},
    };
    for (const auto& c : cases) {
        const std::string path = m_dir.File(std::string(c.name) + ".sqlite");
        if (c.bSql) {
            sqlite3* p = nullptr;
            ASSERT_EQ(sqlite3_open(path.c_str(), &p), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(p, c.setup.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(p);
        } else {
            WriteFileBytes(path, c.setup);
        }
        const std::string before = ReadFileBytes(path);
        CCacheDatabase db;
        const CCacheOpenResult r = db.Open(path, kNow);
        EXPECT_TRUE(r.m_bOpen) << c.name << ": " << r.m_strError;
        const std::string aside = path + ".damaged-20251206-054640";
        EXPECT_NE(r.m_strNotice.find("moved to " + aside), std::string::npos) << c.name << ": " << r.m_strNotice;
        // Moved as it was, and the new file works.
        EXPECT_EQ(ReadFileBytes(aside), before) << c.name;
        CAnswerCache cache(db, {});
        EXPECT_EQ(cache.Put(Answer("192.0.2.1", "192.0.2.0", "192.0.2.255", "x"), kNow).m_outcome, ECachePut::kStored);
        db.Close();
        // Ours now: opened again without a word.
        const CCacheOpenResult again = db.Open(path, kNow);
        EXPECT_TRUE(again.m_bOpen);
        EXPECT_EQ(again.m_strNotice, "") << c.name;
    }
}

TEST_F(AnswerCacheTest, ACacheThatCannotBeWrittenFailsAsAValue)
{
    m_db.Close();
    // A folder where the file should be; an empty path is the cache turned off.
    std::filesystem::create_directories(m_dir.File("dir.sqlite"));
    CCacheDatabase db;
    const CCacheOpenResult r = db.Open(m_dir.File("dir.sqlite"), kNow);
    EXPECT_FALSE(r.m_bOpen);
    EXPECT_NE(r.m_strError.find("cannot open the answer cache"), std::string::npos) << r.m_strError;
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("dir.sqlite")));
    EXPECT_FALSE(db.Open("", kNow).m_bOpen);
    CAnswerCache cache(db, {});
    EXPECT_EQ(cache.Put(Answer("192.0.2.1", "192.0.2.0", "192.0.2.255", "x"), kNow).m_outcome, ECachePut::kFailed);
    const CCacheLookup l = cache.Lookup(A("192.0.2.1"), kNow);
    EXPECT_FALSE(l.m_bFound);
    EXPECT_NE(l.m_strError, "");
}

TEST(AnswerCacheSettings, PathAndLimitsComeFromTheSettings)
{
    const CCacheHomes homes {"/xdg", "/home/u"};
    const struct {
        const char* stored; // nullptr: absent
        CCacheHomes homes;
        const char* expected;
    } cases[] = {
        {nullptr, homes, "/xdg/addrscope/answers.sqlite"},
        {nullptr, {"", "/home/u"}, "/home/u/.cache/addrscope/answers.sqlite"},
        {nullptr, {"relative", "/home/u"}, "/home/u/.cache/addrscope/answers.sqlite"},
        {nullptr, {"", ""}, ""},
        {"", homes, ""},
        {"~/c.sqlite", homes, "/home/u/c.sqlite"},
        {"/var/tmp/c.sqlite", homes, "/var/tmp/c.sqlite"},
    };
    for (const auto& c : cases) {
        CMemorySettingsStore store;
        if (c.stored)
            store.WriteProfileString("Settings", "Answer Cache", c.stored);
        EXPECT_EQ(LoadAnswerCacheSettings(store, c.homes).m_strPath, c.expected) << (c.stored ? c.stored : "absent");
    }
    CMemorySettingsStore store;
    EXPECT_EQ(LoadAnswerCacheSettings(store, homes).m_limits.m_nMaxDays, 30);
    EXPECT_EQ(LoadAnswerCacheSettings(store, homes).m_limits.m_nMaxBytes, int64_t(512) << 20);
    store.WriteProfileString("Settings", "Answer Cache MB", "0");
    store.WriteProfileString("Settings", "Answer Cache Days", "a month");
    EXPECT_EQ(LoadAnswerCacheSettings(store, homes).m_limits.m_nMaxBytes, int64_t(512) << 20);
    EXPECT_EQ(LoadAnswerCacheSettings(store, homes).m_limits.m_nMaxDays, 30);
}

} // namespace
