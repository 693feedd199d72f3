#pragma once

#include "net/RdapBootstrap.h"

#include <string>
#include <string_view>

class CDelegationLookup;

// Which registry holds an address: the registries' delegation data when the front
// end has it, else the RDAP bootstrap ("ARIN", "RIPE", ..., or the base URL of a
// server the bootstrap names that belongs to none). UI thread only.
class CAddressRegistry
{
public:
    explicit CAddressRegistry(CRdapBootstrap bootstrap)
        : m_bootstrap(std::move(bootstrap))
    { }

    void SetBootstrap(const CRdapBootstrap& bootstrap) { m_bootstrap = bootstrap; }
    // Null: the bootstrap alone. The lookup must outlive its use here.
    void SetDelegations(const CDelegationLookup* pDelegations) { m_pDelegations = pDelegations; }

    // Empty for a text that is no address (a host name) or one nobody is known to hold.
    std::string Of(std::string_view strAddress) const;

private:
    CRdapBootstrap m_bootstrap;
    const CDelegationLookup* m_pDelegations = nullptr;
};

// The registry whose interval a whois lookup counts under: the address's own, or
// ARIN's when it is not known (the port-43 chain then starts at ARIN).
inline std::string_view PaceRegistry(std::string_view strRegistry)
{
    return strRegistry.empty() ? std::string_view("ARIN") : strRegistry;
}
