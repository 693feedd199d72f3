#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CSettingsStore;

// The servers the IP whois lookup knows by role, in the order of their value names.
enum class EWhoisRole
{
    arin,
    ripe,
    apnic,
    lacnic,
    aunic,
    rwhoisA,
    rwhoisB,
    afrinic
};
constexpr size_t kWhoisRoleCount = 8;

// Where the whois lookup connects and how long it waits: the hosts of the eight
// roles, the whois and rwhois ports, and the bounds on one exchange. Read from the
// settings section "Whois Servers"; tests point it at loopback servers.
class CWhoisServerTable
{
public:
    CWhoisServerTable(); // the defaults

    const std::string& Host(EWhoisRole role) const { return m_strHosts[size_t(role)]; }
    void SetHost(EWhoisRole role, const std::string& host) { m_strHosts[size_t(role)] = host; }
    // The rwhois port for the two rwhois roles, the whois port for the others.
    int Port(EWhoisRole role) const;
    static bool IsRWhoisRole(EWhoisRole role) { return role == EWhoisRole::rwhoisA || role == EWhoisRole::rwhoisB; }

    // The regional registry a role stands for ("ARIN", "RIPE", "APNIC", "LACNIC",
    // "AFRINIC"; AUNIC is APNIC's); empty for the rwhois roles.
    static const char* RegistryOfRole(EWhoisRole role);
    // The registry of the role whose host this is; empty for an rwhois host or one
    // the table does not hold (a referred host names no registry).
    std::string RegistryOf(const std::string& host) const;
    // The role whose server a regional registry's own queries go to ("RIPE" -> ripe);
    // nothing for any other name.
    static std::optional<EWhoisRole> RoleOfRegistry(std::string_view strRegistry);

    static const char* ValueName(EWhoisRole role);
    static const char* DefaultHost(EWhoisRole role);

    void Load(CSettingsStore& store);
    void Save(CSettingsStore& store) const;

    std::array<std::string, kWhoisRoleCount> m_strHosts;
    int m_nWhoisPort;
    int m_nRWhoisPort;
    int m_nConnectTimeoutMs; // connecting to a server
    int m_nIdleTimeoutMs; // waiting for the next part of an answer (or to send the query)
    int m_nAnswerTimeoutMs; // the whole answer, against servers that trickle
    size_t m_nMaxAnswerBytes; // a longer answer ends like a receive error
    int m_nRetryPauseMs; // before asking again after an empty or over-limit answer
};
