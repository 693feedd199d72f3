#include "sched/ConnSettings.h"

#include "core/SettingsStore.h"

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kRescanGap = "Rescan Gap";
constexpr const char* kWhoisLimit = "IP Whois Simul Connections";
constexpr const char* kDnsLimit = "DNS Simul Connections";
constexpr const char* kTraceLimit = "Trace Simul Connections";
constexpr const char* kPingLimit = "Ping Simul Connections";
constexpr const char* kWhoisInterval = "IP Whois Interval";
constexpr const char* kTraceHostLookup = "Trace Host Lookup";
constexpr const char* kConvertHostNames = "Convert Host Names";

} // namespace

CConnSettings LoadConnSettings(CSettingsStore& store)
{
    const CConnSettings d;
    CConnSettings s;
    s.m_dwRescanGap = uint32_t(store.GetProfileInt(kSection, kRescanGap, int(d.m_dwRescanGap)));
    s.m_nWhoisInterval = store.GetProfileInt(kSection, kWhoisInterval, d.m_nWhoisInterval);
    s.m_nPingLimit = store.GetProfileInt(kSection, kPingLimit, d.m_nPingLimit);
    s.m_nTraceLimit = store.GetProfileInt(kSection, kTraceLimit, d.m_nTraceLimit);
    s.m_nDnsLimit = store.GetProfileInt(kSection, kDnsLimit, d.m_nDnsLimit);
    s.m_nWhoisLimit = store.GetProfileInt(kSection, kWhoisLimit, d.m_nWhoisLimit);
    s.m_bTraceHostLookup = store.GetProfileInt(kSection, kTraceHostLookup, d.m_bTraceHostLookup) != 0;
    s.m_bConvertHostNames = store.GetProfileInt(kSection, kConvertHostNames, d.m_bConvertHostNames) != 0;
    return s;
}

void SaveConnSettings(CSettingsStore& store, const CConnSettings& s)
{
    store.WriteProfileInt(kSection, kRescanGap, int(s.m_dwRescanGap));
    store.WriteProfileInt(kSection, kWhoisInterval, s.m_nWhoisInterval);
    store.WriteProfileInt(kSection, kPingLimit, s.m_nPingLimit);
    store.WriteProfileInt(kSection, kTraceLimit, s.m_nTraceLimit);
    store.WriteProfileInt(kSection, kDnsLimit, s.m_nDnsLimit);
    store.WriteProfileInt(kSection, kWhoisLimit, s.m_nWhoisLimit);
    store.WriteProfileInt(kSection, kTraceHostLookup, s.m_bTraceHostLookup ? 1 : 0);
    store.WriteProfileInt(kSection, kConvertHostNames, s.m_bConvertHostNames ? 1 : 0);
}
