#pragma once

#include "core/settings/ProfileSetting.h"

#include <string>
#include <vector>

class CSettingsStore;

// Section "Delegation Files": where the five registries publish their
// delegated-*-extended-latest files (each with its .md5 beside it), and an extra
// certificate to trust for them. Nothing is fetched unless asked.
namespace DelegationSettings {

inline constexpr const char* kSection = "Delegation Files";
inline constexpr CTextSetting kRipe {kSection, "RIPE NCC",
                                     "https://ftp.ripe.net/pub/stats/ripencc/delegated-ripencc-extended-latest"};
inline constexpr CTextSetting kArin {kSection, "ARIN",
                                     "https://ftp.arin.net/pub/stats/arin/delegated-arin-extended-latest"};
inline constexpr CTextSetting kApnic {kSection, "APNIC",
                                      "https://ftp.apnic.net/stats/apnic/delegated-apnic-extended-latest"};
inline constexpr CTextSetting kLacnic {kSection, "LACNIC",
                                       "https://ftp.lacnic.net/pub/stats/lacnic/delegated-lacnic-extended-latest"};
inline constexpr CTextSetting kAfrinic {kSection, "AFRINIC",
                                        "https://ftp.afrinic.net/pub/stats/afrinic/delegated-afrinic-extended-latest"};
inline constexpr CTextSetting kCaFile {kSection, "CA File", ""};

} // namespace DelegationSettings

struct CDelegationSource {
    std::string m_strName; // the value name: "RIPE NCC", ...
    std::string m_strUrl; // empty: not fetched
};

// The five sources in the settings' order, and the CA file.
std::vector<CDelegationSource> LoadDelegationSources(CSettingsStore& store);
std::string LoadDelegationCaFile(CSettingsStore& store);
