#include "sched/ConnSettings.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"

#include <string>

namespace PS = ProgramSettings;

CConnSettings LoadConnSettings(CSettingsLoader& loader)
{
    CConnSettings s;
    s.m_dwRescanGap = uint32_t(loader.Get(PS::kRescanGap));
    s.m_nWhoisInterval = loader.Get(PS::kWhoisInterval);
    s.m_nPingLimit = loader.Get(PS::kPingLimit);
    s.m_nTraceLimit = loader.Get(PS::kTraceLimit);
    s.m_nDnsLimit = loader.Get(PS::kDnsLimit);
    s.m_nWhoisLimit = loader.Get(PS::kWhoisLimit);
    s.m_bTraceHostLookup = loader.Get(PS::kTraceHostLookup);
    s.m_bConvertHostNames = loader.Get(PS::kConvertHostNames);
    s.m_bPacePerRegistry = loader.Get(PS::kPacePerRegistry);
    return s;
}

CConnSettings LoadConnSettings(CSettingsStore& store)
{
    CSettingsLoader loader(store);
    return LoadConnSettings(loader);
}

CConnSettings LoadUsableConnSettings(CSettingsStore& store)
{
    CConnSettings s = LoadConnSettings(store);
    const std::pair<const CIntSetting*, int*> limits[] = {{&PS::kWhoisLimit, &s.m_nWhoisLimit},
                                                          {&PS::kDnsLimit, &s.m_nDnsLimit},
                                                          {&PS::kTraceLimit, &s.m_nTraceLimit},
                                                          {&PS::kPingLimit, &s.m_nPingLimit}};
    for (const auto& [pSetting, pnValue] : limits) {
        if (*pnValue >= 1)
            continue;
        std::string strLine = std::string(pSetting->m_pszSection) + "/" + pSetting->m_pszKey + ": " +
                              std::to_string(*pnValue) + " is below 1, so no such lookup would start; " +
                              std::to_string(pSetting->m_nDefault) + " is used";
        store.ReportProblem(pSetting->m_pszSection, pSetting->m_pszKey, strLine);
        *pnValue = pSetting->m_nDefault;
    }
    return s;
}

void SaveConnSettings(CSettingsStore& store, const CConnSettings& s)
{
    CSettingsLoader loader(store);
    loader.Set(PS::kRescanGap, int(s.m_dwRescanGap));
    loader.Set(PS::kWhoisInterval, s.m_nWhoisInterval);
    loader.Set(PS::kPingLimit, s.m_nPingLimit);
    loader.Set(PS::kTraceLimit, s.m_nTraceLimit);
    loader.Set(PS::kDnsLimit, s.m_nDnsLimit);
    loader.Set(PS::kWhoisLimit, s.m_nWhoisLimit);
    loader.Set(PS::kTraceHostLookup, s.m_bTraceHostLookup);
    loader.Set(PS::kConvertHostNames, s.m_bConvertHostNames);
}
