#pragma once

#include "net/RdapBootstrap.h"
#include "net/RdapQuery.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>

class CNameResolver;
class CWhoisServerTable;

enum class ERdapOutcome
{
    result, // the text to store (an answer, or "no match" for a 404)
    overLimit, // the registry asked us to wait: nothing to store, ask again later
    fallback, // no usable RDAP answer: ask the port-43 whois instead
};

// The registry an RDAP lookup went to, for the caller's registry back-off.
struct CRdapRegistryReport {
    // The registry of the address's bootstrap entry ("ARIN", "RIPE", ...); empty when none.
    std::string m_strRegistry;
    // It answered 429 or 503 to this lookup (not: it was not asked, still waiting from before).
    bool m_bLimited = false;
    // How long it asked us to wait (Retry-After, clamped), when limited.
    long m_nWaitSeconds = 0;
};

// RDAP lookups of IPv4 addresses: the bootstrap picks the registry, the answer is
// kept as a summary plus the JSON as received. Remembers, for every registry that
// answered 429 or 503, when it may be asked again. Lookup may run on several
// worker threads at once.
class CRdapClient
{
public:
    CRdapClient(CRdapBootstrap bootstrap, const CWhoisServerTable& limits, std::string strCaFile);

    // result is set only for ERdapOutcome::result; message says why for the others.
    // A host name is resolved first, as the whois lookup does. strRegistry, when the
    // caller knows who holds the address (the delegation data), picks that
    // registry's server among the bootstrap's; the bootstrap entry of the address
    // decides otherwise.
    ERdapOutcome Lookup(const std::string& strTarget, std::string& result, std::string& message,
                        CNameResolver& resolver, CRdapRegistryReport* pReport = nullptr,
                        const std::string& strRegistry = std::string());

    const CRdapBootstrap& Bootstrap() const { return m_bootstrap; }

    const CRdapHttpLimits& Limits() const { return m_limits; }

    // Retry-After, clamped: at least a minute, at most an hour; a minute when absent.
    static long WaitSeconds(long nRetryAfter);

private:
    using Clock = std::chrono::steady_clock;
    CRdapBootstrap m_bootstrap;
    CRdapHttpLimits m_limits;
    std::mutex m_mutex;
    std::map<std::string, Clock::time_point> m_notBefore; // by base URL
};
