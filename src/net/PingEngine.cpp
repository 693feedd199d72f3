#include "net/PingEngine.h"

#include "core/record/HostLookup.h"
#include "net/IcmpStatus.h"
#include "net/PingTexts.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// The resolver seam gives no cause for a failure; Windows reports an unknown host
// as WSAHOST_NOT_FOUND, and that is the number users know from this message.
constexpr int kHostNotFound = 11001;

template <class... Args> std::string Format(const char* format, Args... args)
{
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0)
        return std::string();
    std::string out(size_t(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(size_t(n));
    return out;
}

} // namespace

CPingEngine::CPingEngine(CIcmpService* pService, CNameResolver& resolver)
    : m_echoData(kEchoBufferSize, 0)
    , m_pService(pService)
    , m_resolver(resolver)
{ }

CPingEngine::~CPingEngine()
{
    Close();
}

void CPingEngine::SetDataSize(int nSize)
{
    m_nDataSize = std::clamp(nSize, 0, kEchoBufferSize);
}

std::vector<uint8_t> CPingEngine::GetEchoData() const
{
    return std::vector<uint8_t>(m_echoData.begin(), m_echoData.begin() + m_nDataSize);
}

void CPingEngine::Close()
{
    m_pSession.reset();
}

bool CPingEngine::OpenSession(bool bIPv6)
{
    std::string error;
    m_pSession = bIPv6 ? m_pService->OpenIPv6(error) : m_pService->Open(error);
    if (!m_pSession) {
        m_strMessage = error;
        return false;
    }
    return true;
}

bool CPingEngine::Open(bool bResolveHops)
{
    Close();
    if (!m_pService) {
        m_strMessage = PingTexts::kNoIcmpService;
        return false;
    }
    // A text with a colon is an IPv6 address, or an IPv4-mapped one (that IPv4
    // address); either way no name to look up.
    std::optional<CIPAddress> literal;
    if (m_strTargetName.find(':') != std::string::npos)
        if (const CParseResult<CIPAddress> parsed = ParseIPAddress(m_strTargetName))
            literal = *parsed;
    if (!OpenSession(literal && literal->IsIPv6()))
        return false;

    // The printable characters from blank to '}', over and over.
    for (int i = 0; i < m_nDataSize; ++i)
        m_echoData[size_t(i)] = uint8_t(32 + i % 94);

    m_nTtl = m_bTraceMode ? 0 : kDefaultTtl;

    // All ones is what a failed parse gives too, so only its exact spelling is the
    // broadcast address; 0.0.0.0 and other spellings go to the name service.
    uint32_t address = 0;
    const bool parsed = ParseInetAddress(m_strTargetName, address) && address != 0xFFFFFFFFu;
    m_bHostEntry = false;
    m_address6 = CIPAddress();
    if (literal && literal->IsIPv6()) {
        m_address6 = *literal;
        m_dwAddress = 0;
    } else if (literal) {
        m_dwAddress = literal->IPv4();
    } else if (!parsed && m_strTargetName == PingTexts::kBroadcast) {
        m_dwAddress = 0xFFFFFFFFu;
    } else if (!parsed || address == 0) {
        CIPAddress address6;
        if (m_resolver.ResolveName(m_strTargetName, address)) {
            m_dwAddress = address;
        } else if (m_resolver.ResolveNameIPv6(m_strTargetName, address6) && address6.IsIPv6()) {
            // A name with IPv6 addresses only.
            if (!OpenSession(true))
                return false;
            m_address6 = address6;
            m_dwAddress = 0;
        } else {
            m_strMessage = Format(PingTexts::kResolveError, kHostNotFound, m_strTargetName.c_str());
            Close();
            return false;
        }
        m_bHostEntry = true;
    } else {
        m_dwAddress = address;
    }

    m_nOptionTtl = uint8_t(m_nTtl);

    const std::string dotted = GetTarget().ToString();
    if (m_bHostEntry)
        m_strMessage = Format(PingTexts::kPingingNamed, m_strTargetName.c_str(), dotted.c_str(), m_nDataSize);
    else
        m_strMessage = Format(PingTexts::kPingingAddress, dotted.c_str(), m_nDataSize);

    m_bResolveHops = bResolveHops;
    return true;
}

bool CPingEngine::SendEcho()
{
    m_dwRoundTripTime = 0;
    if (!m_pSession) {
        // Nothing to send through; the same outcome as a service that refuses the request.
        m_strMessage = FormatIcmpStatus(kIpBadRequest);
        return false;
    }
    if (m_bTraceMode)
        ++m_nOptionTtl;

    CIcmpEchoRequest request;
    request.m_dwAddress = m_dwAddress;
    request.m_address6 = m_address6;
    request.m_nTtl = m_nOptionTtl;
    request.m_pData = m_echoData.data();
    request.m_nDataSize = size_t(m_nDataSize);
    request.m_dwTimeout = m_dwTimeout;

    CIcmpEchoReply reply;
    uint32_t status = kIpGeneralFailure;
    if (m_pSession->SendEcho(request, reply, status) <= 0) {
        m_strMessage = FormatIcmpStatus(status);
        return false;
    }

    const bool ipv6 = m_address6.IsIPv6();
    std::string name = PingTexts::kNoHopName;
    if (m_bResolveHops) {
        std::string resolved;
        const bool found = ipv6 ? m_resolver.ResolveIPAddress(reply.m_address6, resolved)
                                : m_resolver.ResolveAddress(reply.m_dwAddress, resolved);
        name = found && !resolved.empty() ? resolved : PingTexts::kHopNameUnavailable;
    }
    m_dwRoundTripTime = reply.m_dwRoundTripTime;
    const std::string from = ipv6 ? reply.m_address6.ToString() : FormatInetAddress(reply.m_dwAddress);
    m_strMessage =
        Format(PingTexts::kHopLine, int(m_nOptionTtl), from.c_str(), name.c_str(), long(reply.m_dwRoundTripTime));

    if (reply.m_dwStatus != kIpSuccess) {
        if (!m_bTraceMode) {
            m_strMessage = FormatIcmpStatus(reply.m_dwStatus);
            return false;
        }
        return true;
    }
    if (m_bTraceMode)
        m_bTraceMode = false;
    return true;
}
