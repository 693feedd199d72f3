#pragma once

#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which RDAP server answers for which block: the services of IANA's bootstrap
// files (RFC 9224) for IPv4 and for IPv6, looked up by longest matching prefix.
class CRdapBootstrap
{
public:
    // Replaces the table of each family the file lists prefixes of with the file's
    // services; the other family's table stays. False, with the reason and the
    // tables unchanged, for text that is not a bootstrap file with at least one
    // usable prefix. Prefer each service's https URL.
    bool Parse(std::string_view strJson, std::string& strError);

    // The base URL (ending in "/") of the longest prefix holding the address; empty when none does.
    std::string BaseUrl(uint32_t dwAddress) const;

    // The registry that answers for the address: the regional registry its base URL
    // belongs to ("ARIN", "RIPE", "APNIC", "LACNIC", "AFRINIC", ...), else the base
    // URL itself (a mirror or a test server); empty when no prefix holds it.
    std::string RegistryOf(uint32_t dwAddress) const;
    static std::string RegistryOfBaseUrl(const std::string& strBaseUrl);
    // The base URL of a regional registry's service ("RIPE"); empty when the table
    // names none of that registry's (or strRegistry is empty).
    std::string BaseUrlOfRegistry(const std::string& strRegistry) const;

    // The same for an address of either family.
    std::string BaseUrl(const CIPAddress& address) const;
    std::string RegistryOf(const CIPAddress& address) const;
    // The same for an address text (dotted quad or IPv6); empty for any other text.
    std::string RegistryOfText(std::string_view strAddress) const;

    // The IPv6 prefixes the table holds: the blocks IANA gave the registries.
    std::vector<CIPRange> Prefixes6() const;

    // No IPv4 table (an IPv6 one may be there).
    bool Empty() const { return m_entries.empty(); }
    bool HasIPv6() const { return !m_entries6.empty(); }
    // The publication dates of the IPv4 and of the IPv6 table.
    const std::string& Publication() const { return m_strPublication; }
    const std::string& Publication6() const { return m_strPublication6; }

    // The table from the file named in the settings, else the shipped snapshot (the
    // data files in the build tree or the install prefix, else the copies compiled
    // in); a family the named file lists nothing for comes from the snapshot.
    // strProblem says why a named file was not used; empty when all went well.
    static CRdapBootstrap Load(const std::string& strFile, std::string& strProblem);
    // Reads and parses a bootstrap file; false with "FILE: reason" when it cannot be used.
    bool ReadFile(const std::string& strFile, std::string& strError);
    static CRdapBootstrap Shipped();

private:
    struct CEntry {
        uint32_t m_dwPrefix;
        int m_nLength;
        std::string m_strUrl;
    };
    struct CEntry6 {
        uint64_t m_qwHigh;
        uint64_t m_qwLow;
        int m_nLength;
        std::string m_strUrl;
        std::string m_strRegistry;
    };
    void IndexRegistries();
    const CEntry6* Find6(const CIPAddress& address) const;

    std::vector<CEntry6> m_entries6; // longest prefixes first
    std::string m_strPublication6;

    std::vector<CEntry> m_entries; // longest prefixes first
    // The registry of each /8 that no longer prefix splits (the usual bootstrap
    // holds /8s only), so that registries of long waiting lists come cheaply;
    // null: look the address up.
    std::vector<std::string> m_registries;
    std::vector<bool> m_bWholeSlash8;
    std::string m_strPublication;
};
