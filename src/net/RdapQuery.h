#pragma once

#include <cstddef>
#include <string>

class CNameResolver;

// The bounds of one RDAP exchange: the whois connection settings' time-outs and
// answer cap, and an extra CA file to trust besides the system's.
struct CRdapHttpLimits {
    int m_nConnectTimeoutMs = 10000;
    int m_nIdleTimeoutMs = 30000;
    int m_nAnswerTimeoutMs = 120000;
    size_t m_nMaxAnswerBytes = 1024 * 1024;
    std::string m_strCaFile;
};

struct CRdapHttpAnswer {
    long m_nStatus = 0; // 0 when no HTTP answer came
    std::string m_strBody; // the body exactly as received
    std::string m_strUrl; // the URL that gave the answer, after redirects
    long m_nRetryAfter = -1; // seconds; -1 when the answer names none
    std::string m_strError; // why there is no answer
};

// GET url with "Accept: application/rdap+json". Follows at most five redirects
// itself, each only to http or https, to a public unicast address, or to loopback
// from loopback; plain http only to loopback. Certificates are always checked. Each
// thread keeps one connection cache, so a worker asking the same server again
// reuses its connection. True when an HTTP answer (any status) came.
bool RdapHttpGet(const std::string& strUrl, const CRdapHttpLimits& limits, CNameResolver& resolver,
                 CRdapHttpAnswer& answer);
