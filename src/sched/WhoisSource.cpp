#include "sched/WhoisSource.h"

#include "net/IPWhoisLookup.h"
#include "sched/WorkerEnvironment.h"

namespace {

void Port43Query(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env)
{
    IPWhoisLookup(strAddress, strText, *env.m_pServers, *env.m_pResolver);
}

} // namespace

WhoisQueryProc WhoisQueryOf(EWhoisSource source)
{
    switch (source) {
    case EWhoisSource::kPort43:
        break;
    }
    return Port43Query;
}
