#pragma once

#include "cache/DelegationIndex.h"
#include "facts/DelegationFacts.h"

#include <optional>
#include <string>
#include <utility>

class CCacheDatabase;
class CIPAddressData;

// The delegation data of the cache file held in memory for the front ends: the
// registry, country and allocation date of any address without a query.
class CDelegationLookup
{
public:
    // Loads the blocks the file holds (none: the lookup stays empty). The error
    // text when they could not be read; empty otherwise.
    std::string Load(CCacheDatabase& db);
    // Blocks from elsewhere (a finished index).
    void Assign(CDelegationIndex index) { m_index = std::move(index); }
    bool IsEmpty() const { return m_index.Size() == 0; }

    std::optional<CDelegationFacts> Find(const std::string& strAddress) const;
    std::optional<CDelegationFacts> Find(const CIPAddressData& record) const;
    // A function for the tables and exports; it refers to this lookup.
    DelegationFactsFn Function() const;

    // "ripencc" -> "RIPE", "arin" -> "ARIN": the names the whois side uses.
    static std::string RegistryName(const std::string& strFileName);

private:
    CDelegationIndex m_index;
};
