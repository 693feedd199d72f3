#include "sched/DelegationLookup.h"

#include "cache/CacheAddress.h"
#include "cache/CacheDatabase.h"
#include "cache/DelegationStore.h"
#include "core/record/IPAddressData.h"

#include <utility>

std::string CDelegationLookup::Load(CCacheDatabase& db)
{
    CDelegationIndexResult r = CDelegationStore(db).LoadIndex();
    if (!r.m_strError.empty())
        return r.m_strError;
    m_index = std::move(r.m_index);
    return {};
}

std::string CDelegationLookup::RegistryName(const std::string& strFileName)
{
    if (strFileName == "ripencc")
        return "RIPE";
    std::string strName = strFileName;
    for (char& c : strName)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return strName;
}

std::optional<CDelegationFacts> CDelegationLookup::Find(const std::string& strAddress) const
{
    if (m_index.Size() == 0)
        return std::nullopt;
    const std::optional<CCacheAddress> address = CCacheAddress::Parse(strAddress);
    if (!address)
        return std::nullopt;
    const std::optional<CDelegationHit> hit = m_index.Find(*address);
    if (!hit)
        return std::nullopt;
    CDelegationFacts facts;
    facts.m_strRegistry = RegistryName(hit->m_strRegistry);
    facts.m_strCountry = hit->m_strCountry;
    if (hit->m_strDate.size() == 8)
        facts.m_strAllocated =
            hit->m_strDate.substr(0, 4) + "-" + hit->m_strDate.substr(4, 2) + "-" + hit->m_strDate.substr(6, 2);
    return facts;
}

std::optional<CDelegationFacts> CDelegationLookup::Find(const CIPAddressData& record) const
{
    return Find(record.GetIPAddress());
}

DelegationFactsFn CDelegationLookup::Function() const
{
    return [this](const CIPAddressData& record) { return Find(record); };
}
