#include "net/PingCheck.h"

#include "net/PingEngine.h"

#include <vector>

CPingCheckResult PingCheck(CIcmpService* pService, CNameResolver& resolver, const std::string& strAddress,
                           uint32_t dwTimeout)
{
    CPingCheckResult result;
    CPingEngine engine(pService, resolver);
    engine.SetTargetName(strAddress);
    engine.SetTimeout(dwTimeout);
    result.m_bOpened = engine.Open(false);
    result.m_strOpenMessage = engine.GetMessage();
    if (result.m_bOpened) {
        std::vector<uint32_t> times;
        for (int i = 0; i < kPingCheckRequests; ++i) {
            if (engine.SendEcho()) {
                times.push_back(engine.GetRoundTripTime());
                result.m_bSuccess = true;
            } else {
                ++result.m_nFailures;
            }
        }
        double sum = 0.0;
        for (uint32_t t : times)
            sum += double(t);
        result.m_dAverage = times.empty() ? 0.0 : sum / double(times.size());
    } else {
        // No request could be sent, so none was answered: counting them as failed keeps
        // the record from showing "0 ms", as if the host had answered at once.
        result.m_nFailures = kPingCheckRequests;
    }
    engine.Close();
    return result;
}
