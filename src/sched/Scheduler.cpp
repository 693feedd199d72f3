#include "sched/Scheduler.h"

#include "core/Clock.h"
#include "core/IPDataArray.h"
#include "core/LookupJob.h"
#include "core/NetloreDoc.h"
#include "sched/ConnSettings.h"
#include "sched/LastWhoisDone.h"
#include "sched/LookupCodes.h"
#include "sched/LookupWorkers.h"
#include "sched/ThreadStarter.h"
#include "sched/WorkerEnvironment.h"

#include <cmath>

namespace {

using WorkerProc = int (*)(CLookupJob*, const CWorkerEnvironment&);

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

bool StartNextJob(CIPDataArray& data, int nKind, int nCode, int nLimit, int nIntervalSeconds,
                  const CWorkerEnvironment& env, WorkerProc proc)
{
    CStartingFlag flag(nKind);
    if (flag.WasSet())
        return false;
    CSerStringArray& waiting = data.GetWaitingList(nKind);
    if (waiting.IsEmpty())
        return false;
    if (nKind == lookupWhois && !WhoisIntervalPassed(nIntervalSeconds, env))
        return false;
    std::vector<CLookupJob*>& running = data.GetRunningList(nKind);
    if (nLimit <= 0 || running.size() >= size_t(nLimit))
        return false;

    auto* pJob = new CLookupJob(waiting.GetString(0), nCode);
    if (nKind == lookupTrace)
        pJob->m_bResolveHops = data.GetResolveTraceHops();
    const CWorkerEnvironment envCopy = env;
    bool bStarted = false;
    try {
        bStarted = env.m_pThreads->Start([pJob, envCopy, proc] { proc(pJob, envCopy); });
    } catch (...) {
        bStarted = false;
    }
    if (!bStarted) {
        // No worker will ever report this job: it must not hold a running slot.
        delete pJob;
        return false;
    }
    // A job that runs but could not be listed is still finished (and deleted) when
    // it reports: finish operations delete unlisted jobs too.
    try {
        running.push_back(pJob);
    } catch (...) {
    }
    waiting.RemoveAt(0);
    return true;
}

} // namespace

bool StartNextWhoisJob(CIPDataArray& data, int nCode, int nLimit, int nIntervalSeconds, const CWorkerEnvironment& env)
{
    return StartNextJob(data, lookupWhois, nCode, nLimit, nIntervalSeconds, env, WhoisWorker);
}

bool StartNextHostNameJob(CIPDataArray& data, int nCode, int nLimit, const CWorkerEnvironment& env)
{
    return StartNextJob(data, lookupHostName, nCode, nLimit, 0, env, HostNameWorker);
}

bool StartNextPingJob(CIPDataArray& data, int nCode, int nLimit, const CWorkerEnvironment& env)
{
    return StartNextJob(data, lookupPing, nCode, nLimit, 0, env, PingWorker);
}

bool StartNextTraceJob(CIPDataArray& data, int nCode, int nLimit, const CWorkerEnvironment& env)
{
    return StartNextJob(data, lookupTrace, nCode, nLimit, 0, env, TraceWorker);
}

void SchedulerTick(CIPDataArray& data, const CConnSettings& settings, const CWorkerEnvironment& env)
{
    StartNextWhoisJob(data, LookupCodes::kWhoisCompleted, settings.m_nWhoisLimit, settings.m_nWhoisInterval, env);
    StartNextHostNameJob(data, LookupCodes::kHostNameCompleted, settings.m_nDnsLimit, env);
    StartNextPingJob(data, LookupCodes::kPingCompleted, settings.m_nPingLimit, env);
    StartNextTraceJob(data, LookupCodes::kTraceCompleted, settings.m_nTraceLimit, env);
}

bool HandleCompletion(CNetloreDoc* pDoc, int nCode, CLookupJob* pJob)
{
    const int nKind = LookupCodes::KindOfCode(nCode);
    if (nKind < 0)
        return false;
    if (!pDoc) {
        delete pJob;
        return false;
    }
    switch (nKind) {
    case lookupWhois:
        return pDoc->MergeWhoisJob(pJob);
    case lookupHostName:
        return pDoc->MergeHostNameJob(pJob);
    case lookupPing:
        return pDoc->MergePingJob(pJob);
    default:
        return pDoc->MergeTraceJob(pJob);
    }
}
