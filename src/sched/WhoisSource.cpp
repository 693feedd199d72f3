#include "sched/WhoisSource.h"

#include "net/IPWhoisLookup.h"
#include "net/RdapClient.h"
#include "net/WhoisServerTable.h"
#include "sched/PausedRegistries.h"
#include "sched/WorkerEnvironment.h"

namespace {

void Port43Query(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env,
                 const CWhoisStart& start, CWhoisSourceReport& report)
{
    const CPausedRegistries* pPaused = env.m_pPaused;
    const CPausedRegistries* pDenied = env.m_pDenied;
    RegistryPausedProc isPaused;
    if (pPaused || pDenied)
        isPaused = [pPaused, pDenied](const std::string& strRegistry) {
            return (pPaused && pPaused->IsPaused(strRegistry)) || (pDenied && pDenied->IsPaused(strRegistry));
        };
    EWhoisRole firstRole = EWhoisRole::arin;
    if (start.m_bAtRegistry)
        firstRole = CWhoisServerTable::RoleOfRegistry(start.m_strRegistry).value_or(EWhoisRole::arin);
    CWhoisChainReport chain;
    IPWhoisLookup(strAddress, strText, *env.m_pServers, *env.m_pResolver, isPaused, chain,
                  env.m_pWhoisObserver ? *env.m_pWhoisObserver : WhoisStepObserver(), firstRole);
    for (std::string& strRegistry : chain.m_goodRegistries)
        report.m_goodRegistries.push_back(std::move(strRegistry));
    if (!chain.m_strLimitRegistry.empty()) {
        report.m_strLimitRegistry = chain.m_strLimitRegistry;
        report.m_bRetryLater = true;
    }
    if (!chain.m_strPausedRegistry.empty()) {
        report.m_bRetryLater = true;
        // A registry that shut us out is not asked again: the chain ends there as if denied.
        if (pDenied && pDenied->IsPaused(chain.m_strPausedRegistry)) {
            report.m_strLimitRegistry = chain.m_strPausedRegistry;
            chain.m_bDeniedForGood = true;
        }
    }
    report.m_bDeniedForGood = chain.m_bDeniedForGood;
    report.m_bZeroByteCut = chain.m_bZeroByteCut;
    if (report.m_bRetryLater) {
        strText.clear();
        if (chain.m_failure == ELookupFailure::kNone)
            chain.m_failure = ELookupFailure::kRegistryRefused;
    }
    report.m_strFailure = LookupFailureToken(chain.m_failure);
}

void RdapQuery(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env,
               const CWhoisStart& start, CWhoisSourceReport& report)
{
    if (!env.m_pRdap) {
        Port43Query(strAddress, strText, env, start, report);
        return;
    }
    std::string strMessage;
    CRdapRegistryReport rdap;
    switch (env.m_pRdap->Lookup(strAddress, strText, strMessage, *env.m_pResolver, &rdap, start.m_strRegistry)) {
    case ERdapOutcome::result:
        if (!rdap.m_strRegistry.empty())
            report.m_goodRegistries.push_back(rdap.m_strRegistry);
        return;
    case ERdapOutcome::overLimit:
        strText.clear();
        report.m_bRetryLater = true;
        report.m_strFailure = LookupFailureToken(ELookupFailure::kRegistryRefused);
        if (rdap.m_bLimited) {
            report.m_strLimitRegistry = rdap.m_strRegistry;
            report.m_nLimitSeconds = rdap.m_nWaitSeconds;
        }
        return;
    case ERdapOutcome::fallback:
        break;
    }
    Port43Query(strAddress, strText, env, start, report);
}

} // namespace

WhoisQueryProc WhoisQueryOf(EWhoisSource source)
{
    switch (source) {
    case EWhoisSource::kPort43:
        break;
    case EWhoisSource::kRdap:
        return RdapQuery;
    }
    return Port43Query;
}
