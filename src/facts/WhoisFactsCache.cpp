#include "facts/WhoisFactsCache.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPAddress.h"
#include "core/record/IPAddressData.h"

CWhoisFactsCache& CWhoisFactsCache::Attach(const CIPDataArray& data)
{
    auto pCache = std::make_unique<CWhoisFactsCache>();
    CWhoisFactsCache& cache = *pCache;
    data.AttachRecordCache(std::move(pCache));
    return cache;
}

CWhoisFactsCache::CEntry* CWhoisFactsCache::Find(const CIPAddressData& record)
{
    const uint32_t nSlot = record.GetCacheSlot();
    if (nSlot == 0 || nSlot > m_entries.size())
        return nullptr;
    CEntry& entry = m_entries[nSlot - 1];
    return entry.pRecord == &record ? &entry : nullptr;
}

const CWhoisFacts& CWhoisFactsCache::Get(const CIPAddressData& record)
{
    static const CWhoisFacts kNone;
    const std::string_view text = record.RawWhoisView();
    if (text.empty()) {
        Forget(&record);
        return kNone;
    }
    CEntry* pEntry = Find(record);
    if (!pEntry) {
        uint32_t nSlot;
        if (!m_free.empty()) {
            nSlot = m_free.back();
            m_free.pop_back();
        } else {
            m_entries.emplace_back();
            nSlot = uint32_t(m_entries.size());
        }
        pEntry = &m_entries[nSlot - 1];
        pEntry->pRecord = &record;
        pEntry->pText = nullptr;
        record.SetCacheSlot(nSlot);
        ++m_nCount;
    }
    if (pEntry->pText != text.data() || pEntry->nSize != text.size()) {
        const CAddressText strAddress = record.IPAddressView();
        if (IsValidDottedQuad(strAddress)) {
            pEntry->facts = ReadWhoisFacts(text, ParseDottedQuad(strAddress));
        } else if (const CParseResult<CIPAddress> address = ParseIPAddress(strAddress)) {
            // An IPv6 record: its networks are chosen for its own address.
            pEntry->facts = ReadWhoisFacts(text, *address);
        } else {
            pEntry->facts = ReadWhoisFacts(text, std::nullopt);
        }
        pEntry->pText = text.data();
        pEntry->nSize = text.size();
    }
    return pEntry->facts;
}

void CWhoisFactsCache::Prefetch(const CIPAddressData& record) const
{
    const uint32_t nSlot = record.GetCacheSlot();
    if (nSlot == 0 || nSlot > m_entries.size())
        return;
    const CEntry* pEntry = &m_entries[nSlot - 1];
    // The entry's head and the texts a table reads, which lie further in.
    __builtin_prefetch(pEntry);
    __builtin_prefetch(&pEntry->facts.m_strCountry);
    __builtin_prefetch(&pEntry->facts.m_strAbuse);
}

void CWhoisFactsCache::PrefetchTexts(const CIPAddressData& record) const
{
    const uint32_t nSlot = record.GetCacheSlot();
    if (nSlot == 0 || nSlot > m_entries.size())
        return;
    const CWhoisFacts& facts = m_entries[nSlot - 1].facts;
    __builtin_prefetch(facts.m_strHolder.data());
    __builtin_prefetch(facts.m_strAbuse.data());
}

void CWhoisFactsCache::Forget(const CIPAddressData* pRecord)
{
    CEntry* pEntry = pRecord ? Find(*pRecord) : nullptr;
    if (!pEntry)
        return;
    m_free.push_back(pRecord->GetCacheSlot());
    *pEntry = CEntry();
    pRecord->SetCacheSlot(0);
    --m_nCount;
}

void CWhoisFactsCache::Clear()
{
    // Records keep their slot numbers; no entry names them any more.
    m_entries.clear();
    m_free.clear();
    m_nCount = 0;
}
