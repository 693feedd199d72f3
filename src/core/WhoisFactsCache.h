#pragma once

#include "core/WhoisFacts.h"

#include <cstdint>
#include <deque>
#include <vector>

class CIPAddressData;

// The facts of each record's whois text, read on first use and kept until the
// text changes, so that a list repainting thousands of rows reads every answer
// once. Records without a whois text take no entry. Each record notes the slot of
// its entry, so finding the facts of a million records in turn (a sort, a filter)
// costs one look at the entry each, not a hash lookup.
class CWhoisFactsCache
{
public:
    // The record's facts; empty facts for a record without whois text. The
    // reference stays valid until the record's entry is forgotten or the text
    // changes: entries never move.
    const CWhoisFacts& Get(const CIPAddressData& record);
    // Drops the record's entry: its text changed or the record is deleted.
    void Forget(const CIPAddressData* pRecord);
    void Clear();
    size_t GetCount() const { return m_nCount; }
    // Start loading the record's entry, or (once the entry is loaded) the texts it
    // points to, into the processor cache; they change nothing.
    void Prefetch(const CIPAddressData& record) const;
    void PrefetchTexts(const CIPAddressData& record) const;

private:
    struct CEntry {
        // The owner, checked on every use: a slot noted in a record may have been
        // forgotten and given to another record since.
        const CIPAddressData* pRecord = nullptr;
        // The text the facts were read from; a different buffer means a new text.
        const char* pText = nullptr;
        size_t nSize = 0;
        CWhoisFacts facts;
    };
    CEntry* Find(const CIPAddressData& record);

    std::deque<CEntry> m_entries;
    std::vector<uint32_t> m_free;
    size_t m_nCount = 0;
};
