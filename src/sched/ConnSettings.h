#pragma once

#include <cstdint>

#include "core/settings/ProgramSettings.h"

class CSettingsLoader;
class CSettingsStore;

// The eight lookup settings (ProgramSettings.h): freshness of whois data, how many
// lookups of each kind run at once, the spacing of whois connections, and two switches.
struct CConnSettings {
    uint32_t m_dwRescanGap = uint32_t(ProgramSettings::kRescanGap.m_nDefault); // minutes
    int m_nWhoisInterval = ProgramSettings::kWhoisInterval.m_nDefault; // seconds
    int m_nPingLimit = ProgramSettings::kPingLimit.m_nDefault;
    int m_nTraceLimit = ProgramSettings::kTraceLimit.m_nDefault;
    int m_nDnsLimit = ProgramSettings::kDnsLimit.m_nDefault;
    int m_nWhoisLimit = ProgramSettings::kWhoisLimit.m_nDefault;
    bool m_bTraceHostLookup = ProgramSettings::kTraceHostLookup.m_bDefault;
    bool m_bConvertHostNames = ProgramSettings::kConvertHostNames.m_bDefault;
    // Not one of the eight: a settings-file value, which SaveConnSettings leaves alone.
    bool m_bPacePerRegistry = ProgramSettings::kPacePerRegistry.m_bDefault;
};

// Reads the eight values and Pace Per Registry; an absent or unreadable value gives its default (the
// loader notes the unreadable ones). 0 and negative limits are kept as stored.
CConnSettings LoadConnSettings(CSettingsLoader& loader);
CConnSettings LoadConnSettings(CSettingsStore& store);

// LoadConnSettings for lookups that are to run: a limit below 1 would stop its kind
// of lookup for good, so each such stored value is reported (through the store's
// ReportProblem, which a checked store shows once) and its default used.
CConnSettings LoadUsableConnSettings(CSettingsStore& store);

// Writes all eight, in the order the settings dialog does; the switches as 0 or 1.
void SaveConnSettings(CSettingsStore& store, const CConnSettings& settings);
