#pragma once

#include "net/WhoisQuery.h"
#include "net/WhoisServerTable.h"

#include <functional>
#include <string>
#include <vector>

class CNameResolver;
class CWhoisServerTable;

// One exchange with a server, as WhoisQuery does it; replaceable for fuzzing.
using WhoisExchange =
    std::function<bool(const std::string& query, const std::string& server, std::string& result, int port)>;

// The whois text of one address (or host name): starts at the ARIN server,
// follows the registry, rwhois and network-handle hand-offs for at most four
// queries, adds the organisation record and returns "target\r\n\r\n" plus the
// final answer with CR LF line ends. result is "Unable to resolve host" when a
// host name does not resolve, and stays unchanged when no usable answer came.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver);

// One exchange of a lookup as it happened, for callers that report the steps.
struct CWhoisStep {
    std::string m_strQuery;
    std::string m_strServer;
    int m_nPort = 0;
    EWhoisQueryEnd m_end = EWhoisQueryEnd::complete;
    const std::string* m_pAnswer = nullptr; // what arrived, valid during the call only
    bool m_bZeroByte = false; // a zero byte cut a piece of the answer short
};
using WhoisStepObserver = std::function<void(const CWhoisStep& step)>;

// The same, telling the observer about every exchange.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisStepObserver& observer);

// The same over a given exchange.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisExchange& exchange);

// What a chain met on its way, for the caller's registry back-off. Registries are
// named by the server table's roles ("ARIN", "RIPE", ...); referred hosts name none.
struct CWhoisChainReport {
    // The registry whose "query limit" answer ended the chain; empty when none did.
    std::string m_strLimitRegistry;
    // That registry's server denied access permanently (not only for a while).
    bool m_bDeniedForGood = false;
    // The chain stopped before asking this registry, because the caller paused it.
    std::string m_strPausedRegistry;
    // Registries that gave a usable answer (a referral or the final one).
    std::vector<std::string> m_goodRegistries;
    // Why the chain came back without a text (kNone when it has one): the last
    // exchange that gave no usable answer decides.
    ELookupFailure m_failure = ELookupFailure::kNone;
    // A zero byte cut an answer of the chain short (the whois text drops what followed it).
    bool m_bZeroByteCut = false;
};
using RegistryPausedProc = std::function<bool(const std::string& strRegistry)>;

// The same, asking no server of a registry that isPaused names: the chain stops
// there with the result unchanged. The report says where it stopped and why; the
// observer, when set, is told about every exchange. The chain starts at the
// server of firstRole (a caller that knows the address's registry); the referral
// rules apply from there.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const RegistryPausedProc& isPaused, CWhoisChainReport& report,
                   const WhoisStepObserver& observer = {}, EWhoisRole firstRole = EWhoisRole::arin);
