#include "net/WhoisServerTable.h"

#include "core/settings/SettingsStore.h"
#include "core/text/TextCase.h"
#include "net/WhoisTexts.h"

namespace {

constexpr const char* kValueNames[kWhoisRoleCount] = {"ARIN",  "RIPE",     "APNIC",    "LACNIC",
                                                      "AUNIC", "RWhois A", "RWhois B", "AFRINIC"};
// whois.aunic.net is historic (its records moved to APNIC in 2001); kept as the role's default.
constexpr const char* kDefaultHosts[kWhoisRoleCount] = {
    "whois.arin.net",  "whois.ripe.net",      "whois.apnic.net",      "whois.lacnic.net",
    "whois.aunic.net", "rwhois.cogentco.com", "rwhois.hostwinds.com", "whois.afrinic.net"};

constexpr int kDefaultConnectTimeoutMs = 15000;
constexpr int kDefaultIdleTimeoutMs = 30000;
constexpr int kDefaultAnswerTimeoutMs = 120000;
constexpr int kDefaultMaxAnswerBytes = 4 * 1024 * 1024;
// Host names are at most 253 characters; a longer setting is a broken profile.
constexpr size_t kMaxHostLength = 253;

int ReadBounded(CSettingsStore& store, const char* name, int nDefault, int nMin, int nMax)
{
    const int value = store.GetProfileInt(WhoisTexts::kSection, name, nDefault);
    if (value >= nMin && value <= nMax)
        return value;
    // Worded as the other sections' values are reported.
    store.ReportProblem(WhoisTexts::kSection, name,
                        std::string(WhoisTexts::kSection) + "/" + name + ": " + std::to_string(value) + " is outside " +
                            std::to_string(nMin) + ".." + std::to_string(nMax) + "; " + std::to_string(nDefault) +
                            " is used");
    return nDefault;
}

} // namespace

CWhoisServerTable::CWhoisServerTable()
    : m_nWhoisPort(43)
    , m_nRWhoisPort(4321)
    , m_nConnectTimeoutMs(kDefaultConnectTimeoutMs)
    , m_nIdleTimeoutMs(kDefaultIdleTimeoutMs)
    , m_nAnswerTimeoutMs(kDefaultAnswerTimeoutMs)
    , m_nMaxAnswerBytes(kDefaultMaxAnswerBytes)
    , m_nRetryPauseMs(100)
{
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        m_strHosts[i] = kDefaultHosts[i];
}

int CWhoisServerTable::Port(EWhoisRole role) const
{
    return IsRWhoisRole(role) ? m_nRWhoisPort : m_nWhoisPort;
}

const char* CWhoisServerTable::RegistryOfRole(EWhoisRole role)
{
    switch (role) {
    case EWhoisRole::arin:
        return "ARIN";
    case EWhoisRole::ripe:
        return "RIPE";
    case EWhoisRole::apnic:
    case EWhoisRole::aunic:
        return "APNIC";
    case EWhoisRole::lacnic:
        return "LACNIC";
    case EWhoisRole::afrinic:
        return "AFRINIC";
    case EWhoisRole::rwhoisA:
    case EWhoisRole::rwhoisB:
        break;
    }
    return "";
}

std::string CWhoisServerTable::RegistryOf(const std::string& host) const
{
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        if (!IsRWhoisRole(EWhoisRole(i)) && EqualNoCase(m_strHosts[i], host))
            return RegistryOfRole(EWhoisRole(i));
    return {};
}

std::optional<EWhoisRole> CWhoisServerTable::RoleOfRegistry(std::string_view strRegistry)
{
    for (const EWhoisRole role :
         {EWhoisRole::arin, EWhoisRole::ripe, EWhoisRole::apnic, EWhoisRole::lacnic, EWhoisRole::afrinic})
        if (strRegistry == RegistryOfRole(role))
            return role;
    return std::nullopt;
}

const char* CWhoisServerTable::ValueName(EWhoisRole role)
{
    return kValueNames[size_t(role)];
}

const char* CWhoisServerTable::DefaultHost(EWhoisRole role)
{
    return kDefaultHosts[size_t(role)];
}

void CWhoisServerTable::Load(CSettingsStore& store)
{
    for (size_t i = 0; i < kWhoisRoleCount; ++i) {
        std::string host = store.GetProfileString(WhoisTexts::kSection, kValueNames[i], kDefaultHosts[i]);
        // An empty or oversized host cannot be asked; the role keeps its default.
        if (host.empty() || host.size() > kMaxHostLength || host.find('\0') != std::string::npos)
            host = kDefaultHosts[i];
        m_strHosts[i] = host;
    }
    m_nWhoisPort = ReadBounded(store, WhoisTexts::kWhoisPort, 43, 1, 65535);
    m_nRWhoisPort = ReadBounded(store, WhoisTexts::kRWhoisPort, 4321, 1, 65535);
    m_nConnectTimeoutMs = ReadBounded(store, WhoisTexts::kConnectTimeout, kDefaultConnectTimeoutMs, 50, 600000);
    m_nIdleTimeoutMs = ReadBounded(store, WhoisTexts::kIdleTimeout, kDefaultIdleTimeoutMs, 50, 600000);
    m_nAnswerTimeoutMs = ReadBounded(store, WhoisTexts::kAnswerTimeout, kDefaultAnswerTimeoutMs, 50, 3600000);
    m_nMaxAnswerBytes =
        size_t(ReadBounded(store, WhoisTexts::kMaxAnswerSize, kDefaultMaxAnswerBytes, 64 * 1024, 64 * 1024 * 1024));
}

void CWhoisServerTable::Save(CSettingsStore& store) const
{
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        store.WriteProfileString(WhoisTexts::kSection, kValueNames[i], m_strHosts[i]);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kWhoisPort, m_nWhoisPort);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kRWhoisPort, m_nRWhoisPort);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kConnectTimeout, m_nConnectTimeoutMs);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kIdleTimeout, m_nIdleTimeoutMs);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kAnswerTimeout, m_nAnswerTimeoutMs);
    store.WriteProfileInt(WhoisTexts::kSection, WhoisTexts::kMaxAnswerSize, int(m_nMaxAnswerBytes));
}
