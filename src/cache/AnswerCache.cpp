#include "cache/AnswerCache.h"

#include "cache/CacheDatabase.h"
#include "cache/CacheStatement.h"

#include <algorithm>
#include <sqlite3.h>

namespace {

// Rows looked at before the address for the range that holds it; beyond, each
// size class is searched in the few positions where such a range could start.
constexpr int kNearbyRows = 8;
// The time of last use is written at most this often per entry, so a lookup rarely writes.
constexpr int64_t kUseGranularity = 3600;
// Pruning goes below the limit by this share, so that the next puts do not prune again.
constexpr int64_t kPruneSlackPercent = 10;
constexpr int kPruneBatch = 16;

int SpanClass(unsigned __int128 span)
{
    // floor(log2(span + 1)); span + 1 never overflows, the widest entry is far below 2^128.
    unsigned __int128 count = span + 1;
    int k = 0;
    while (count > 1) {
        count >>= 1;
        ++k;
    }
    return k;
}

int MaxSpanClass(int nFamily)
{
    return SpanClass(CAnswerCache::WidestSpan(nFamily));
}

CCachedAnswer ReadRow(const CCacheStatement& s, int nFamily)
{
    // Columns: id, first, last, fetched, used, source, server, answer.
    CCachedAnswer a;
    a.m_first = CCacheAddress::FromBytes(nFamily, s.Blob(1)).value_or(CCacheAddress {});
    a.m_last = CCacheAddress::FromBytes(nFamily, s.Blob(2)).value_or(CCacheAddress {});
    a.m_nFetched = s.Int(3);
    a.m_nUsed = s.Int(4);
    a.m_strSource = s.Text(5);
    a.m_strServer = s.Text(6);
    return a;
}

} // namespace

struct CAnswerCache::CStatements {
    explicit CStatements(sqlite3* pDb)
        : nearby(pDb, "SELECT id, first, last, fetched, used, source, server, answer FROM answers "
                      "WHERE family = ?1 AND first <= ?2 ORDER BY first DESC, last DESC LIMIT ?3")
        , inClass(pDb, "SELECT id, first, last, fetched, used, source, server, answer FROM answers "
                       "WHERE family = ?1 AND span_class = ?2 AND first >= ?3 AND first <= ?4 ORDER BY first DESC")
        , put(pDb,
              "INSERT INTO answers (family, first, last, span_class, source, server, fetched, used, bytes, answer) "
              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) ON CONFLICT (family, first, last) DO UPDATE SET "
              "span_class = excluded.span_class, source = excluded.source, server = excluded.server, "
              "fetched = excluded.fetched, used = excluded.used, bytes = excluded.bytes, answer = excluded.answer "
              "WHERE excluded.fetched >= answers.fetched")
        , used(pDb, "UPDATE answers SET used = ?2 WHERE id = ?1")
        , total(pDb, "SELECT value FROM totals WHERE name = 'answer bytes'")
        , dropOldest(pDb, "DELETE FROM answers WHERE id IN (SELECT id FROM answers ORDER BY used LIMIT ?1)")
    { }
    CCacheStatement nearby;
    CCacheStatement inClass;
    CCacheStatement put;
    CCacheStatement used;
    CCacheStatement total;
    CCacheStatement dropOldest;
};

CAnswerCache::CAnswerCache(CCacheDatabase& db, CAnswerCacheLimits limits)
    : m_db(db)
    , m_limits(limits)
{ }

CAnswerCache::~CAnswerCache() = default;

unsigned __int128 CAnswerCache::WidestSpan(int nFamily)
{
    const int nHostBits = nFamily == 4 ? 32 - kCacheWidestPrefix4 : 128 - kCacheWidestPrefix6;
    return (unsigned __int128)(1) << nHostBits;
}

std::string CAnswerCache::RefusalReason(const CAnswerCachePut& put, int64_t nMaxBytes)
{
    if (put.m_bStub)
        return "a stub that only names another registry";
    if (put.m_bRefusal)
        return "a refusal, not an answer";
    if (put.m_first.m_nFamily != put.m_last.m_nFamily || put.m_first.m_nFamily != put.m_asked.m_nFamily ||
        (put.m_first.m_nFamily != 4 && put.m_first.m_nFamily != 6))
        return "the range and the address are not of one family";
    if (put.m_first.Bytes() > put.m_last.Bytes())
        return "the range ends before it starts";
    if (put.m_asked.Bytes() < put.m_first.Bytes() || put.m_asked.Bytes() > put.m_last.Bytes())
        return "the range does not hold the address asked about";
    // WidestSpan is the number of addresses of the widest prefix; the span is one less.
    if (CacheRangeSpan(put.m_first, put.m_last) >= WidestSpan(put.m_first.m_nFamily))
        return std::string("the range is wider than a /") +
               std::to_string(put.m_first.m_nFamily == 4 ? kCacheWidestPrefix4 : kCacheWidestPrefix6);
    if (put.m_strSource.empty() || put.m_strAnswer.empty())
        return "no answer";
    if (int64_t(put.m_strAnswer.size()) > nMaxBytes)
        return "the answer alone is larger than the cache";
    return std::string();
}

CAnswerCache::CStatements* CAnswerCache::Statements()
{
    if (!m_db.IsOpen())
        return nullptr;
    if (!m_pStatements || m_nGeneration != m_db.Generation()) {
        m_pStatements.reset();
        m_pStatements = std::make_unique<CStatements>(m_db.Handle());
        m_nGeneration = m_db.Generation();
        if (!m_pStatements->nearby.IsValid() || !m_pStatements->put.IsValid()) {
            m_pStatements.reset();
            return nullptr;
        }
    }
    return m_pStatements.get();
}

std::string CAnswerCache::Failed(int nCode, int64_t nNow)
{
    std::string strError = m_db.IsOpen() ? m_db.LastError() : "the cache is not open";
    m_db.Rollback();
    const std::string strNotice = m_db.HandleFailure(nCode, nNow);
    if (!strNotice.empty()) {
        m_pStatements.reset();
        if (m_strNotice.empty())
            m_strNotice = strNotice;
    }
    return strError;
}

std::string CAnswerCache::TakeNotice()
{
    std::string s;
    s.swap(m_strNotice);
    return s;
}

CCacheResult CAnswerCache::FitLimit(int64_t& nDropped)
{
    CStatements* s = Statements();
    if (!s)
        return CCacheResult::Fail("the cache is not open");
    const int64_t nLow = m_limits.m_nMaxBytes - m_limits.m_nMaxBytes / 100 * kPruneSlackPercent;
    for (;;) {
        s->total.Reset();
        if (s->total.Step() != SQLITE_ROW)
            return CCacheResult::Fail(m_db.LastError());
        const int64_t nTotal = s->total.Int(0);
        s->total.Reset();
        if (nTotal <= m_limits.m_nMaxBytes && nDropped == 0)
            return CCacheResult::Ok();
        if (nTotal <= nLow)
            return CCacheResult::Ok();
        s->dropOldest.Reset();
        s->dropOldest.Bind(1, kPruneBatch);
        if (s->dropOldest.Step() != SQLITE_DONE)
            return CCacheResult::Fail(m_db.LastError());
        const int nChanged = sqlite3_changes(m_db.Handle());
        s->dropOldest.Reset();
        if (nChanged == 0)
            return CCacheResult::Ok();
        nDropped += nChanged;
    }
}

CCachePutResult CAnswerCache::Put(const CAnswerCachePut& put, int64_t nNow)
{
    CCachePutResult result;
    result.m_strReason = RefusalReason(put, m_limits.m_nMaxBytes);
    if (!result.m_strReason.empty()) {
        result.m_outcome = ECachePut::kRefused;
        return result;
    }
    return PutAll({put}, nNow);
}

CCachePutResult CAnswerCache::PutAll(const std::vector<CAnswerCachePut>& puts, int64_t nNow, size_t* pnStored)
{
    CCachePutResult result;
    if (pnStored)
        *pnStored = 0;
    if (!Statements()) {
        result.m_outcome = ECachePut::kFailed;
        result.m_strReason = m_db.IsOpen() ? m_db.LastError() : "the cache is not open";
        return result;
    }
    const CCacheResult begin = m_db.BeginWrite();
    if (!begin) {
        result.m_outcome = ECachePut::kFailed;
        result.m_strReason = Failed(sqlite3_extended_errcode(m_db.Handle()), nNow);
        return result;
    }
    CStatements* s = Statements();
    CCacheResult r = CCacheResult::Ok();
    size_t nStored = 0;
    for (const CAnswerCachePut& put : puts) {
        if (!RefusalReason(put, m_limits.m_nMaxBytes).empty())
            continue;
        s->put.Reset();
        s->put.Bind(1, put.m_first.m_nFamily)
            .BindBlob(2, put.m_first.Bytes())
            .BindBlob(3, put.m_last.Bytes())
            .Bind(4, SpanClass(CacheRangeSpan(put.m_first, put.m_last)))
            .BindText(5, put.m_strSource)
            .BindText(6, put.m_strServer)
            .Bind(7, put.m_nFetched)
            .Bind(8, nNow)
            .Bind(9, int64_t(put.m_strAnswer.size()))
            .BindBlob(10, put.m_strAnswer);
        const int nStep = s->put.Step();
        s->put.Reset();
        if (nStep != SQLITE_DONE) {
            r = CCacheResult::Fail(m_db.LastError());
            break;
        }
        ++nStored;
    }
    int64_t nDropped = 0;
    if (r)
        r = FitLimit(nDropped);
    if (r)
        r = m_db.Commit();
    if (!r) {
        result.m_outcome = ECachePut::kFailed;
        result.m_strReason = Failed(sqlite3_extended_errcode(m_db.Handle()), nNow);
        return result;
    }
    if (pnStored)
        *pnStored = nStored;
    return result;
}

CCacheLookup CAnswerCache::Lookup(const CCacheAddress& address, int64_t nNow)
{
    CCacheLookup result;
    CStatements* s = Statements();
    if (!s) {
        result.m_strError = m_db.IsOpen() ? m_db.LastError() : "the cache is not open";
        return result;
    }
    const int nFamily = address.m_nFamily;
    const int64_t nOldest = nNow - int64_t(m_limits.m_nMaxDays) * 86400;
    const std::string_view addr = address.Bytes();
    int64_t nBestId = 0;
    unsigned __int128 bestSpan = 0;
    std::string strBestFirst;

    // A candidate: a fresh row holding the address, narrower than the best so far.
    auto consider = [&](CCacheStatement& st) {
        if (st.Blob(2) < addr || st.Int(3) < nOldest)
            return;
        const CCachedAnswer row = ReadRow(st, nFamily);
        const unsigned __int128 span = CacheRangeSpan(row.m_first, row.m_last);
        if (nBestId != 0 && span >= bestSpan)
            return;
        nBestId = st.Int(0);
        bestSpan = span;
        result.m_answer = row;
        result.m_answer.m_strAnswer.assign(st.Blob(7));
    };

    s->nearby.Reset();
    s->nearby.Bind(1, nFamily).BindBlob(2, addr).Bind(3, kNearbyRows);
    int nRows = 0;
    std::string strLowestSeen;
    int nStep;
    while ((nStep = s->nearby.Step()) == SQLITE_ROW) {
        ++nRows;
        const std::string_view first = s->nearby.Blob(1);
        // Nested ranges: once one holds the address, a range starting further
        // before it is no narrower.
        if (nBestId != 0 && first < result.m_answer.m_first.Bytes())
            break;
        strLowestSeen.assign(first);
        consider(s->nearby);
    }
    s->nearby.Reset();
    if (nStep != SQLITE_ROW && nStep != SQLITE_DONE) {
        result.m_strError = Failed(nStep, nNow);
        return result;
    }
    if (nBestId == 0 && nRows == kNearbyRows) {
        // Many smaller ranges lie between the address and one that holds it: a range
        // of class k (2^k to 2^(k+1)-1 addresses) holding it starts at most
        // 2^(k+1)-1 before it. Narrowest class first; the first class with a hit wins.
        const unsigned __int128 value = address.Value();
        const CCacheAddress lowestSeen = CCacheAddress::FromBytes(nFamily, strLowestSeen).value_or(address);
        for (int k = 0; k <= MaxSpanClass(nFamily) && nBestId == 0; ++k) {
            const unsigned __int128 reach = ((unsigned __int128)(1) << (k + 1)) - 1;
            const unsigned __int128 lo = value > reach ? value - reach : 0;
            if (lo > lowestSeen.Value())
                continue; // every row that could start there was seen
            const CCacheAddress from = CCacheAddress::FromValue(nFamily, lo);
            s->inClass.Reset();
            s->inClass.Bind(1, nFamily).Bind(2, k).BindBlob(3, from.Bytes()).BindBlob(4, lowestSeen.Bytes());
            while ((nStep = s->inClass.Step()) == SQLITE_ROW)
                consider(s->inClass);
            s->inClass.Reset();
            if (nStep != SQLITE_DONE) {
                result.m_strError = Failed(nStep, nNow);
                return result;
            }
        }
    }
    if (nBestId == 0)
        return result;
    result.m_bFound = true;
    if (result.m_answer.m_nUsed < nNow - kUseGranularity) {
        // Best effort and never waiting: a busy file only delays the note of use.
        sqlite3_busy_timeout(m_db.Handle(), 0);
        s->used.Reset();
        s->used.Bind(1, nBestId).Bind(2, nNow);
        s->used.Step();
        s->used.Reset();
        sqlite3_busy_timeout(m_db.Handle(), m_db.BusyTimeoutMs());
        result.m_answer.m_nUsed = nNow;
    }
    return result;
}

CCacheResult CAnswerCache::Clear(int64_t nNow)
{
    if (!Statements())
        return CCacheResult::Fail("the cache is not open");
    CCacheResult r = m_db.Exec("DELETE FROM answers");
    if (!r)
        return CCacheResult::Fail(Failed(sqlite3_extended_errcode(m_db.Handle()), nNow));
    m_db.Exec("PRAGMA incremental_vacuum");
    return r;
}

CCachePruneResult CAnswerCache::Prune(int64_t nNow)
{
    CCachePruneResult result;
    if (!Statements()) {
        result.m_strError = "the cache is not open";
        return result;
    }
    CCacheResult r = m_db.BeginWrite();
    if (r) {
        CCacheStatement old(m_db.Handle(), "DELETE FROM answers WHERE fetched < ?1");
        old.Bind(1, nNow - int64_t(m_limits.m_nMaxDays) * 86400);
        if (old.Step() == SQLITE_DONE)
            result.m_nDropped = sqlite3_changes(m_db.Handle());
        else
            r = CCacheResult::Fail(m_db.LastError());
    }
    if (r) {
        int64_t nDropped = 0;
        // Only when over the limit: FitLimit goes on to the slack only after a drop.
        r = FitLimit(nDropped);
        result.m_nDropped += nDropped;
    }
    if (r)
        r = m_db.Commit();
    if (!r) {
        result.m_strError = Failed(sqlite3_extended_errcode(m_db.Handle()), nNow);
        return result;
    }
    m_db.Exec("PRAGMA incremental_vacuum");
    return result;
}

CAnswerCacheStats CAnswerCache::Stats(int64_t nNow)
{
    CAnswerCacheStats stats;
    if (!Statements()) {
        stats.m_strError = "the cache is not open";
        return stats;
    }
    CCacheResult r = m_db.Exec("BEGIN");
    CCacheStatement counts(m_db.Handle(), "SELECT family, count(*), min(fetched), max(fetched), "
                                          "sum(fetched >= ?1) FROM answers GROUP BY family");
    counts.Bind(1, nNow - int64_t(m_limits.m_nMaxDays) * 86400);
    int nStep;
    while ((nStep = counts.Step()) == SQLITE_ROW) {
        (counts.Int(0) == 4 ? stats.m_nEntries4 : stats.m_nEntries6) = counts.Int(1);
        stats.m_nOldest = stats.m_nOldest == 0 ? counts.Int(2) : std::min(stats.m_nOldest, counts.Int(2));
        stats.m_nNewest = std::max(stats.m_nNewest, counts.Int(3));
        stats.m_nFresh += counts.Int(4);
    }
    if (nStep != SQLITE_DONE)
        stats.m_strError = Failed(nStep, nNow);
    CCacheStatement total(m_db.Handle(), "SELECT value FROM totals WHERE name = 'answer bytes'");
    if (total.Step() == SQLITE_ROW)
        stats.m_nAnswerBytes = total.Int(0);
    CCacheStatement blocks(m_db.Handle(), "SELECT registry, count(*) FROM delegations GROUP BY registry ORDER BY 1");
    while (blocks.Step() == SQLITE_ROW)
        stats.m_delegations.emplace_back(blocks.Text(0), blocks.Int(1));
    m_db.Rollback();
    (void)r;
    return stats;
}

CCacheResult CAnswerCache::ForEach(const std::function<void(const CCachedAnswer&)>& visit, int64_t nNow)
{
    if (!Statements())
        return CCacheResult::Fail("the cache is not open");
    CCacheStatement all(m_db.Handle(), "SELECT id, first, last, fetched, used, source, server, answer, family "
                                       "FROM answers ORDER BY family, first, last");
    int nStep;
    while ((nStep = all.Step()) == SQLITE_ROW) {
        CCachedAnswer a = ReadRow(all, int(all.Int(8)));
        a.m_strAnswer.assign(all.Blob(7));
        visit(a);
    }
    if (nStep != SQLITE_DONE)
        return CCacheResult::Fail(Failed(nStep, nNow));
    return CCacheResult::Ok();
}
