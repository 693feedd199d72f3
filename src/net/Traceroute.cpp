#include "net/Traceroute.h"

#include "net/PingEngine.h"
#include "net/PingTexts.h"

CTracerouteResult Traceroute(CIcmpService* pService, CNameResolver& resolver, const std::string& strAddress,
                             bool bResolveHops, uint32_t dwTimeout)
{
    CTracerouteResult result;
    CPingEngine engine(pService, resolver);
    engine.SetTargetName(strAddress);
    engine.SetTimeout(dwTimeout);
    engine.SetTraceMode(true);
    const bool opened = engine.Open(bResolveHops);
    result.m_strOpenMessage = engine.GetMessage();
    if (opened) {
        for (int probe = 0; probe < kTracerouteMaxProbes; ++probe) {
            if (engine.SendEcho())
                result.m_bSuccess = true;
            result.m_strTrace += engine.GetMessage();
            result.m_strTrace += PingTexts::kTraceLineEnd;
            if (!engine.GetTraceMode())
                break;
        }
    }
    engine.Close();
    return result;
}
