#pragma once

#include <cstdint>

class CSettingsStore;

// The eight lookup settings of section "Settings": freshness of whois data, how many
// lookups of each kind run at once, the spacing of whois connections, and two switches.
struct CConnSettings {
    uint32_t m_dwRescanGap = 1440; // minutes; "Rescan Gap"
    int m_nWhoisInterval = 10; // seconds; "IP Whois Interval"
    int m_nPingLimit = 3; // "Ping Simul Connections"
    int m_nTraceLimit = 3; // "Trace Simul Connections"
    int m_nDnsLimit = 8; // "DNS Simul Connections"
    int m_nWhoisLimit = 3; // "IP Whois Simul Connections"
    bool m_bTraceHostLookup = false; // "Trace Host Lookup"
    bool m_bConvertHostNames = true; // "Convert Host Names"
};

// Reads the eight values; an absent or unreadable value gives its default. No range
// is enforced: 0 and negative limits are kept as stored.
CConnSettings LoadConnSettings(CSettingsStore& store);

// Writes all eight, in the order the settings dialog does; the switches as 0 or 1.
void SaveConnSettings(CSettingsStore& store, const CConnSettings& settings);
