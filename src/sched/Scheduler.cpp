#include "sched/Scheduler.h"

#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupJob.h"
#include "net/ExchangeCancel.h"
#include "net/RdapBootstrap.h"
#include "net/WhoisServerTable.h"
#include "sched/AddressRegistry.h"
#include "sched/ConnSettings.h"
#include "sched/LastWhoisDone.h"
#include "sched/LookupKindTable.h"
#include "sched/PausedRegistries.h"
#include "sched/RunningJobs.h"
#include "sched/ThreadStarter.h"
#include "sched/WorkerEnvironment.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Set while a kind's start operation runs, so a start that re-enters the loop on
// the same thread (a window pumping messages) cannot start the same address twice.
thread_local bool t_bStarting[kLookupKindCount] = {};

class CStartingFlag
{
public:
    explicit CStartingFlag(int nKind)
        : m_bFlag(t_bStarting[nKind])
    {
        m_bWasSet = m_bFlag;
        m_bFlag = true;
    }
    ~CStartingFlag()
    {
        if (!m_bWasSet)
            m_bFlag = false;
    }
    bool WasSet() const { return m_bWasSet; }

private:
    bool& m_bFlag;
    bool m_bWasSet;
};

// Whether nIntervalSeconds have passed since the latest whois result: the
// process-wide one, or with pRegistry that registry's.
bool WhoisIntervalPassed(int nIntervalSeconds, const CWorkerEnvironment& env,
                         const std::string_view* pRegistry = nullptr)
{
    const COleDateTime dtLast = pRegistry ? env.m_pLastWhoisDone->Get(*pRegistry) : env.m_pLastWhoisDone->Get();
    if (!dtLast.IsValid())
        return true;
    const COleDateTime dtNow = env.m_pClock->Now();
    const double dSeconds = (dtNow.GetLinearDays() - dtLast.GetLinearDays()) * 86400.0;
    if (!std::isfinite(dSeconds))
        return true;
    const long long nElapsed = std::llround(dSeconds);
    if (nElapsed < 0) {
        // The local clock went back (end of summer time, a corrected clock): a
        // result "in the future" would hold whois back for as long. The interval
        // counts from now instead.
        if (pRegistry)
            env.m_pLastWhoisDone->Set(*pRegistry, dtNow);
        else
            env.m_pLastWhoisDone->Set(dtNow);
        return nIntervalSeconds <= 0;
    }
    return !(nIntervalSeconds > nElapsed);
}

bool IsPaused(const std::vector<std::string>& paused, std::string_view strRegistry)
{
    return std::find(paused.begin(), paused.end(), strRegistry) != paused.end();
}

// The first waiting whois address whose registry is not paused; -1 when every one
// waits for a pause to end. Port-43 chains all begin at ARIN, so none starts while
// ARIN is paused.
int FirstUnpaused(const CSerStringArray& waiting, const CWorkerEnvironment& env)
{
    const std::vector<std::string> paused = env.m_pPaused->Get();
    if (paused.empty())
        return 0;
    if (env.m_whoisSource == EWhoisSource::kPort43 &&
        IsPaused(paused, CWhoisServerTable::RegistryOfRole(EWhoisRole::arin)))
        return -1;
    if (!env.m_pRegistries)
        return 0;
    const int nSize = waiting.GetSize();
    for (int i = 0; i < nSize; ++i) {
        // A host name's registry is known only once it resolves: it may start.
        const std::string strRegistry = env.m_pRegistries->Of(waiting.GetString(i));
        if (strRegistry.empty() || !IsPaused(paused, strRegistry))
            return i;
    }
    return -1;
}

// Starts a worker for the waiting address at nAt and moves it to the running list.
// False when no worker could be started: the address stays where it is.
bool StartJobAt(CIPDataArray& data, int nKind, const CLookupKindRow& row, int nAt, std::string strRegistry,
                bool bStartAtRegistry, const CWorkerEnvironment& env)
{
    CSerStringArray& waiting = data.GetWaitingList(nKind);
    auto pNewJob = std::make_unique<CLookupJob>(waiting.GetString(nAt), row.m_nCode);
    pNewJob->m_strRegistry = std::move(strRegistry);
    pNewJob->m_bStartAtRegistry = bStartAtRegistry;
    CLookupJob* pJob = env.m_pRunningJobs ? env.m_pRunningJobs->Adopt(std::move(pNewJob)) : pNewJob.release();
    if (nKind == lookupTrace)
        pJob->m_bResolveHops = data.GetResolveTraceHops();
    const CWorkerEnvironment envCopy = env;
    const auto proc = row.m_pfnWorker;
    bool bStarted = false;
    try {
        bStarted = env.m_pThreads->Start([pJob, envCopy, proc] {
            const CExchangeCancel::CScope scope(envCopy.m_pCancel);
            proc(pJob, envCopy);
        });
    } catch (...) {
        bStarted = false;
    }
    if (!bStarted) {
        // No worker will ever report this job: it must not hold a running slot.
        if (env.m_pRunningJobs)
            env.m_pRunningJobs->Discard(pJob);
        else
            delete pJob;
        return false;
    }
    // A job that runs but could not be listed is still finished (and deleted) when
    // it reports: finish operations delete unlisted jobs too.
    try {
        data.GetRunningList(nKind).push_back(pJob);
    } catch (...) {
    }
    waiting.RemoveAt(nAt);
    return true;
}

// How far into the waiting list one paced tick looks for addresses of registries
// that may start: a registry whose first address lies deeper waits until the
// front has moved on, and a tick stays cheap however long the list.
constexpr int kPaceScanLimit = 4096;

} // namespace

bool StartNextJob(CIPDataArray& data, int nKind, int nLimit, int nIntervalSeconds, const CWorkerEnvironment& env)
{
    const CLookupKindRow* pRow = LookupKindRow(nKind);
    if (!pRow)
        return false;
    CStartingFlag flag(nKind);
    if (flag.WasSet())
        return false;
    CSerStringArray& waiting = data.GetWaitingList(nKind);
    if (waiting.IsEmpty())
        return false;
    if (pRow->m_pnInterval && !WhoisIntervalPassed(nIntervalSeconds, env))
        return false;
    if (nLimit <= 0 || data.GetRunningList(nKind).size() >= size_t(nLimit))
        return false;

    int nAt = 0;
    if (nKind == lookupWhois && env.m_pPaused) {
        nAt = FirstUnpaused(waiting, env);
        if (nAt < 0)
            return false;
    }
    std::string strRegistry;
    if (nKind == lookupWhois && env.m_pRegistries)
        strRegistry = env.m_pRegistries->Of(waiting.GetString(nAt));
    return StartJobAt(data, nKind, *pRow, nAt, std::move(strRegistry), false, env);
}

int StartPacedWhoisJobs(CIPDataArray& data, int nLimit, int nIntervalSeconds, const CWorkerEnvironment& env)
{
    const CLookupKindRow* pRow = LookupKindRow(lookupWhois);
    if (!pRow || nLimit <= 0)
        return 0;
    CStartingFlag flag(lookupWhois);
    if (flag.WasSet())
        return 0;
    CSerStringArray& waiting = data.GetWaitingList(lookupWhois);
    const std::vector<std::string> paused = env.m_pPaused ? env.m_pPaused->Get() : std::vector<std::string>();
    // Each registry this tick has looked at, with its lookups running: it starts
    // once at most, and only while fewer than nLimit of its own run.
    struct CSeen {
        std::string m_strRegistry;
        int m_nRunning = 0;
    };
    std::vector<CSeen> seen;
    const auto runningOf = [&data](std::string_view strPace) {
        int n = 0;
        // The scheduler set each running job's registry before its worker began; the
        // worker only reads it.
        for (const CLookupJob* pJob : data.GetRunningList(lookupWhois))
            n += PaceRegistry(pJob->m_strRegistry) == strPace;
        return n;
    };
    int nStarted = 0;
    int i = 0;
    for (int nScanned = 0; i < waiting.GetSize() && nScanned < kPaceScanLimit; ++nScanned) {
        std::string strRegistry = env.m_pRegistries ? env.m_pRegistries->Of(waiting.GetString(i)) : std::string();
        const std::string_view strPace = PaceRegistry(strRegistry);
        if (std::find_if(seen.begin(), seen.end(), [&](const CSeen& s) { return s.m_strRegistry == strPace; }) !=
            seen.end()) {
            ++i;
            continue;
        }
        seen.push_back({std::string(strPace), runningOf(strPace)});
        // The port-43 chain starts at the registry's own server, at ARIN's when it
        // has none; RDAP asks the registry itself.
        const bool bOwnServer = CWhoisServerTable::RoleOfRegistry(strRegistry).has_value();
        const bool bBlocked = (!strRegistry.empty() && IsPaused(paused, strRegistry)) ||
                              (env.m_whoisSource == EWhoisSource::kPort43 && !bOwnServer &&
                               IsPaused(paused, CWhoisServerTable::RegistryOfRole(EWhoisRole::arin)));
        if (bBlocked || seen.back().m_nRunning >= nLimit || !WhoisIntervalPassed(nIntervalSeconds, env, &strPace)) {
            ++i;
            continue;
        }
        if (!StartJobAt(data, lookupWhois, *pRow, i, std::move(strRegistry), true, env))
            break;
        // The address left the list: i names the next one now.
        ++nStarted;
    }
    return nStarted;
}

void SchedulerTick(CIPDataArray& data, const CConnSettings& settings, const CWorkerEnvironment& env)
{
    for (int k = 0; k < kLookupKindCount; ++k) {
        const CLookupKindRow& row = *LookupKindRow(k);
        if (k == lookupWhois && settings.m_bPacePerRegistry) {
            StartPacedWhoisJobs(data, settings.*row.m_pnLimit, settings.*row.m_pnInterval, env);
            continue;
        }
        StartNextJob(data, k, settings.*row.m_pnLimit, row.m_pnInterval ? settings.*row.m_pnInterval : 0, env);
    }
}

bool HandleCompletion(CNetloreDoc* pDoc, int nCode, CLookupJob* pJob)
{
    const CLookupKindRow* pRow = LookupKindOfCode(nCode);
    if (!pRow)
        return false;
    if (!pDoc) {
        delete pJob;
        return false;
    }
    return (pDoc->*pRow->m_pfnMerge)(pJob);
}
