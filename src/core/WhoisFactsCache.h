#pragma once

#include "core/WhoisFacts.h"

#include <unordered_map>

class CIPAddressData;

// The facts of each record's whois text, read on first use and kept until the
// text changes, so that a list repainting thousands of rows reads every answer
// once. Records without a whois text take no entry.
class CWhoisFactsCache
{
public:
    // The record's facts; empty facts for a record without whois text. The
    // reference stays valid until the next call on this cache.
    const CWhoisFacts& Get(const CIPAddressData& record);
    // Drops the record's entry: its text changed or the record is deleted.
    void Forget(const CIPAddressData* pRecord) { m_entries.erase(pRecord); }
    void Clear() { m_entries.clear(); }
    size_t GetCount() const { return m_entries.size(); }

private:
    struct CEntry {
        // The text the facts were read from; a different buffer means a new text.
        const char* pText = nullptr;
        size_t nSize = 0;
        CWhoisFacts facts;
    };
    std::unordered_map<const CIPAddressData*, CEntry> m_entries;
};
