#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class CIPAddressData;
struct CWhoisFacts;

// What the registries' published delegation files say of an address, known
// before any query: the registry that holds it, the country and when it was
// allocated or assigned.
struct CDelegationFacts {
    std::string m_strRegistry; // "ARIN", "RIPE", "APNIC", "LACNIC", "AFRINIC"
    std::string m_strCountry; // ISO 3166 code as the file gives it
    std::string m_strAllocated; // "2004-03-22", empty when the file gives no date
};

// The delegation facts of a record; nothing when the data is absent or does not cover it.
using DelegationFactsFn = std::function<std::optional<CDelegationFacts>(const CIPAddressData& record)>;

// Where the country shown for a record comes from: "answer" when the registry's
// answer names one, "delegation" when only the delegation data does, else empty.
inline std::string_view CountrySource(const std::string& strAnswerCountry, const std::optional<CDelegationFacts>& d)
{
    if (!strAnswerCountry.empty())
        return "answer";
    return d && !d->m_strCountry.empty() ? "delegation" : "";
}
