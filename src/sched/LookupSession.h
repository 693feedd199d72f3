#pragma once

#include "core/record/LookupKind.h"
#include "net/ExchangeCancel.h"
#include "net/RdapBootstrap.h"
#include "net/WhoisServerTable.h"
#include "sched/AddressRegistry.h"
#include "sched/CompletionQueue.h"
#include "sched/ConnSettings.h"
#include "sched/LastWhoisDone.h"
#include "sched/LookupCounts.h"
#include "sched/PausedRegistries.h"
#include "sched/RegistryBackoff.h"
#include "sched/RunningJobs.h"
#include "sched/WhoisSource.h"
#include "sched/WorkerEnvironment.h"
#include "sched/WorkerThreads.h"

#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CClock;
class CDelegationLookup;
class CRdapClient;
class CIcmpService;
class CNameResolver;
class CNetloreDoc;
class CSettingsStore;

// What a finished lookup came to, as the session merged it.
struct CLookupOutcome {
    int m_nKind = -1;
    std::string m_strAddress;
    // The merge stored a result.
    bool m_bStored = false;
    // The lookup found nothing.
    bool m_bFailed = false;
    // Found nothing and waits to be asked again: not finished yet.
    bool m_bRequeued = false;
    // Found nothing too often in a row, or while stopping: taken out of the waiting list.
    bool m_bGaveUp = false;
    // Empty answers in a row for the address, this one included.
    int m_nEmptyAnswers = 0;
    // The registry whose query limit this lookup met (now paused); empty when none.
    std::string m_strLimitRegistry;
    // The registry that denied access for good; the lookup failed for that reason.
    std::string m_strDeniedRegistry;
    // Cancelled while it ran (a stop's grace ended): not looked up, nothing counted.
    bool m_bCancelled = false;
    // Why a whois lookup failed: a token such as "time-out" or "registry refused".
    std::string m_strReason;
    // A zero byte cut a whois answer short on the way (the text lacks what followed it).
    bool m_bZeroByteCut = false;
};

// One lookup run for a front end: the server table, the settings snapshot, the
// time of the last whois result, the worker threads and their environment, the
// tick and the merging of the completions, with one row per lookup kind
// (LookupKindTable.h). The window, the command line, the tests and the benchmark
// all drive lookups through it. Not thread-safe: the UI thread (the command
// line's main thread) uses it; the workers only see the environment.
//
// Completions go to the given sink (the window's queued event); without one the
// session keeps its own queue, which the caller drains with MergeArrived. Either
// way each completion comes back through Complete, which merges it, counts it and
// applies the one retry rule: an address whose whois lookup found nothing
// kMaxEmptyAnswers times in a row is given up instead of waiting again.
//
// Everything a worker uses lives in the session or outlives it: the destructor
// joins every worker before the rest goes.
class CLookupSession
{
public:
    static constexpr int kMaxEmptyAnswers = 3;

    // The resolver and the clock must outlive the session; a null ICMP service
    // makes ping and traceroute fail; a null sink gives the session its own queue.
    CLookupSession(CNameResolver& resolver, CIcmpService* pIcmp, const CClock& clock, CCompletionSink* pSink = nullptr);
    ~CLookupSession();
    CLookupSession(const CLookupSession&) = delete;
    CLookupSession& operator=(const CLookupSession&) = delete;

    // ---- configuration ----
    // The lookup settings and the server table from the store.
    void LoadSettings(CSettingsStore& store);
    // Only section "RDAP": the source and a new client; safe while workers run.
    void LoadRdapSettings(CSettingsStore& store);
    void SetSettings(const CConnSettings& settings) { m_settings = settings; }
    const CConnSettings& GetSettings() const { return m_settings; }
    void SetServers(const CWhoisServerTable& servers) { m_servers = servers; }
    const CWhoisServerTable& GetServers() const { return m_servers; }
    void SetWhoisSource(EWhoisSource source) { m_env.m_whoisSource = source; }
    // The client the RDAP source uses (LoadSettings makes one from section "RDAP").
    void SetRdapClient(std::unique_ptr<CRdapClient> pClient);
    // Why the RDAP bootstrap file of the settings was not used; empty when it was or none is named.
    const std::string& GetRdapProblem() const { return m_strRdapProblem; }
    EWhoisSource GetWhoisSource() const { return m_env.m_whoisSource; }
    // Told about every port-43 exchange of every whois worker (so called on worker
    // threads, at once); null: nobody. It must outlive the workers.
    void SetWhoisObserver(const WhoisStepObserver* pObserver) { m_env.m_pWhoisObserver = pObserver; }
    // Tests put a starter of their own here; null: the session's worker threads.
    void SetThreadStarter(CThreadStarter* pStarter) { m_env.m_pThreads = pStarter ? pStarter : &m_threads; }
    // The registries' delegation data, which then names each address's registry
    // before the bootstrap does (pacing, the back-off, RDAP); null: the bootstrap
    // alone. It must outlive the session's ticks.
    void SetDelegations(const CDelegationLookup* pDelegations) { m_registries.SetDelegations(pDelegations); }
    // Milliseconds between ticks for TickIfDue (0: every call).
    void SetTickInterval(std::chrono::milliseconds interval) { m_tickInterval = interval; }

    // ---- running ----
    // Queues the address for the kind through its row; the gap (minutes) is the
    // settings' rescan gap unless given. True when queued.
    bool Queue(CNetloreDoc& doc, int nKind, std::string_view strAddress);
    bool Queue(CNetloreDoc& doc, int nKind, std::string_view strAddress, uint32_t nGapMinutes);
    // One tick: every kind's start operation; then finished threads are joined.
    void Tick(CNetloreDoc& doc);
    // A tick when the interval since the last one has passed (the first call always
    // ticks); true when it ticked. Never while stopping. Ticks are never bunched: one
    // that comes late moves the next a whole interval on.
    bool TickIfDue(CNetloreDoc& doc);
    bool TickIfDue(CNetloreDoc& doc, std::chrono::steady_clock::time_point now);
    std::chrono::steady_clock::time_point NextTick() const { return m_nextTick; }
    // A completion on the UI thread: merged into the document (deleted unmerged
    // without one), counted, and the retry rule applied.
    CLookupOutcome Complete(CNetloreDoc* pDoc, int nCode, CLookupJob* pJob);
    // With the session's own queue: waits until the deadline for a completion,
    // then completes it and every other that has arrived (nMost at the most),
    // handing each outcome to fnOutcome. The number completed.
    int MergeArrived(CNetloreDoc* pDoc, std::chrono::steady_clock::time_point deadline,
                     const std::function<void(const CLookupOutcome&)>& fnOutcome = {}, int nMost = INT_MAX);
    // No more starts: every waiting list is emptied, and from now on an address
    // that found nothing is given up at once. Running jobs still report.
    void Stop(CNetloreDoc& doc);
    bool IsStopping() const { return m_bStopping; }
    // Ends the exchanges of the running workers at once (sockets shut down, transfers
    // aborted) and makes every later one fail at once; their jobs still report.
    void CancelRunning();

    // ---- state ----
    CLookupCounts GetCounts(const CNetloreDoc& doc, int nKind) const;
    // The counts of every kind that has had work, one line each
    // ("whois: 2 waiting, 1 running, 5 done, 1 failed"); empty when none had.
    std::string DescribeCounts(const CNetloreDoc& doc) const;
    // Forgets the finished and failed counts and the empty answers seen.
    void ResetCounts();
    // The registry back-off: a limit answer pauses its registry's queries while the
    // others go on; addresses of a paused registry wait without spending a try.
    const CRegistryBackoff& GetBackoff() const { return m_backoff; }
    // "Query limit: RIPE paused until 06:12:30"; empty while no registry is paused.
    std::string BackoffText() const { return m_backoff.StatusText(); }
    // The registry an address belongs to (its delegation data, else its RDAP
    // bootstrap entry); empty when unknown.
    std::string RegistryOf(std::string_view strAddress) const;
    // "RIPE denied access permanently".
    static std::string DeniedReason(std::string_view strRegistry);
    // The registry denied access for good during this session; its addresses are not asked.
    bool IsDenied(std::string_view strRegistry) const { return m_denied.IsPaused(strRegistry); }
    // Takes the whois addresses of a registry that denied access out of the waiting
    // list and counts each as failed; returns them in list order.
    std::vector<std::string> FailWaitingOf(CNetloreDoc& doc, std::string_view strRegistry);

    // Worker threads started and not yet finished.
    int RunningWorkers();
    // Ticks in a row on which no worker thread could be started.
    int ConsecutiveStartFailures() const { return m_threads.ConsecutiveFailures(); }
    // Waits for every worker; their completions stay queued.
    void JoinAll() { m_threads.JoinAll(); }
    // Time spent in ticks and merges, i.e. the driving thread's own work.
    std::chrono::nanoseconds GetBusyTime() const { return m_busy; }
    const CWorkerEnvironment& GetEnvironment() const { return m_env; }
    CLastWhoisDone& GetLastWhoisDone() { return m_lastWhoisDone; }

private:
    // Hands the pauses that hold now to the workers and the start operation.
    void RefreshPauses();

    CConnSettings m_settings;
    CWhoisServerTable m_servers;
    CLastWhoisDone m_lastWhoisDone;
    CCompletionQueue m_queue;
    CWorkerEnvironment m_env;
    CLookupCounts m_counts[kLookupKindCount];
    std::unordered_map<std::string, int> m_emptyAnswers;
    std::chrono::milliseconds m_tickInterval {2000};
    std::chrono::steady_clock::time_point m_nextTick {};
    bool m_bTicked = false;
    std::chrono::nanoseconds m_busy {0};
    bool m_bStopping = false;
    std::unique_ptr<CRdapClient> m_pRdap;
    std::vector<std::unique_ptr<CRdapClient>> m_retiredRdap;
    std::string m_strRdapProblem;
    CRegistryBackoff m_backoff;
    // What the workers see of m_backoff; refreshed on every tick and completion.
    CPausedRegistries m_paused;
    // The registries that denied access for good, as the workers see them.
    CPausedRegistries m_denied;
    CExchangeCancel m_cancel;
    // The started jobs until their workers report them.
    CRunningJobs m_runningJobs;
    // What names each address's registry.
    CAddressRegistry m_registries;
    // Last: destroyed first, so every worker has finished before what it uses goes.
    CWorkerThreads m_threads;
};
