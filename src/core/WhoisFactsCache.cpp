#include "core/WhoisFactsCache.h"

#include "core/DottedQuad.h"
#include "core/IPAddressData.h"

const CWhoisFacts& CWhoisFactsCache::Get(const CIPAddressData& record)
{
    static const CWhoisFacts kNone;
    const std::string_view text = record.RawWhoisView();
    if (text.empty()) {
        m_entries.erase(&record);
        return kNone;
    }
    CEntry& entry = m_entries[&record];
    if (entry.pText != text.data() || entry.nSize != text.size()) {
        std::optional<uint32_t> dwAddress;
        if (IsValidDottedQuad(record.IPAddressView()))
            dwAddress = ParseDottedQuad(record.IPAddressView());
        entry.facts = ReadWhoisFacts(text, dwAddress);
        entry.pText = text.data();
        entry.nSize = text.size();
    }
    return entry.facts;
}
