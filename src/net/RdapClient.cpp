#include "net/RdapClient.h"

#include "core/record/HostLookup.h"
#include "core/record/IPAddress.h"
#include "facts/RdapFacts.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"
#include "net/WhoisReferral.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"

#include <algorithm>
#include <optional>

namespace {

std::string HostOf(const std::string& url)
{
    const size_t b = url.find("://");
    if (b == std::string::npos)
        return {};
    const size_t e = url.find_first_of(":/?#", b + 3);
    return url.substr(b + 3, e == std::string::npos ? std::string::npos : e - (b + 3));
}

} // namespace

CRdapClient::CRdapClient(CRdapBootstrap bootstrap, const CWhoisServerTable& limits, std::string strCaFile)
    : m_bootstrap(std::move(bootstrap))
{
    m_limits.m_nConnectTimeoutMs = limits.m_nConnectTimeoutMs;
    m_limits.m_nIdleTimeoutMs = limits.m_nIdleTimeoutMs;
    m_limits.m_nAnswerTimeoutMs = limits.m_nAnswerTimeoutMs;
    m_limits.m_nMaxAnswerBytes = limits.m_nMaxAnswerBytes;
    m_limits.m_strCaFile = std::move(strCaFile);
}

long CRdapClient::WaitSeconds(long nRetryAfter)
{
    if (nRetryAfter < 0)
        return 60;
    return std::clamp(nRetryAfter, 60L, 3600L);
}

ERdapOutcome CRdapClient::Lookup(const std::string& strTarget, std::string& result, std::string& message,
                                 CNameResolver& resolver, CRdapRegistryReport* pReport, const std::string& strRegistry)
{
    message.clear();
    std::string header = strTarget;
    std::string address = strTarget;
    uint32_t dwAddress = 0;
    // An IPv6 address is asked, and heads the text, in its canonical form; an
    // IPv4-mapped one is that IPv4 address.
    std::optional<CIPAddress> address6;
    if (strTarget.find(':') != std::string::npos) {
        if (const CParseResult<CIPAddress> a = ParseIPAddress(strTarget)) {
            if (a->IsIPv6())
                address6 = *a;
            else
                dwAddress = a->IPv4();
            address = header = a->ToString();
        } else {
            message = "RDAP looks up IP addresses only: " + strTarget;
            return ERdapOutcome::fallback;
        }
    } else if (!RdapText::ParseAddress(strTarget, dwAddress) || strTarget.find('/') != std::string::npos) {
        if (LooksLikeDottedQuad(strTarget) || strTarget.find('.') == std::string::npos) {
            message = "RDAP looks up IPv4 addresses only: " + strTarget;
            return ERdapOutcome::fallback;
        }
        if (!ResolveToDottedQuad(resolver, strTarget, address)) {
            result = WhoisTexts::kUnableToResolve;
            return ERdapOutcome::result;
        }
        header = address + " [" + strTarget + "]";
        RdapText::ParseAddress(address, dwAddress);
    } else {
        // "074.125.000.001" asks for 74.125.0.1.
        address = FormatInetAddress(dwAddress);
        header = address;
    }

    std::string base = m_bootstrap.BaseUrlOfRegistry(strRegistry);
    if (base.empty())
        base = address6 ? m_bootstrap.BaseUrl(*address6) : m_bootstrap.BaseUrl(dwAddress);
    if (base.empty()) {
        message = "no RDAP server is known for " + address;
        return ERdapOutcome::fallback;
    }
    if (pReport)
        pReport->m_strRegistry = CRdapBootstrap::RegistryOfBaseUrl(base);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_notBefore.find(base);
        if (it != m_notBefore.end()) {
            const auto now = Clock::now();
            if (now < it->second) {
                const auto left = std::chrono::duration_cast<std::chrono::seconds>(it->second - now).count();
                message = "RDAP server " + HostOf(base) + " is over its limit; asking again in " +
                          std::to_string(left + 1) + " s";
                return ERdapOutcome::overLimit;
            }
            m_notBefore.erase(it);
        }
    }

    const std::string url = base + "ip/" + address;
    CRdapHttpAnswer answer;
    if (!RdapHttpGet(url, m_limits, resolver, answer)) {
        message = "RDAP lookup failed: " + answer.m_strError;
        return ERdapOutcome::fallback;
    }
    const std::string registry = RdapText::RegistryOfHost(HostOf(answer.m_strUrl));
    switch (answer.m_nStatus) {
    case 200: {
        const CWhoisFacts facts =
            address6 ? ReadRdapFacts(answer.m_strBody, *address6) : ReadRdapFacts(answer.m_strBody, dwAddress);
        if (!facts.m_bFromRdap) {
            message = "RDAP server " + HostOf(answer.m_strUrl) + " sent no RDAP network object";
            return ERdapOutcome::fallback;
        }
        result = RdapText::Compose(header, facts, registry, answer.m_strUrl, answer.m_strBody);
        return ERdapOutcome::result;
    }
    case 404:
        result = RdapText::ComposeNoMatch(header, address, registry, answer.m_strUrl);
        return ERdapOutcome::result;
    case 429:
    case 503: {
        const long wait = WaitSeconds(answer.m_nRetryAfter);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_notBefore[base] = Clock::now() + std::chrono::seconds(wait);
        }
        if (pReport) {
            pReport->m_bLimited = true;
            pReport->m_nWaitSeconds = wait;
        }
        message = "RDAP server " + HostOf(answer.m_strUrl) + " is over its limit (" + std::to_string(answer.m_nStatus) +
                  "); asking again in " + std::to_string(wait) + " s";
        return ERdapOutcome::overLimit;
    }
    default:
        message = "RDAP server " + HostOf(answer.m_strUrl) + " answered " + std::to_string(answer.m_nStatus);
        return ERdapOutcome::fallback;
    }
}
