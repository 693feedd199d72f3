#include "net/IPWhoisLookup.h"

#include "core/record/DottedQuad.h"
#include "core/record/HostLookup.h"
#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"
#include "core/record/NameResolver.h"
#include "core/text/TextCase.h"
#include "net/WhoisQuery.h"
#include "net/WhoisReferral.h"
#include "net/WhoisRefusal.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"

#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

constexpr int kMaxQueries = 4;
constexpr int kMaxHandles = 4;
constexpr const char* kWhiteSpace = " \t\n\v\f\r";

bool Contains(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

void Trim(std::string& text)
{
    const size_t last = text.find_last_not_of(kWhiteSpace);
    if (last == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(kWhiteSpace));
}

void CutBefore(std::string& text, const char* marker)
{
    const size_t pos = text.find(marker);
    if (pos != std::string::npos)
        text.erase(pos);
}

// Replaces every occurrence left to right without rescanning inserted text, and
// stops once the text has grown by more than nMaxGrowth bytes.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to, size_t nMaxGrowth = SIZE_MAX)
{
    std::string out;
    size_t growth = 0;
    size_t start = 0;
    size_t pos;
    bool any = false;
    while ((pos = text.find(from, start)) != std::string::npos) {
        if (to.size() > from.size()) {
            if (growth + (to.size() - from.size()) > nMaxGrowth)
                break;
            growth += to.size() - from.size();
        }
        if (!any) {
            out.reserve(text.size() + (to.size() > from.size() ? to.size() - from.size() : 0));
            any = true;
        }
        out.append(text, start, pos - start);
        out.append(to);
        start = pos + from.size();
    }
    if (!any)
        return;
    out.append(text, start, std::string::npos);
    text.swap(out);
}

// The range written after a handle on its own line ("A - B", two addresses of one
// family), as last - first; false when the line carries none.
bool RangeAfterHandle(std::string_view line, std::pair<uint64_t, uint64_t>& span)
{
    const size_t at = line.find('-');
    if (at == std::string_view::npos)
        return false;
    const auto trim = [](std::string_view s) {
        const size_t b = s.find_first_not_of(kWhiteSpace);
        if (b == std::string_view::npos)
            return std::string_view();
        return s.substr(b, s.find_last_not_of(kWhiteSpace) - b + 1);
    };
    const std::string_view left = trim(line.substr(0, at));
    const std::string_view right = trim(line.substr(at + 1));
    // Dotted quads by the IPv4 text rules; IPv6 in any RFC 4291 form (ARIN writes
    // the last address uncompressed and in capitals).
    const bool v4 = IsValidDottedQuad(left) && IsValidDottedQuad(right);
    if (!v4 && (left.find(':') == std::string_view::npos || right.find(':') == std::string_view::npos))
        return false;
    const CParseResult<CIPAddress> first = ParseIPAddress(left);
    const CParseResult<CIPAddress> last = ParseIPAddress(right);
    if (!first || !last)
        return false;
    const CParseResult<CIPRange> range = CIPRange::Make(*first, *last);
    if (!range)
        return false;
    span = range->Span();
    return true;
}

// An ARIN network handle: NET-... for IPv4 networks, NET6-... for IPv6 ones.
bool IsNetHandle(const std::string& handle)
{
    return (handle.size() >= 4 && StartsWithNoCase(handle, "net-")) ||
           (handle.size() >= 5 && StartsWithNoCase(handle, "net6-"));
}

// The handle to ask for among the first four parenthesised texts of an answer (a
// handle is empty when its ")" is missing). ARIN does not always list the most
// specific network last, so when every listed handle carries a range on its line
// the narrowest range decides (on a tie the later one); otherwise the last handle.
bool ChooseHandle(const std::string& answer, std::string& handle)
{
    size_t p = answer.find('(');
    if (p == std::string::npos)
        return false;
    std::string_view rest = answer;
    bool allRanged = true;
    bool anyRanged = false;
    std::string narrowest;
    std::pair<uint64_t, uint64_t> narrowestSpan;
    for (int n = 0; n < kMaxHandles && p != std::string_view::npos; ++n) {
        rest = rest.substr(p + 1);
        const size_t close = rest.find(')');
        std::pair<uint64_t, uint64_t> span;
        if (close != std::string_view::npos) {
            handle.assign(rest.substr(0, close));
            rest = rest.substr(close + 1);
            const std::string_view line = rest.substr(0, rest.find_first_of("\r\n("));
            if (allRanged && RangeAfterHandle(line, span)) {
                if (!anyRanged || span <= narrowestSpan) {
                    narrowest = handle;
                    narrowestSpan = span;
                    anyRanged = true;
                }
            } else {
                allRanged = false;
            }
        } else {
            handle.clear();
            allRanged = false;
        }
        p = rest.find('(');
    }
    if (allRanged && anyRanged)
        handle.swap(narrowest);
    return true;
}

class CReferralLoop
{
public:
    CReferralLoop(const CWhoisServerTable& servers, CNameResolver& resolver)
        : m_servers(servers)
        , m_resolver(resolver)
    { }

    // Where the markers of an answer send the next query; false when none applies.
    bool NextServer(const std::string& answer, const std::string& server, std::string& next, int& port)
    {
        const auto host = [this](EWhoisRole role) -> const std::string& { return m_servers.Host(role); };
        const std::string& apnic = host(EWhoisRole::apnic);
        const std::string& ripe = host(EWhoisRole::ripe);
        const std::string& aunic = host(EWhoisRole::aunic);
        const std::string& lacnic = host(EWhoisRole::lacnic);
        const std::string& rwhoisA = host(EWhoisRole::rwhoisA);
        const std::string& rwhoisB = host(EWhoisRole::rwhoisB);
        const std::string rwhois = WhoisTexts::kRWhoisScheme;
        const std::string rwhoisPort = WhoisTexts::kRWhoisPortSuffix;

        port = m_servers.m_nWhoisPort;
        if (Contains(answer, WhoisTexts::kNetNameApnic) && server != apnic)
            next = apnic;
        else if (Contains(answer, WhoisTexts::kNetNameRipe) && server != ripe)
            next = ripe;
        else if (Contains(answer, WhoisTexts::kReferralWhois + ripe) && server != ripe)
            next = ripe;
        else if (Contains(answer, WhoisTexts::kNetNameAunic) && server != aunic)
            next = aunic;
        else if (Contains(answer, WhoisTexts::kNetNameLacnic) && server != lacnic)
            next = lacnic;
        else if (Contains(answer, rwhois + rwhoisA + rwhoisPort)) {
            next = rwhoisA;
            port = m_servers.m_nRWhoisPort;
        } else if (Contains(answer, rwhois + rwhoisB + rwhoisPort + "/")) {
            next = rwhoisB;
            port = m_servers.m_nRWhoisPort;
        } else {
            return ReferralServerLine(answer, server, next, port);
        }
        return true;
    }

private:
    // Today's answers name the next server on a "ReferralServer:" line instead.
    bool ReferralServerLine(const std::string& answer, const std::string& server, std::string& next, int& port)
    {
        CReferralServer referral;
        if (!FindReferralServer(answer, referral))
            return false;
        for (size_t i = 0; i < kWhoisRoleCount; ++i) {
            const EWhoisRole role = EWhoisRole(i);
            if (EqualNoCase(referral.m_strHost, CWhoisServerTable::DefaultHost(role))) {
                if (EqualNoCase(m_servers.Host(role), server))
                    return false;
                next = m_servers.Host(role);
                port = m_servers.Port(role);
                return true;
            }
        }
        if (EqualNoCase(referral.m_strHost, server))
            return false;
        // Checked once and connected to by address, so the name cannot change its
        // answer in between and steer us into the user's own network.
        uint32_t address = 0;
        if (!m_resolver.ResolveName(referral.m_strHost, address) && !ParseInetAddress(referral.m_strHost, address))
            return false;
        if (!IsPublicUnicastAddress(address))
            return false;
        const std::string literal = FormatInetAddress(address);
        if (literal == server)
            return false;
        next = literal;
        port = referral.m_nPort ? referral.m_nPort : (referral.m_bRWhois ? 4321 : 43);
        return true;
    }

    const CWhoisServerTable& m_servers;
    CNameResolver& m_resolver;
};

} // namespace

void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver)
{
    IPWhoisLookup(std::move(target), result, servers, resolver, WhoisStepObserver());
}

namespace {

WhoisExchange NetworkExchange(const CWhoisServerTable& servers, CNameResolver& resolver,
                              const WhoisStepObserver& observer, CWhoisChainReport* pReport = nullptr)
{
    return [&servers, &resolver, &observer, pReport](const std::string& query, const std::string& server,
                                                     std::string& answer, int port) {
        EWhoisQueryEnd end = EWhoisQueryEnd::complete;
        bool bZeroByte = false;
        const bool bOk = WhoisQuery(query, server, answer, port, servers, resolver, &end, &bZeroByte);
        if (observer)
            observer(CWhoisStep {query, server, port, end, &answer, bZeroByte});
        if (pReport) {
            // Overwritten by every exchange; the chain clears it once it has its text.
            pReport->m_failure =
                end == EWhoisQueryEnd::complete && answer.empty() ? ELookupFailure::kNoAnswer : FailureOfQueryEnd(end);
            pReport->m_bZeroByteCut = pReport->m_bZeroByteCut || bZeroByte;
        }
        // Only the beginning of an answer arrived: no answer from this server, so
        // the lookup fails or falls back to the previous server's answer.
        if (IsCutShort(end))
            answer.clear();
        return bOk;
    };
}

void ChainLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                 const WhoisExchange& exchange, const RegistryPausedProc& isPaused, CWhoisChainReport* pReport,
                 EWhoisRole firstRole = EWhoisRole::arin);

} // namespace

void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisStepObserver& observer)
{
    // Nothing worth asking about goes to a registry.
    if (target.find_first_not_of(kWhiteSpace) == std::string::npos)
        return;
    ChainLookup(std::move(target), result, servers, resolver, NetworkExchange(servers, resolver, observer), {},
                nullptr);
}

void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const RegistryPausedProc& isPaused, CWhoisChainReport& report, const WhoisStepObserver& observer,
                   EWhoisRole firstRole)
{
    if (target.find_first_not_of(kWhiteSpace) == std::string::npos)
        return;
    ChainLookup(std::move(target), result, servers, resolver, NetworkExchange(servers, resolver, observer, &report),
                isPaused, &report, firstRole);
}

void IPWhoisLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                   const WhoisExchange& exchange)
{
    ChainLookup(std::move(target), result, servers, resolver, exchange, {}, nullptr);
}

namespace {

void ChainLookup(std::string target, std::string& result, const CWhoisServerTable& servers, CNameResolver& resolver,
                 const WhoisExchange& exchange, const RegistryPausedProc& isPaused, CWhoisChainReport* pReport,
                 EWhoisRole firstRole)
{
    // An IPv6 address is asked in its canonical text, which is also how the record
    // names it; an IPv4-mapped one is that IPv4 address.
    bool bAddress = false;
    if (target.find(':') != std::string::npos) {
        if (const CParseResult<CIPAddress> a = ParseIPAddress(target)) {
            target = a->ToString();
            bAddress = true;
        }
    }
    std::string header = target + "\r\n\r\n";
    const size_t firstDot = target.find('.');
    if (!target.empty() && !LooksLikeDottedQuad(target) && firstDot != std::string::npos && firstDot > 0 && !bAddress) {
        std::string address;
        if (!ResolveToDottedQuad(resolver, target, address)) {
            result = WhoisTexts::kUnableToResolve;
            return;
        }
        header = address + " [" + target + "]\r\n\r\n";
        target = address;
    }

    const std::string& arin = servers.Host(EWhoisRole::arin);
    // ARIN's unless the caller knows the address's registry and starts there.
    std::string server = servers.Host(firstRole);
    int port = servers.Port(firstRole);
    std::string answer;

    // The most recent usable answer, for when the server it pointed to turns out dead.
    std::string usableAnswer;
    std::string usableServer;
    bool haveUsable = false;
    std::string askedServer;
    bool limitAtServer = false;

    CReferralLoop loop(servers, resolver);
    for (int query = 0; query < kMaxQueries; ++query) {
        if (server != askedServer) {
            askedServer = server;
            limitAtServer = false;
            // A registry over its limit is not asked before its pause ends, and an
            // earlier server's referral is no answer: the address waits again.
            if (isPaused) {
                const std::string registry = servers.RegistryOf(server);
                if (!registry.empty() && isPaused(registry)) {
                    if (pReport) {
                        pReport->m_strPausedRegistry = registry;
                        pReport->m_failure = ELookupFailure::kRegistryRefused;
                    }
                    return;
                }
            }
        }
        exchange(target, server, answer, port);
        port = servers.m_nWhoisPort;

        const EWhoisRefusal refusal = FindWhoisRefusal(answer);
        if (refusal != EWhoisRefusal::none && pReport)
            pReport->m_failure = ELookupFailure::kRegistryRefused;
        if (refusal == EWhoisRefusal::deniedForGood) {
            // Asked again, the server would only keep us out for longer.
            if (pReport) {
                const std::string registry = servers.RegistryOf(askedServer);
                pReport->m_strLimitRegistry = registry.empty() ? askedServer : registry;
                pReport->m_bDeniedForGood = true;
            }
            return;
        }
        const bool overLimit = refusal == EWhoisRefusal::limit;
        if (answer.empty() || overLimit) {
            limitAtServer = limitAtServer || overLimit;
            answer.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(servers.m_nRetryPauseMs));
            continue;
        }

        std::string next;
        int nextPort = 0;
        bool goOn = false;
        if (loop.NextServer(answer, server, next, nextPort)) {
            server = next;
            port = nextPort;
            goOn = true;
        } else if (answer.compare(0, std::strlen(WhoisTexts::kNoMatch), WhoisTexts::kNoMatch) == 0) {
            goOn = false;
        } else if (server == arin) {
            std::string handle;
            if (ChooseHandle(answer, handle) && IsNetHandle(handle)) {
                target = handle;
                goOn = true;
            }
        }
        if (pReport) {
            const std::string registry = servers.RegistryOf(askedServer);
            if (!registry.empty())
                pReport->m_goodRegistries.push_back(registry);
        }
        if (!goOn)
            break;
        usableAnswer.swap(answer);
        usableServer = askedServer;
        haveUsable = true;
        // A usable answer after an over-limit one: the server has recovered.
        limitAtServer = false;
        answer.clear();
    }

    if (answer.empty()) {
        // A referral to a server that never answered must not lose what the
        // previous server said; an over-limit server is asked again later instead.
        if (limitAtServer && pReport) {
            pReport->m_strLimitRegistry = servers.RegistryOf(askedServer);
            pReport->m_failure = ELookupFailure::kRegistryRefused;
        }
        if (!haveUsable || limitAtServer) {
            if (pReport && pReport->m_failure == ELookupFailure::kNone)
                pReport->m_failure = ELookupFailure::kNoAnswer;
            return;
        }
        answer.swap(usableAnswer);
        server = usableServer;
    }

    CutBefore(answer, WhoisTexts::kArinFooter);

    const size_t orgAt = answer.find(WhoisTexts::kOrgId);
    if (orgAt != std::string::npos) {
        const size_t idStart = orgAt + std::strlen(WhoisTexts::kOrgId);
        const size_t lineEnd = answer.find('\n', idStart);
        if (lineEnd != std::string::npos) {
            std::string id = answer.substr(idStart, lineEnd - idStart);
            Trim(id);
            std::string org;
            if (exchange(WhoisTexts::kOrgQueryPrefix + id, server, org, servers.m_nWhoisPort)) {
                CutBefore(org, WhoisTexts::kArinFooter);
                CutBefore(org, "\n\n");
                const size_t addressAt = org.find(WhoisTexts::kAddress);
                if (addressAt != std::string::npos) {
                    org.erase(0, addressAt);
                    Trim(org);
                    ReplaceAll(org, ": ", ":    ");
                    org += "\n";
                    org += WhoisTexts::kOrgId;
                    // An answer full of "OrgID:" must not multiply the organisation record without bound.
                    ReplaceAll(answer, WhoisTexts::kOrgId, org, servers.m_nMaxAnswerBytes);
                } else {
                    answer += "\n\n";
                    answer += org;
                }
            }
        }
    }

    ReplaceAll(answer, "\n", "\r\n");
    Trim(answer);
    result = header + answer;
    if (pReport)
        pReport->m_failure = ELookupFailure::kNone;
}

} // namespace
