#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which RDAP server answers for which IPv4 block: the services of an IANA
// bootstrap file (RFC 9224), looked up by longest matching prefix.
class CRdapBootstrap
{
public:
    // Replaces the table with the file's services. False, with the reason and the
    // table unchanged, for text that is not a bootstrap file with at least one
    // usable prefix. Prefer each service's https URL.
    bool Parse(std::string_view strJson, std::string& strError);

    // The base URL (ending in "/") of the longest prefix holding the address; empty when none does.
    std::string BaseUrl(uint32_t dwAddress) const;

    // The registry that answers for the address: the regional registry its base URL
    // belongs to ("ARIN", "RIPE", "APNIC", "LACNIC", "AFRINIC", ...), else the base
    // URL itself (a mirror or a test server); empty when no prefix holds it.
    std::string RegistryOf(uint32_t dwAddress) const;
    static std::string RegistryOfBaseUrl(const std::string& strBaseUrl);

    bool Empty() const { return m_entries.empty(); }
    const std::string& Publication() const { return m_strPublication; }

    // The table from the file named in the settings, else the shipped snapshot (the
    // data file in the build tree or the install prefix, else the copy compiled in).
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
    void IndexRegistries();

    std::vector<CEntry> m_entries; // longest prefixes first
    // The registry of each /8 that no longer prefix splits (the usual bootstrap
    // holds /8s only), so that registries of long waiting lists come cheaply;
    // null: look the address up.
    std::vector<std::string> m_registries;
    std::vector<bool> m_bWholeSlash8;
    std::string m_strPublication;
};
