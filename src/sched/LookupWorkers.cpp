#include "sched/LookupWorkers.h"

#include "core/record/Clock.h"
#include "core/record/HostLookup.h"
#include "core/record/LookupJob.h"
#include "facts/RecordStatus.h"
#include "net/ExchangeCancel.h"
#include "net/PingCheck.h"
#include "net/Traceroute.h"
#include "sched/AddressRegistry.h"
#include "sched/CompletionSink.h"
#include "sched/LastWhoisDone.h"
#include "sched/RunningJobs.h"
#include "sched/WhoisSource.h"
#include "sched/WorkerEnvironment.h"

namespace {

void PostJob(const CWorkerEnvironment& env, CLookupJob* pJob)
{
    pJob->m_bCancelled = env.m_pCancel && env.m_pCancel->IsCancelled();
    // From here the completion carries the job.
    if (env.m_pRunningJobs)
        env.m_pRunningJobs->Release(pJob);
    try {
        env.m_pSink->Post(pJob->m_nKindCode, pJob);
    } catch (...) {
        // Nobody can take the job any more.
        delete pJob;
    }
}

} // namespace

int WhoisWorker(CLookupJob* pJob, const CWorkerEnvironment& env)
{
    std::string strText;
    CWhoisSourceReport report;
    try {
        const CWhoisStart start {pJob->m_strRegistry, pJob->m_bStartAtRegistry};
        WhoisQueryOf(env.m_whoisSource)(pJob->m_strAddress, strText, env, start, report);
    } catch (...) {
        // Like an empty answer: the address is asked again later.
        strText.clear();
        report = CWhoisSourceReport();
    }
    if (strText.empty() && report.m_strFailure.empty())
        report.m_strFailure = LookupFailureToken(ELookupFailure::kNoAnswer);
    if (!strText.empty())
        report.m_strFailure.clear();
    pJob->m_strFailure = std::move(report.m_strFailure);
    pJob->m_bZeroByteCut = report.m_bZeroByteCut;
    pJob->m_strResult = std::move(strText);
    pJob->m_bRetryLater = report.m_bRetryLater;
    pJob->m_strLimitRegistry = std::move(report.m_strLimitRegistry);
    pJob->m_nLimitSeconds = report.m_nLimitSeconds;
    pJob->m_bDeniedForGood = report.m_bDeniedForGood;
    pJob->m_goodRegistries = std::move(report.m_goodRegistries);
    env.m_pLastWhoisDone->Set(PaceRegistry(pJob->m_strRegistry), env.m_pClock->Now());
    PostJob(env, pJob);
    return 0;
}

int HostNameWorker(CLookupJob* pJob, const CWorkerEnvironment& env)
{
    std::string strName;
    try {
        ReverseLookup(*env.m_pResolver, pJob->m_strAddress, strName);
    } catch (...) {
        strName.clear();
    }
    pJob->m_strResult = std::move(strName);
    PostJob(env, pJob);
    return 0;
}

int PingWorker(CLookupJob* pJob, const CWorkerEnvironment& env)
{
    CPingCheckResult result;
    try {
        result = PingCheck(env.m_pIcmp, *env.m_pResolver, pJob->m_strAddress);
    } catch (...) {
        result = CPingCheckResult();
    }
    pJob->m_dAverageMs = result.m_dAverage;
    pJob->m_nTries = kPingCheckRequests;
    pJob->m_nFailures = result.m_nFailures;
    const int nExitCode = result.m_bSuccess ? 1 : 0;
    PostJob(env, pJob);
    return nExitCode;
}

int TraceWorker(CLookupJob* pJob, const CWorkerEnvironment& env)
{
    CTracerouteResult result;
    try {
        result = Traceroute(env.m_pIcmp, *env.m_pResolver, pJob->m_strAddress, pJob->m_bResolveHops);
    } catch (...) {
        result = CTracerouteResult();
    }
    pJob->m_strResult = std::move(result.m_strTrace);
    const int nExitCode = pJob->m_strResult.empty() ? 0 : 1;
    PostJob(env, pJob);
    return nExitCode;
}
