#include "sched/LookupSession.h"

#include "core/document/NetloreDoc.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupJob.h"
#include "facts/RecordStatus.h"
#include "net/RdapClient.h"
#include "sched/LookupKindTable.h"
#include "sched/RdapSettings.h"
#include "sched/Scheduler.h"

#include <algorithm>
#include <cstdio>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Adds the time from construction to destruction to a total.
class CBusyTimer
{
public:
    explicit CBusyTimer(std::chrono::nanoseconds& total)
        : m_total(total)
        , m_start(SteadyClock::now())
    { }
    ~CBusyTimer() { m_total += SteadyClock::now() - m_start; }

private:
    std::chrono::nanoseconds& m_total;
    SteadyClock::time_point m_start;
};

} // namespace

CLookupSession::CLookupSession(CNameResolver& resolver, CIcmpService* pIcmp, const CClock& clock,
                               CCompletionSink* pSink)
    : m_backoff(clock)
    , m_registries(CRdapBootstrap::Shipped())
{
    m_env.m_pPaused = &m_paused;
    m_env.m_pDenied = &m_denied;
    m_env.m_pCancel = &m_cancel;
    m_env.m_pRunningJobs = &m_runningJobs;
    m_env.m_pRegistries = &m_registries;
    m_env.m_pServers = &m_servers;
    m_env.m_pResolver = &resolver;
    m_env.m_pIcmp = pIcmp;
    m_env.m_pSink = pSink ? pSink : &m_queue;
    m_env.m_pThreads = &m_threads;
    m_env.m_pClock = &clock;
    m_env.m_pLastWhoisDone = &m_lastWhoisDone;
}

CLookupSession::~CLookupSession()
{
    m_threads.JoinAll();
}

void CLookupSession::LoadSettings(CSettingsStore& store)
{
    m_settings = LoadConnSettings(store);
    m_servers.Load(store);
    LoadRdapSettings(store);
}

void CLookupSession::LoadRdapSettings(CSettingsStore& store)
{
    const CRdapSettings rdap = ::LoadRdapSettings(store);
    SetRdapClient(MakeRdapClient(rdap, m_servers, m_strRdapProblem));
    SetWhoisSource(rdap.m_bUseRdap ? EWhoisSource::kRdap : EWhoisSource::kPort43);
}

void CLookupSession::SetRdapClient(std::unique_ptr<CRdapClient> pClient)
{
    // Running workers copied the old pointer: it stays alive with the session.
    if (m_pRdap)
        m_retiredRdap.push_back(std::move(m_pRdap));
    m_pRdap = std::move(pClient);
    m_env.m_pRdap = m_pRdap.get();
    // The addresses' registries follow the bootstrap the settings name.
    if (m_pRdap && !m_pRdap->Bootstrap().Empty())
        m_registries.SetBootstrap(m_pRdap->Bootstrap());
}

std::string CLookupSession::RegistryOf(std::string_view strAddress) const
{
    return m_registries.Of(strAddress);
}

std::string CLookupSession::DeniedReason(std::string_view strRegistry)
{
    return std::string(strRegistry) + " denied access permanently";
}

std::vector<std::string> CLookupSession::FailWaitingOf(CNetloreDoc& doc, std::string_view strRegistry)
{
    std::vector<std::string> failed;
    CSerStringArray& waiting = doc.GetData().GetWaitingList(lookupWhois);
    for (int i = 0; i < waiting.GetSize(); ++i)
        if (RegistryOf(waiting.GetString(i)) == strRegistry)
            failed.push_back(waiting.GetString(i));
    if (failed.empty())
        return failed;
    waiting.RemoveTexts(failed);
    m_counts[lookupWhois].m_nFailed += int(failed.size());
    for (const std::string& strAddress : failed)
        m_emptyAnswers.erase(strAddress);
    return failed;
}

void CLookupSession::RefreshPauses()
{
    std::vector<std::string> paused = m_backoff.PausedRegistries();
    if (paused != m_paused.Get())
        m_paused.Set(std::move(paused));
}

bool CLookupSession::Queue(CNetloreDoc& doc, int nKind, std::string_view strAddress)
{
    return Queue(doc, nKind, strAddress, m_settings.m_dwRescanGap);
}

bool CLookupSession::Queue(CNetloreDoc& doc, int nKind, std::string_view strAddress, uint32_t nGapMinutes)
{
    const CLookupKindRow* pRow = LookupKindRow(nKind);
    if (!pRow)
        return false;
    // Asked for again: the empty answers before count no more.
    if (pRow->m_bRetriesEmpty)
        m_emptyAnswers.erase(std::string(strAddress));
    const bool bQueued = pRow->m_pfnQueue(doc, strAddress, nGapMinutes);
    if (bQueued) {
        m_bStopping = false;
        m_cancel.Reset();
    }
    return bQueued;
}

void CLookupSession::Tick(CNetloreDoc& doc)
{
    CBusyTimer timer(m_busy);
    RefreshPauses();
    SchedulerTick(doc.GetData(), m_settings, m_env);
    m_threads.Reap();
}

bool CLookupSession::TickIfDue(CNetloreDoc& doc)
{
    return TickIfDue(doc, SteadyClock::now());
}

bool CLookupSession::TickIfDue(CNetloreDoc& doc, SteadyClock::time_point now)
{
    if (m_bStopping || (m_bTicked && now < m_nextTick))
        return false;
    Tick(doc);
    // Catching up after a late tick would start a second job of a kind at once.
    m_nextTick = m_bTicked ? m_nextTick + m_tickInterval : now + m_tickInterval;
    if (m_nextTick <= now)
        m_nextTick = now + m_tickInterval;
    m_bTicked = true;
    return true;
}

CLookupOutcome CLookupSession::Complete(CNetloreDoc* pDoc, int nCode, CLookupJob* pJob)
{
    CBusyTimer timer(m_busy);
    CLookupOutcome outcome;
    const CLookupKindRow* pRow = LookupKindOfCode(nCode);
    if (!pRow) {
        // Not one of ours: whoever posted it keeps it.
        return outcome;
    }
    outcome.m_nKind = pRow->m_nKind;
    if (pJob && pJob->m_bCancelled) {
        // Cut off by a stop: no result to keep, the address was not looked up.
        outcome.m_strAddress = pJob->m_strAddress;
        outcome.m_bCancelled = true;
        if (pDoc) {
            std::vector<CLookupJob*>& running = pDoc->GetData().GetRunningList(pRow->m_nKind);
            running.erase(std::remove(running.begin(), running.end(), pJob), running.end());
            pDoc->GetData().GetWaitingList(pRow->m_nKind).RemoveTexts({outcome.m_strAddress});
        }
        delete pJob;
        m_threads.Reap();
        return outcome;
    }
    bool bRetryLater = false;
    if (pJob) {
        outcome.m_strAddress = pJob->m_strAddress;
        outcome.m_bFailed = pRow->m_pfnFailed(*pJob);
        if (outcome.m_bFailed)
            outcome.m_strReason = pJob->m_strFailure;
        outcome.m_bZeroByteCut = pJob->m_bZeroByteCut;
        bRetryLater = pJob->m_bRetryLater;
        if (pJob->m_bDeniedForGood && !pJob->m_strLimitRegistry.empty())
            outcome.m_strDeniedRegistry = pJob->m_strLimitRegistry;
        // A good answer forgives its registry's earlier limits; a limit answer
        // pauses the registry, at least for as long as it asked.
        for (const std::string& strRegistry : pJob->m_goodRegistries)
            if (strRegistry != pJob->m_strLimitRegistry)
                m_backoff.OnGoodAnswer(strRegistry);
        if (!outcome.m_strDeniedRegistry.empty()) {
            if (!m_denied.IsPaused(outcome.m_strDeniedRegistry)) {
                std::vector<std::string> denied = m_denied.Get();
                denied.push_back(outcome.m_strDeniedRegistry);
                m_denied.Set(std::move(denied));
            }
        } else if (!pJob->m_strLimitRegistry.empty()) {
            m_backoff.OnLimit(pJob->m_strLimitRegistry, pJob->m_nLimitSeconds);
            outcome.m_strLimitRegistry = pJob->m_strLimitRegistry;
        }
        RefreshPauses();
    }
    outcome.m_bStored = HandleCompletion(pDoc, nCode, pJob);
    m_threads.Reap();
    if (!pJob)
        return outcome;

    // Shut out for good: the address ends here, failed, whatever the retry rule says.
    if (!outcome.m_strDeniedRegistry.empty() && pRow->m_bRetriesEmpty) {
        if (pDoc)
            pDoc->GetData().GetWaitingList(pRow->m_nKind).RemoveTexts({outcome.m_strAddress});
        m_emptyAnswers.erase(outcome.m_strAddress);
        outcome.m_bFailed = true;
        outcome.m_strReason = LookupFailureToken(ELookupFailure::kRegistryRefused);
        ++m_counts[pRow->m_nKind].m_nFailed;
        return outcome;
    }

    // The registry asked us to wait: the address waits again and no try is spent.
    if (bRetryLater && pRow->m_bRetriesEmpty && pDoc && !m_bStopping) {
        outcome.m_bRequeued = true;
        return outcome;
    }
    // The same while stopping: the address cannot wait any more, and nothing was
    // learnt of it, so it was not looked up, as one still waiting at the stop. (Its
    // end no longer depends on whether the stop came while it ran.)
    if (bRetryLater && pRow->m_bRetriesEmpty && pDoc) {
        pDoc->GetData().GetWaitingList(pRow->m_nKind).RemoveTexts({outcome.m_strAddress});
        m_emptyAnswers.erase(outcome.m_strAddress);
        outcome.m_bFailed = false;
        outcome.m_strReason.clear();
        outcome.m_bCancelled = true;
        return outcome;
    }

    if (pRow->m_bRetriesEmpty && pDoc) {
        if (!outcome.m_bFailed) {
            m_emptyAnswers.erase(outcome.m_strAddress);
        } else {
            // The merge put the address back in the waiting list.
            outcome.m_nEmptyAnswers = ++m_emptyAnswers[outcome.m_strAddress];
            if (outcome.m_nEmptyAnswers < kMaxEmptyAnswers && !m_bStopping) {
                outcome.m_bRequeued = true;
                return outcome;
            }
            CSerStringArray& waiting = pDoc->GetData().GetWaitingList(pRow->m_nKind);
            const int nAt = waiting.Find(outcome.m_strAddress);
            if (nAt >= 0)
                waiting.RemoveAt(nAt);
            m_emptyAnswers.erase(outcome.m_strAddress);
            outcome.m_bGaveUp = true;
        }
    }
    CLookupCounts& counts = m_counts[pRow->m_nKind];
    ++(outcome.m_bFailed ? counts.m_nFailed : counts.m_nDone);
    return outcome;
}

int CLookupSession::MergeArrived(CNetloreDoc* pDoc, std::chrono::steady_clock::time_point deadline,
                                 const std::function<void(const CLookupOutcome&)>& fnOutcome, int nMost)
{
    int nMerged = 0;
    CCompletion c;
    if (nMost <= 0 || !m_queue.TakeUntil(c, deadline))
        return 0;
    do {
        const CLookupOutcome outcome = Complete(pDoc, c.m_nCode, c.m_pJob);
        ++nMerged;
        if (fnOutcome)
            fnOutcome(outcome);
    } while (nMerged < nMost && m_queue.TryTake(c));
    return nMerged;
}

void CLookupSession::CancelRunning()
{
    m_bStopping = true;
    m_cancel.Cancel();
}

void CLookupSession::Stop(CNetloreDoc& doc)
{
    m_bStopping = true;
    for (int k = 0; k < kLookupKindCount; ++k)
        doc.GetData().GetWaitingList(k).RemoveAll();
}

CLookupCounts CLookupSession::GetCounts(const CNetloreDoc& doc, int nKind) const
{
    CLookupCounts counts;
    if (nKind < 0 || nKind >= kLookupKindCount)
        return counts;
    counts = m_counts[nKind];
    counts.m_nWaiting = doc.GetData().GetWaitingList(nKind).GetSize();
    counts.m_nRunning = int(doc.GetData().GetRunningList(nKind).size());
    return counts;
}

std::string CLookupSession::DescribeCounts(const CNetloreDoc& doc) const
{
    std::string strText;
    for (int k = 0; k < kLookupKindCount; ++k) {
        const CLookupCounts c = GetCounts(doc, k);
        if (c.m_nWaiting + c.m_nRunning + c.Finished() == 0)
            continue;
        char szLine[160];
        std::snprintf(szLine, sizeof szLine, "%s%s: %d waiting, %d running, %d done, %d failed",
                      strText.empty() ? "" : "\n", LookupKindRow(k)->m_pszName, c.m_nWaiting, c.m_nRunning, c.m_nDone,
                      c.m_nFailed);
        strText += szLine;
    }
    return strText;
}

void CLookupSession::ResetCounts()
{
    for (CLookupCounts& counts : m_counts)
        counts = CLookupCounts();
    m_emptyAnswers.clear();
}

int CLookupSession::RunningWorkers()
{
    m_threads.Reap();
    return m_threads.Count();
}
