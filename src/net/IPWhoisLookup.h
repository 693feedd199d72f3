#pragma once

#include "net/WhoisQuery.h"

#include <functional>
#include <string>

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
};
using WhoisStepObserver = std::function<void(const CWhoisStep& step)>;

// The same, telling the observer about every exchange.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisStepObserver& observer);

// The same over a given exchange.
void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisExchange& exchange);
