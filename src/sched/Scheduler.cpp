#include "sched/Scheduler.h"

#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupJob.h"
#include "net/ExchangeCancel.h"
#include "net/RdapBootstrap.h"
#include "net/WhoisServerTable.h"
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

bool WhoisIntervalPassed(int nIntervalSeconds, const CWorkerEnvironment& env)
{
    const COleDateTime dtLast = env.m_pLastWhoisDone->Get();
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
        env.m_pLastWhoisDone->Set(dtNow);
        return nIntervalSeconds <= 0;
    }
    return !(nIntervalSeconds > nElapsed);
}

// The first waiting whois address whose registry is not paused; -1 when every one
// waits for a pause to end. Port-43 chains all begin at ARIN, so none starts while
// ARIN is paused.
int FirstUnpaused(const CSerStringArray& waiting, const CWorkerEnvironment& env)
{
    const std::vector<std::string> paused = env.m_pPaused->Get();
    if (paused.empty())
        return 0;
    const auto isPaused = [&paused](const std::string& strRegistry) {
        return std::find(paused.begin(), paused.end(), strRegistry) != paused.end();
    };
    if (env.m_whoisSource == EWhoisSource::kPort43 && isPaused(CWhoisServerTable::RegistryOfRole(EWhoisRole::arin)))
        return -1;
    if (!env.m_pRegistries)
        return 0;
    const int nSize = waiting.GetSize();
    for (int i = 0; i < nSize; ++i) {
        const std::string& strAddress = waiting.GetString(i);
        // A host name's registry is known only once it resolves: it may start.
        const std::string strRegistry = env.m_pRegistries->RegistryOfText(strAddress);
        if (strRegistry.empty() || !isPaused(strRegistry))
            return i;
    }
    return -1;
}

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
    std::vector<CLookupJob*>& running = data.GetRunningList(nKind);
    if (nLimit <= 0 || running.size() >= size_t(nLimit))
        return false;

    int nAt = 0;
    if (nKind == lookupWhois && env.m_pPaused) {
        nAt = FirstUnpaused(waiting, env);
        if (nAt < 0)
            return false;
    }
    auto pNewJob = std::make_unique<CLookupJob>(waiting.GetString(nAt), pRow->m_nCode);
    CLookupJob* pJob = env.m_pRunningJobs ? env.m_pRunningJobs->Adopt(std::move(pNewJob)) : pNewJob.release();
    if (nKind == lookupTrace)
        pJob->m_bResolveHops = data.GetResolveTraceHops();
    const CWorkerEnvironment envCopy = env;
    const auto proc = pRow->m_pfnWorker;
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
        running.push_back(pJob);
    } catch (...) {
    }
    waiting.RemoveAt(nAt);
    return true;
}

void SchedulerTick(CIPDataArray& data, const CConnSettings& settings, const CWorkerEnvironment& env)
{
    for (int k = 0; k < kLookupKindCount; ++k) {
        const CLookupKindRow& row = *LookupKindRow(k);
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
