#pragma once

#include "sched/LookupChoice.h"
#include "sched/LookupProgress.h"
#include "sched/LookupSession.h"
#include "sched/RangeReuse.h"
#include "sched/RunSummary.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CAnswerCache;
struct CAnswerCachePut;
class CAnswerCacheWriter;
class CClock;
class CCompletionSink;
class CIcmpService;
class CNameResolver;
class CNetloreDoc;

// How one address of a run ended.
enum class ERunStatus
{
    ok, // answered (by a server, or from a known range)
    failed, // no usable answer; m_strReason says why when there is more to say
    gaveUp, // no answer after the tries the retry rule allows, or while stopping
};

struct CRunFinished {
    int m_nKind = -1;
    std::string m_strAddress;
    ERunStatus m_status = ERunStatus::ok;
    // Answered from the known range of this address's answer; empty: asked itself.
    std::string m_strReusedFrom;
    // Why it failed: "time-out", "connection refused", "connection reset", "cut at Max
    // Answer Size", "registry refused", "name not resolved" or "no answer".
    std::string m_strReason;
    // Empty answers in a row before it was given up.
    int m_nEmptyAnswers = 0;
    // A zero byte cut a whois answer short on the way: the text lacks what followed it.
    bool m_bZeroByteCut = false;
};

// What a front end did with a checkpoint the run said was due.
enum class ECheckpoint
{
    written, // saved (or the write has begun)
    busy, // the previous one is still being written: ask again later
    failed, // said so; the next one waits its turn
};

// The front ends of a run: the window, the command line, the benchmarks. Each is
// told what happened, and does only what is its own (panes, printing, saving).
class CLookupRunListener
{
public:
    virtual ~CLookupRunListener() = default;
    // An address of the run finished (after its merge and the reuse it caused).
    virtual void OnAddressFinished(const CRunFinished& finished) = 0;
    // Results are unsaved and the cadence says a checkpoint is due (bNow: the
    // front end asked for one at once).
    virtual ECheckpoint OnCheckpointDue(bool bNow)
    {
        (void)bNow;
        return ECheckpoint::written;
    }
    // A registry's pause began or ended: the text of the pauses now (empty: none).
    virtual void OnPauseChanged(const std::string& strPauses) { (void)strPauses; }
    // A registry denied access for good; said once per registry.
    virtual void OnRegistryDenied(const std::string& strRegistry, const std::string& strReason)
    {
        (void)strRegistry;
        (void)strReason;
    }
    // The stop's grace ended with lookups still running: they are cancelled now.
    virtual void OnGraceOver(int nRunning) { (void)nRunning; }
    // Nothing waits or runs any more.
    virtual void OnRunEnded() { }
};

// One bulk lookup run from queueing to the end, for every front end: the session
// (workers, ticks, merges), range reuse, the give-up rule, progress and time left,
// registry pauses and denials, the checkpoint cadence, stopping with a grace period
// and the results. UI thread only (the command line's main thread).
class CLookupRun
{
public:
    using SteadyClock = std::chrono::steady_clock;

    // The document, resolver and clock must outlive the run; a null sink gives the
    // session its own queue (MergeArrived, RunToEnd).
    CLookupRun(CNetloreDoc& doc, CNameResolver& resolver, CIcmpService* pIcmp, const CClock& clock,
               CCompletionSink* pSink = nullptr);
    ~CLookupRun();
    CLookupRun(const CLookupRun&) = delete;
    CLookupRun& operator=(const CLookupRun&) = delete;

    // ---- configuration ----
    CLookupSession& Session() { return *m_pSession; }
    const CLookupSession& Session() const { return *m_pSession; }
    void SetListener(CLookupRunListener* pListener) { m_pListener = pListener; }
    // Whois answers cover the addresses waiting inside their range, and fresh ranges
    // of the document answer at queue time.
    void SetReuseKnownRanges(bool bReuse) { m_bReuse = bReuse; }
    bool ReusesKnownRanges() const { return m_bReuse; }
    void SetCheckpointCadence(int nSeconds, int nResults);
    // The answer cache shared by every document and process (null: none). A fresh
    // entry whose range holds a queued address answers it, unless bAnswerFromCache is
    // off (the user asked the registries again); every final answer is written to
    // it either way, through pWriter when given (on its thread: the run's thread
    // never waits for the disk), else through the cache itself. Both must outlive
    // the run.
    void SetAnswerCache(CAnswerCache* pCache, bool bAnswerFromCache = true, CAnswerCacheWriter* pWriter = nullptr);
    // The source a reused answer names when it came from the cache.
    static constexpr const char* kFromCache = "cache";
    // The monotonic time of ticks, checkpoints and the grace; tests move their own.
    void SetSteadyClock(std::function<SteadyClock::time_point()> fnNow);

    // ---- queueing ----
    // Queues the addresses for the choice's kinds; known ranges answer at once (each
    // reported as finished with its source).
    CQueueCounts Queue(const std::vector<std::string>& addresses, const CLookupChoice& choice);
    // One address asked for explicitly (F5, the quick lookup): the servers are asked,
    // whatever a neighbour's answer says. True when it waits.
    bool QueueExplicit(int nKind, const std::string& strAddress);
    // Another document (or the same one read again): nothing of the old run carries
    // over; the fresh ranges its records hold are noted.
    void OnDocumentChanged();
    // The document was saved: nothing is owed to a checkpoint.
    void OnDocumentSaved();

    // ---- driving ----
    // The window's timer: a tick while anything waits or runs, else the run ends;
    // then the checkpoint cadence.
    void OnTimer();
    // A tick when one is due (TickIfDue of the session).
    bool TickIfDue();
    // A completion on the UI thread (the window's sink hands it here).
    void Complete(int nCode, CLookupJob* pJob);
    // With the session's own queue: merges what arrives until the deadline.
    int MergeArrived(SteadyClock::time_point deadline, int nMost = INT_MAX);
    // Ticks and merges until nothing waits or runs. fnStopAsked is asked every slice
    // (signals, keys); once it says yes the run stops with the grace. Ticks in a row
    // on which no worker could start end the run too (StartFailed() tells).
    void RunToEnd(const std::function<bool()>& fnStopAsked, std::chrono::milliseconds grace,
                  std::chrono::milliseconds slice = std::chrono::milliseconds(200));
    // Saves now if anything is unsaved (bNow), or when the cadence says so.
    void Checkpoint(bool bNow = false);
    // A checkpoint written in the background failed: results are unsaved again.
    void CheckpointFailedLater() { m_nUnsaved = std::max(m_nUnsaved, 1); }
    // Stop All: nothing waits any more; running lookups still report.
    void StopAll();
    // Stops starting lookups; those running get the grace, then they are cancelled.
    void Stop(std::chrono::milliseconds grace);
    bool IsStopping() const { return m_bStopAsked; }
    // Cancels the running exchanges; their jobs still report (as not looked up).
    void CancelRunning();
    // Waits for every worker and merges what they delivered.
    void Finish();

    // ---- state ----
    const CLookupProgress& Progress() const { return m_progress; }
    CRangeReuse& Reuse() { return m_reuse; }
    // Given up after empty answers, until asked again.
    bool IsGivenUp(const std::string& strAddress) const { return m_givenUp.count(strAddress) != 0; }
    // Answered from known ranges during this run.
    int ReusedCount() const { return m_nReused; }
    // Answered from the answer cache during this run.
    int CachedCount() const { return m_nCached; }
    // Writes the answers kept for the cache since the last write, in one
    // transaction, or hands them to the writer (the timer, the merges and the end
    // of a run call it).
    void FlushCache();
    // What the cache had to say (a damaged file moved aside, a write that failed),
    // once; empty when nothing.
    std::string TakeCacheNotice();
    // The failed or given-up status of a whois lookup that ended without an answer,
    // with its reason, until the address is asked again or answered; null otherwise.
    const CRecordStatus* FailureOf(const std::string& strAddress) const;
    // The whois lookups finished since the run began; the tally starts again with
    // the next run (after OnRunEnded).
    const CRunTally& Tally() const { return m_tally; }
    // Queued and not finished (cancelled, stopped, still running).
    int NotDone(int nKind) const;
    int RunningCount() const;
    bool StartFailed() const { return m_bStartFailed; }
    // Results stored since the last checkpoint.
    int UnsavedResults() const { return m_nUnsaved; }

private:
    void OnOutcome(const CLookupOutcome& outcome);
    void Finished(CRunFinished finished);
    // The tally and the failures kept for the status of each address.
    void NoteFinished(const CRunFinished& finished);
    void ReuseAnswer(const std::string& strAddress);
    bool AnswerFromCache(const std::string& strAddress);
    void KeepForCache(const std::string& strAddress);
    void CacheProblem(const std::string& strText);
    int64_t UnixNow() const;
    void ReuseForWaiting(const std::string& strAddress);
    void RegistryDenied(const std::string& strRegistry);
    void NotePauses();
    void EndIfIdle();

    CNetloreDoc& m_doc;
    const CClock& m_clock;
    std::unique_ptr<CLookupSession> m_pSession;
    CLookupRunListener* m_pListener = nullptr;
    std::function<SteadyClock::time_point()> m_fnNow;
    bool m_bReuse = false;
    CRangeReuse m_reuse;
    CLookupProgress m_progress;
    std::unordered_set<std::string> m_givenUp;
    std::unordered_map<std::string, CRecordStatus> m_failures;
    CRunTally m_tally;
    bool m_bTallyDone = false;
    std::vector<std::string> m_deniedSaid;
    std::string m_strPauses;
    int m_nReused = 0;
    CAnswerCache* m_pCache = nullptr;
    CAnswerCacheWriter* m_pCacheWriter = nullptr;
    bool m_bAnswerFromCache = true;
    std::vector<CAnswerCachePut> m_cachePuts;
    std::string m_strCacheNotice;
    bool m_bCacheProblemSaid = false;
    int m_nCached = 0;
    int m_nCheckpointSeconds = 30;
    int m_nCheckpointResults = 500;
    int m_nUnsaved = 0;
    SteadyClock::time_point m_lastCheckpoint;
    bool m_bStopAsked = false;
    SteadyClock::time_point m_graceEnd = SteadyClock::time_point::max();
    bool m_bCancelled = false;
    bool m_bStartFailed = false;
    bool m_bRunning = false;
};
