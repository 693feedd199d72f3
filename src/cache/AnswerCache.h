#pragma once

#include "cache/CacheAddress.h"
#include "cache/CacheResult.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCacheDatabase;
class CCacheStatement;

// One registry's final answer as the cache keeps it.
struct CCachedAnswer {
    CCacheAddress m_first;
    CCacheAddress m_last;
    std::string m_strSource; // "whois" or "rdap"
    std::string m_strServer;
    int64_t m_nFetched = 0; // Unix seconds
    int64_t m_nUsed = 0; // last answered from, Unix seconds (to the hour)
    std::string m_strAnswer; // the whois text or the RDAP JSON, bytes as received
};

// What the caller learned from an answer, for the cache to keep.
struct CAnswerCachePut {
    CCacheAddress m_asked; // the address that was asked about
    CCacheAddress m_first; // the range the answer's facts name
    CCacheAddress m_last;
    std::string m_strSource;
    std::string m_strServer;
    std::string m_strAnswer;
    int64_t m_nFetched = 0;
    bool m_bStub = false; // only names another registry
    bool m_bRefusal = false; // a refusal or limit notice, not an answer
};

enum class ECachePut
{
    kStored,
    kRefused, // the answer may not answer others (m_strReason says why)
    kFailed, // the cache could not be written (m_strReason)
};

struct CCachePutResult {
    ECachePut m_outcome = ECachePut::kStored;
    std::string m_strReason;
};

struct CCacheLookup {
    bool m_bFound = false;
    CCachedAnswer m_answer;
    std::string m_strError; // the cache could not be read: treat as not found
};

struct CAnswerCacheLimits {
    int m_nMaxDays = 30; // an entry answers while it is at most this old
    int64_t m_nMaxBytes = int64_t(512) << 20; // answers' bytes kept, least recently used dropped first
};

struct CAnswerCacheStats {
    int64_t m_nEntries4 = 0;
    int64_t m_nEntries6 = 0;
    int64_t m_nAnswerBytes = 0;
    int64_t m_nOldest = 0; // fetched, Unix seconds; 0 when empty
    int64_t m_nNewest = 0;
    int64_t m_nFresh = 0; // entries young enough to answer
    std::vector<std::pair<std::string, int64_t>> m_delegations; // blocks per registry
    std::string m_strError;
};

struct CCachePruneResult {
    int64_t m_nDropped = 0;
    std::string m_strError;
};

// The answers of the registries, shared by every document and process: an
// address is answered by the most specific fresh entry whose range holds it. The
// rules of range reuse apply at Put: never a stub's or a refusal's range, never
// one wider than an IPv4 /8 or an IPv6 /19, never one that does not hold the
// asked address. Over its byte limit, the least recently used entries go first,
// in batches. Failures come back as values; a damaged file is moved aside and
// replaced, said once through TakeNotice. One thread at a time.
class CAnswerCache
{
public:
    CAnswerCache(CCacheDatabase& db, CAnswerCacheLimits limits);
    ~CAnswerCache();
    CAnswerCache(const CAnswerCache&) = delete;
    CAnswerCache& operator=(const CAnswerCache&) = delete;

    CCachePutResult Put(const CAnswerCachePut& put, int64_t nNow);
    // Several answers in one transaction, far cheaper than one each: those that may
    // not answer others are skipped (counted in *pnStored only when kept); a
    // failure keeps none of the batch.
    CCachePutResult PutAll(const std::vector<CAnswerCachePut>& puts, int64_t nNow, size_t* pnStored = nullptr);
    CCacheLookup Lookup(const CCacheAddress& address, int64_t nNow);

    // Every answer dropped (the delegation data stays).
    CCacheResult Clear(int64_t nNow);
    // Entries too old to answer dropped, then the least recently used down to the limit.
    CCachePruneResult Prune(int64_t nNow);
    CAnswerCacheStats Stats(int64_t nNow);
    // Every entry in address order (IPv4 first).
    CCacheResult ForEach(const std::function<void(const CCachedAnswer&)>& visit, int64_t nNow);

    // A message for the user, once: the file was damaged and replaced, or a write failed.
    std::string TakeNotice();

    const CAnswerCacheLimits& Limits() const { return m_limits; }

    // The widest range an answer may name for its family, as a number of addresses minus one.
    static unsigned __int128 WidestSpan(int nFamily);
    // Why the put may not be kept; empty when it may.
    static std::string RefusalReason(const CAnswerCachePut& put, int64_t nMaxBytes);

private:
    struct CStatements;
    CStatements* Statements();
    // Notes a failed step; the error text.
    std::string Failed(int nCode, int64_t nNow);
    // Drops least recently used entries until the answers fit the limit again.
    CCacheResult FitLimit(int64_t& nDropped);

    CCacheDatabase& m_db;
    CAnswerCacheLimits m_limits;
    std::unique_ptr<CStatements> m_pStatements;
    unsigned m_nGeneration = 0;
    std::string m_strNotice;
};
