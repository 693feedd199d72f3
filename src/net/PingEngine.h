#pragma once

#include "core/record/NameResolver.h"
#include "net/IcmpService.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Sends ICMP (or, to an IPv6 target, ICMPv6) echo requests through the ICMP
// service and turns each outcome into a one-line message: the "Pinging" line after Open, a hop line or a status text
// after SendEcho. In trace mode the TTL starts at 0 and rises by one per request.
// One engine per thread; the service and the resolver may be shared.
class CPingEngine
{
public:
    static constexpr int kEchoBufferSize = 8192;
    static constexpr int kDefaultDataSize = 32;
    static constexpr uint32_t kDefaultTimeout = 3000;
    static constexpr int kDefaultTtl = 64;

    // A null service stands for a platform without an ICMP facility.
    CPingEngine(CIcmpService* pService, CNameResolver& resolver);
    ~CPingEngine();
    CPingEngine(const CPingEngine&) = delete;
    CPingEngine& operator=(const CPingEngine&) = delete;

    void SetTargetName(const std::string& strName) { m_strTargetName = strName; }
    void SetTraceMode(bool bTrace) { m_bTraceMode = bTrace; }
    bool GetTraceMode() const { return m_bTraceMode; }
    // Clamped to the echo buffer.
    void SetDataSize(int nSize);
    void SetTimeout(uint32_t dwTimeout) { m_dwTimeout = dwTimeout; }

    bool Open(bool bResolveHops);
    bool SendEcho();
    void Close();

    const std::string& GetMessage() const { return m_strMessage; }
    // The resolved IPv4 target (0 for an IPv6 one).
    uint32_t GetAddress() const { return m_dwAddress; }
    // The resolved target of either family.
    CIPAddress GetTarget() const { return m_address6.IsIPv6() ? m_address6 : CIPAddress::FromIPv4(m_dwAddress); }
    int GetTtl() const { return m_nOptionTtl; }
    // The round-trip time of the first reply to the last request.
    uint32_t GetRoundTripTime() const { return m_dwRoundTripTime; }
    // The echo data the next request carries.
    std::vector<uint8_t> GetEchoData() const;

private:
    bool OpenSession(bool bIPv6);

    std::string m_strTargetName;
    std::string m_strMessage;
    uint8_t m_nOptionTtl = 0;
    int m_nDataSize = kDefaultDataSize;
    uint32_t m_dwTimeout = kDefaultTimeout;
    int m_nTtl = kDefaultTtl;
    bool m_bTraceMode = false;
    std::vector<uint8_t> m_echoData;
    CIcmpService* m_pService;
    CNameResolver& m_resolver;
    std::unique_ptr<CIcmpSession> m_pSession;
    uint32_t m_dwAddress = 0;
    CIPAddress m_address6; // an IPv6 target; an IPv4 value otherwise
    bool m_bHostEntry = false;
    bool m_bResolveHops = false;
    uint32_t m_dwRoundTripTime = 0;
};
