#pragma once

#include <memory>
#include <string>

class CRdapClient;
class CSettingsStore;
class CWhoisServerTable;

namespace RdapSettingNames {
inline constexpr const char* kSection = "RDAP";
inline constexpr const char* kUseRdap = "Use RDAP";
inline constexpr const char* kBootstrapFile = "Bootstrap File";
inline constexpr const char* kCaFile = "CA File";
} // namespace RdapSettingNames

// Section "RDAP": whether whois lookups ask RDAP first, the bootstrap file that
// replaces the shipped one, and an extra CA file to trust.
struct CRdapSettings {
    bool m_bUseRdap = false; // "Use RDAP": 0 port-43 whois, 1 RDAP first
    std::string m_strBootstrapFile; // "Bootstrap File"
    std::string m_strCaFile; // "CA File"
};

CRdapSettings LoadRdapSettings(CSettingsStore& store);
void SaveRdapSettings(CSettingsStore& store, const CRdapSettings& settings);

// The client the settings describe, bounded by the whois table's time-outs and
// answer cap. strProblem says why the named bootstrap file was not used (empty when
// it was, or none is named); the caller reports it once.
std::unique_ptr<CRdapClient> MakeRdapClient(const CRdapSettings& settings, const CWhoisServerTable& servers,
                                            std::string& strProblem);
