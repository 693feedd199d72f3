#pragma once

#include "core/record/IPDataArray.h"
#include "core/record/RecordCache.h"
#include "facts/WhoisFacts.h"

#include <cstdint>
#include <deque>
#include <vector>

// The facts of each record's whois text, read on first use and kept until the
// text changes, so that a list repainting thousands of rows reads every answer
// once. Records without a whois text take no entry. Each record notes the slot of
// its entry, so finding the facts of a million records in turn (a sort, a filter)
// costs one look at the entry each, not a hash lookup. A collection keeps one as
// its record cache (see GetWhoisFacts below).
class CWhoisFactsCache : public CRecordCache
{
public:
    // The cache attached to the collection, attached on first use. The facts layer
    // is the only one that attaches a record cache.
    static CWhoisFactsCache& Of(const CIPDataArray& data)
    {
        CRecordCache* pCache = data.GetRecordCache();
        if (!pCache) [[unlikely]]
            return Attach(data);
        return static_cast<CWhoisFactsCache&>(*pCache);
    }

    // The record's facts; empty facts for a record without whois text. The
    // reference stays valid until the record's entry is forgotten or the text
    // changes: entries never move.
    const CWhoisFacts& Get(const CIPAddressData& record);
    // Drops the record's entry: its text changed or the record is deleted.
    void Forget(const CIPAddressData* pRecord) override;
    void Clear() override;
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
    static CWhoisFactsCache& Attach(const CIPDataArray& data);

    std::deque<CEntry> m_entries;
    std::vector<uint32_t> m_free;
    size_t m_nCount = 0;
};

// The facts read from the record's whois text, computed once per text.
inline const CWhoisFacts& GetWhoisFacts(const CIPDataArray& data, const CIPAddressData& record)
{
    return CWhoisFactsCache::Of(data).Get(record);
}
// A hint that the record's facts are wanted soon (a scan over many records).
inline void PrefetchWhoisFacts(const CIPDataArray& data, const CIPAddressData& record)
{
    CWhoisFactsCache::Of(data).Prefetch(record);
}
inline void PrefetchWhoisTexts(const CIPDataArray& data, const CIPAddressData& record)
{
    CWhoisFactsCache::Of(data).PrefetchTexts(record);
}
