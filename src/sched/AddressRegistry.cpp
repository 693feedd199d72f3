#include "sched/AddressRegistry.h"

#include "sched/DelegationLookup.h"

std::string CAddressRegistry::Of(std::string_view strAddress) const
{
    if (m_pDelegations && !m_pDelegations->IsEmpty()) {
        const std::optional<CDelegationFacts> facts = m_pDelegations->Find(std::string(strAddress));
        if (facts && !facts->m_strRegistry.empty())
            return facts->m_strRegistry;
    }
    return m_bootstrap.RegistryOfText(strAddress);
}
