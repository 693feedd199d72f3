#include "sched/WhoisSource.h"

#include "net/IPWhoisLookup.h"
#include "net/RdapClient.h"
#include "sched/WorkerEnvironment.h"

namespace {

bool Port43Query(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env)
{
    if (env.m_pWhoisObserver)
        IPWhoisLookup(strAddress, strText, *env.m_pServers, *env.m_pResolver, *env.m_pWhoisObserver);
    else
        IPWhoisLookup(strAddress, strText, *env.m_pServers, *env.m_pResolver);
    return false;
}

bool RdapQuery(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env)
{
    if (!env.m_pRdap)
        return Port43Query(strAddress, strText, env);
    std::string strMessage;
    switch (env.m_pRdap->Lookup(strAddress, strText, strMessage, *env.m_pResolver)) {
    case ERdapOutcome::result:
        return false;
    case ERdapOutcome::overLimit:
        strText.clear();
        return true;
    case ERdapOutcome::fallback:
        break;
    }
    return Port43Query(strAddress, strText, env);
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
