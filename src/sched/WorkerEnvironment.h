#pragma once

#include "net/IPWhoisLookup.h"
#include "sched/WhoisSource.h"

class CAddressRegistry;
class CClock;
class CExchangeCancel;
class CCompletionSink;
class CIcmpService;
class CLastWhoisDone;
class CNameResolver;
class CPausedRegistries;
class CRdapClient;
class CRunningJobs;
class CThreadStarter;
class CWhoisServerTable;

// What the start operations and the workers run with. Workers get a copy of these
// pointers, so everything pointed to must outlive every worker: destroy the thread
// starter (which joins) before the rest. The ICMP service hands each ping and
// traceroute worker a session of its own; null makes those lookups fail.
struct CWorkerEnvironment {
    const CWhoisServerTable* m_pServers = nullptr;
    CNameResolver* m_pResolver = nullptr;
    CIcmpService* m_pIcmp = nullptr;
    CCompletionSink* m_pSink = nullptr;
    CThreadStarter* m_pThreads = nullptr;
    const CClock* m_pClock = nullptr;
    CLastWhoisDone* m_pLastWhoisDone = nullptr;
    // Which procedure the whois worker asks.
    EWhoisSource m_whoisSource = EWhoisSource::kPort43;
    // The RDAP source's client (bootstrap, limits, registries over their limit); null: RDAP asks port 43.
    CRdapClient* m_pRdap = nullptr;
    // The registries the back-off pauses now: a whois chain asks none of them. Null: none is.
    const CPausedRegistries* m_pPaused = nullptr;
    // The registries that denied access for good: no chain asks them again. Null: none did.
    const CPausedRegistries* m_pDenied = nullptr;
    // Which registry each address belongs to, for starting only addresses whose
    // registry is not paused and for pacing (UI thread only). Null: every address
    // may start, and none has a registry.
    const CAddressRegistry* m_pRegistries = nullptr;
    // Owns each job while its worker runs; null: the job is the worker's until it reports.
    CRunningJobs* m_pRunningJobs = nullptr;
    // The switch that ends the workers' exchanges when a run is cancelled; null: none.
    CExchangeCancel* m_pCancel = nullptr;
    // Told about each whois exchange, from the worker threads; null: nobody.
    const WhoisStepObserver* m_pWhoisObserver = nullptr;
};
