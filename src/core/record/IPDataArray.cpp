#include "core/record/IPDataArray.h"

#include "core/document/Archive.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Holes are compacted once there are this many and they make up half the slots.
constexpr size_t kMinHolesToCompact = 1024;

// Eight bytes at a time, the ASCII capitals of each word folded as FoldCase does:
// texts equal without regard to case hash alike.
uint32_t HashNoCase(std::string_view s)
{
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    uint64_t h = 0xcbf29ce484222325ull ^ s.size();
    const auto mix = [&h](uint64_t w) {
        // Per byte below 0x80: the top bit of low7 + 0x3F is set from 'A' on, that of
        // low7 + 0x25 from past 'Z' on; no byte carries into the next.
        const uint64_t low7 = w & (0x7F * kOnes);
        const uint64_t capitals = (low7 + 0x3F * kOnes) & ~(low7 + 0x25 * kOnes) & ~w & (0x80 * kOnes);
        h = (h ^ (w | capitals >> 2)) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 29;
    };
    const char* p = s.data();
    size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        mix(w);
    }
    if (n > 0) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        mix(w);
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return uint32_t(h);
}

} // namespace

CIPDataArray::~CIPDataArray()
{
    DeleteAll();
}

// ------------------------------------------------------------ index <-> slot

size_t CIPDataArray::SlotOfIndex(size_t nIndex) const
{
    if (m_nHoles == 0)
        return nIndex;
    // The slot holding the (nIndex+1)-th live record.
    size_t nPos = 0;
    size_t nRemaining = nIndex + 1;
    size_t nStep = 1;
    while (nStep * 2 < m_fenwick.size())
        nStep *= 2;
    for (; nStep > 0; nStep /= 2) {
        const size_t nNext = nPos + nStep;
        if (nNext < m_fenwick.size() && size_t(m_fenwick[nNext]) < nRemaining) {
            nPos = nNext;
            nRemaining -= size_t(m_fenwick[nNext]);
        }
    }
    return nPos; // 1-based position nPos + 1
}

size_t CIPDataArray::IndexOfSlot(size_t nSlot) const
{
    return m_nHoles == 0 ? nSlot : FenwickPrefix(nSlot);
}

void CIPDataArray::FenwickBuild()
{
    m_fenwick.assign(m_slots.size() + 1, 0);
    for (size_t i = 1; i < m_fenwick.size(); ++i)
        m_fenwick[i] = m_slots[i - 1] ? 1 : 0;
    for (size_t i = 1; i < m_fenwick.size(); ++i) {
        const size_t nParent = i + (i & (~i + 1));
        if (nParent < m_fenwick.size())
            m_fenwick[nParent] += m_fenwick[i];
    }
}

void CIPDataArray::FenwickAdd(size_t nSlot, int32_t nDelta)
{
    for (size_t i = nSlot + 1; i < m_fenwick.size(); i += i & (~i + 1))
        m_fenwick[i] += nDelta;
}

size_t CIPDataArray::FenwickPrefix(size_t nCount) const
{
    int64_t nSum = 0;
    for (size_t i = nCount; i > 0; i -= i & (~i + 1))
        nSum += m_fenwick[i];
    return size_t(nSum);
}

void CIPDataArray::FenwickAppend()
{
    // The new node covers (i - lowbit(i), i]: the live slots in that range before
    // it, plus itself.
    const size_t i = m_slots.size();
    const size_t nLow = i & (~i + 1);
    m_fenwick.push_back(int32_t(FenwickPrefix(i - 1) - FenwickPrefix(i - nLow) + 1));
}

// ------------------------------------------------------------ address index

size_t CIPDataArray::FindSlot(std::string_view strAddress) const
{
    // IPv6 records are keyed by their RFC 5952 text, whatever form the caller has;
    // an IPv4-mapped text finds the dotted one.
    // A text as it stands comes first: a damaged or foreign file may hold an IPv4
    // record whose text reads as an IPv6 address, and that record must stay findable.
    char szCanonical[CIPAddress::kMaxTextSize];
    if (strAddress.find(':') != std::string_view::npos) {
        if (const size_t nSlot = FindSlotOfKey(strAddress); nSlot != SIZE_MAX)
            return nSlot;
        if (const auto parsed = ParseIPAddress(strAddress))
            return FindSlotOfKey(std::string_view(szCanonical, parsed->Format(szCanonical)));
    }
    return FindSlotOfKey(strAddress);
}

size_t CIPDataArray::FindSlotOfKey(std::string_view strAddress) const
{
    if (strAddress.empty() || m_index.empty())
        return SIZE_MAX;
    const uint32_t nHash = HashNoCase(strAddress);
    const size_t nMask = m_index.size() - 1;
    // Only the first record of an address is indexed (see IndexRecord).
    for (size_t i = nHash & nMask; m_index[i] != 0; i = (i + 1) & nMask) {
        if (uint32_t(m_index[i] >> 32) != nHash)
            continue;
        const size_t nSlot = size_t(uint32_t(m_index[i])) - 1;
        if (EqualNoCase(m_slots[nSlot]->IPAddressView(), strAddress))
            return nSlot;
    }
    return SIZE_MAX;
}

void CIPDataArray::IndexRecord(size_t nSlot)
{
    // A file may repeat an address, or hold many empty ones. Only the first record
    // of an address goes into the index (it is the one every lookup finds), and
    // empty addresses never match: indexing the copies would pile them into one
    // probe run and make loading such a file quadratic.
    const CAddressText strAddress = m_slots[nSlot]->IPAddressView();
    if (strAddress.empty())
        return;
    IndexKey(nSlot, HashNoCase(strAddress));
}

void CIPDataArray::IndexKey(size_t nSlot, uint32_t nHash)
{
    // One walk along the probe run: an earlier record of the address ends it, else
    // the free entry it reaches is where the new one goes. The texts are compared
    // (an IPv6 one made) only where the hashes agree.
    const size_t nMask = m_index.size() - 1;
    size_t i = nHash & nMask;
    for (; m_index[i] != 0; i = (i + 1) & nMask) {
        if (uint32_t(m_index[i] >> 32) != nHash)
            continue;
        const size_t nOther = size_t(uint32_t(m_index[i])) - 1;
        if (EqualNoCase(m_slots[nOther]->IPAddressView(), m_slots[nSlot]->IPAddressView())) {
            ++m_nUnindexed;
            return;
        }
    }
    m_index[i] = (uint64_t(nHash) << 32) | uint64_t(nSlot + 1);
    ++m_nIndexed;
}

void CIPDataArray::IndexSlotsFrom(size_t nFirst, const std::vector<uint64_t>& keys)
{
    const size_t n = keys.size();
    size_t nCapacity = std::max<size_t>(64, m_index.size());
    while ((m_nIndexed + n) * 2 > nCapacity)
        nCapacity *= 2;
    if (nCapacity > m_index.size())
        IndexGrow(nCapacity);
    // In slot order (so the same records are indexed as one by one), each probe's
    // line fetched a few records ahead: a large file no longer waits on one cache
    // miss per record.
    constexpr size_t kAhead = 16;
    const size_t nMask = m_index.size() - 1;
    for (size_t k = 0; k < n; ++k) {
        if (k + kAhead < n)
            __builtin_prefetch(&m_index[uint32_t(keys[k + kAhead]) & nMask]);
        if (keys[k] & kIndexable)
            IndexKey(nFirst + k, uint32_t(keys[k]));
    }
}

void CIPDataArray::UnindexRecord(size_t nSlot)
{
    const CAddressText strAddress = m_slots[nSlot]->IPAddressView();
    if (strAddress.empty())
        return;
    if (FindSlotOfKey(strAddress) != nSlot) {
        --m_nUnindexed;
        return;
    }
    IndexErase(HashNoCase(strAddress), nSlot);
    if (m_nUnindexed == 0)
        return;
    // The next copy, if any, now stands first: copies always lie after the indexed one.
    for (size_t s = nSlot + 1; s < m_slots.size(); ++s) {
        if (m_slots[s] && EqualNoCase(m_slots[s]->IPAddressView(), strAddress)) {
            IndexInsert(HashNoCase(strAddress), s);
            --m_nUnindexed;
            return;
        }
    }
}

void CIPDataArray::IndexInsert(uint32_t nHash, size_t nSlot)
{
    const size_t nMask = m_index.size() - 1;
    size_t i = nHash & nMask;
    while (m_index[i] != 0)
        i = (i + 1) & nMask;
    m_index[i] = (uint64_t(nHash) << 32) | uint64_t(nSlot + 1);
    ++m_nIndexed;
}

void CIPDataArray::IndexErase(uint32_t nHash, size_t nSlot)
{
    const size_t nMask = m_index.size() - 1;
    const uint64_t nEntry = (uint64_t(nHash) << 32) | uint64_t(nSlot + 1);
    size_t i = nHash & nMask;
    while (m_index[i] != nEntry) {
        if (m_index[i] == 0)
            return;
        i = (i + 1) & nMask;
    }
    // Backward-shift deletion keeps every probe chain unbroken.
    for (size_t j = (i + 1) & nMask; m_index[j] != 0; j = (j + 1) & nMask) {
        const size_t nHome = size_t(m_index[j] >> 32) & nMask;
        const bool bMovable = (i <= j) ? (nHome <= i || nHome > j) : (nHome <= i && nHome > j);
        if (bMovable) {
            m_index[i] = m_index[j];
            i = j;
        }
    }
    m_index[i] = 0;
    --m_nIndexed;
}

void CIPDataArray::IndexRebuild(size_t nCapacity)
{
    m_index.assign(nCapacity, 0);
    m_nIndexed = 0;
    m_nUnindexed = 0;
    for (size_t s = 0; s < m_slots.size(); ++s)
        if (m_slots[s])
            IndexRecord(s);
}

void CIPDataArray::IndexGrow(size_t nCapacity)
{
    // The entries carry their hashes: growing never touches the records.
    std::vector<uint64_t> old(nCapacity, 0);
    old.swap(m_index);
    m_nIndexed = 0;
    const size_t nMask = m_index.size() - 1;
    for (uint64_t nEntry : old) {
        if (nEntry == 0)
            continue;
        size_t i = size_t(nEntry >> 32) & nMask;
        while (m_index[i] != 0)
            i = (i + 1) & nMask;
        m_index[i] = nEntry;
        ++m_nIndexed;
    }
}

void CIPDataArray::Reserve(size_t nRecords)
{
    m_slots.reserve(nRecords);
    size_t nCapacity = std::max<size_t>(64, m_index.size());
    while (nCapacity < nRecords * 2)
        nCapacity *= 2;
    if (nCapacity > m_index.size())
        IndexGrow(nCapacity);
}

// ------------------------------------------------------------ slots

void CIPDataArray::Append(CIPAddressData* pRecord)
{
    // Grown before the new slot exists, so the rebuild does not index it too.
    if ((m_nIndexed + 1) * 2 > m_index.size())
        IndexGrow(std::max<size_t>(64, m_index.size() * 2));
    m_slots.push_back(pRecord);
    if (m_nHoles > 0)
        FenwickAppend();
    ++m_nCount;
    IndexRecord(m_slots.size() - 1);
}

void CIPDataArray::RemoveSlot(size_t nSlot)
{
    delete DetachSlot(nSlot);
}

CIPAddressData* CIPDataArray::DetachSlot(size_t nSlot)
{
    CIPAddressData* pRecord = m_slots[nSlot];
    UnindexRecord(nSlot);
    if (m_pRecordCache)
        m_pRecordCache->Forget(pRecord);
    --m_nCount;
    DropSlot(nSlot);
    return pRecord;
}

void CIPDataArray::DropSlot(size_t nSlot)
{
    if (nSlot + 1 == m_slots.size() && m_nHoles == 0) {
        m_slots.pop_back();
        return;
    }
    m_slots[nSlot] = nullptr;
    if (m_nHoles++ == 0)
        FenwickBuild();
    else
        FenwickAdd(nSlot, -1);
    if (m_nHoles >= kMinHolesToCompact && m_nHoles * 2 >= m_slots.size())
        Compact();
}

void CIPDataArray::Compact()
{
    m_slots.erase(std::remove(m_slots.begin(), m_slots.end(), nullptr), m_slots.end());
    m_nHoles = 0;
    m_fenwick.clear();
    m_fenwick.shrink_to_fit();
    size_t nCapacity = 64;
    while (nCapacity < m_slots.size() * 2 + 2)
        nCapacity *= 2;
    IndexRebuild(nCapacity);
}

CIPAddressData* CIPDataArray::GetAt(int nIndex) const
{
    if (nIndex < 0 || size_t(nIndex) >= m_nCount)
        return nullptr;
    return m_slots[SlotOfIndex(size_t(nIndex))];
}

// ------------------------------------------------------------ by address

CIPAddressData* CIPDataArray::FindByIP(std::string_view strAddress) const
{
    const size_t nSlot = FindSlot(strAddress);
    return nSlot == SIZE_MAX ? nullptr : m_slots[nSlot];
}

int CIPDataArray::IndexOfIP(std::string_view strAddress) const
{
    const size_t nSlot = FindSlot(strAddress);
    return nSlot == SIZE_MAX ? -1 : int(IndexOfSlot(nSlot));
}

bool CIPDataArray::RemoveByIP(std::string_view strAddress)
{
    const size_t nSlot = FindSlot(strAddress);
    if (nSlot == SIZE_MAX)
        return false;
    RemoveSlot(nSlot);
    return true;
}

std::unique_ptr<CIPAddressData> CIPDataArray::TakeByIP(std::string_view strAddress)
{
    const size_t nSlot = FindSlot(strAddress);
    if (nSlot == SIZE_MAX)
        return nullptr;
    return std::unique_ptr<CIPAddressData>(DetachSlot(nSlot));
}

int CIPDataArray::RestoreAt(std::vector<std::pair<int, std::unique_ptr<CIPAddressData>>> records)
{
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (m_nHoles > 0)
        Compact();
    // One merge of the kept records and the returning ones: linear, however many come back.
    std::vector<CIPAddressData*> merged;
    merged.reserve(m_slots.size() + records.size());
    size_t nOld = 0;
    int nRestored = 0;
    for (auto& [nIndex, pRecord] : records) {
        // An address that is back meanwhile keeps its newer record.
        if (!pRecord || FindByIP(pRecord->IPAddressView()))
            continue;
        while (nOld < m_slots.size() && merged.size() < size_t(std::max(nIndex, 0)))
            merged.push_back(m_slots[nOld++]);
        merged.push_back(pRecord.release());
        ++nRestored;
    }
    while (nOld < m_slots.size())
        merged.push_back(m_slots[nOld++]);
    m_slots.swap(merged);
    m_nCount = m_slots.size();
    size_t nCapacity = 64;
    while (nCapacity < m_slots.size() * 2 + 2)
        nCapacity *= 2;
    IndexRebuild(nCapacity);
    return nRestored;
}

CIPAddressData* CIPDataArray::FindOrAdd(std::string_view strAddress)
{
    if (CIPAddressData* pFound = FindByIP(strAddress))
        return pFound;
    auto* pRecord = new CIPAddressData(strAddress);
    Append(pRecord);
    return pRecord;
}

void CIPDataArray::SetWhoisResult(std::string_view strAddress, std::string_view strWhois, const COleDateTime& dtWhen)
{
    CIPAddressData* pRecord = FindOrAdd(strAddress);
    pRecord->SetRawWhois(strWhois);
    if (m_pRecordCache)
        m_pRecordCache->Forget(pRecord);
    pRecord->SetWhoisDone(dtWhen);
}

bool CIPDataArray::SetHostNameResult(std::string_view strAddress, std::string_view strHostName)
{
    CIPAddressData* pRecord = FindByIP(strAddress);
    if (!pRecord)
        return false;
    pRecord->SetHostName(strHostName);
    return true;
}

bool CIPDataArray::SetPingResult(std::string_view strAddress, double dAverage, uint32_t nFailures, uint32_t nTries,
                                 const COleDateTime& dtNow)
{
    CIPAddressData* pRecord = FindByIP(strAddress);
    if (!pRecord)
        return false;
    pRecord->SetPingTries(nTries);
    pRecord->SetPingFailures(nFailures);
    pRecord->SetPingTime(std::trunc(dAverage));
    pRecord->SetPingDone(dtNow);
    return true;
}

bool CIPDataArray::SetTraceResult(std::string_view strAddress, std::string_view strTrace, const COleDateTime& dtNow)
{
    CIPAddressData* pRecord = FindByIP(strAddress);
    if (!pRecord)
        return false;
    pRecord->SetTraceData(strTrace);
    pRecord->SetTraceDone(dtNow);
    return true;
}

bool CIPDataArray::SetNoteByIP(std::string_view strAddress, int nIndex, std::string_view strText)
{
    CIPAddressData* pRecord = FindByIP(strAddress);
    if (!pRecord || nIndex < 0 || nIndex > 3)
        return false;
    pRecord->SetNote(nIndex, strText);
    return true;
}

bool CIPDataArray::ReExtract(std::string_view strAddress)
{
    CIPAddressData* pRecord = FindByIP(strAddress);
    return pRecord && pRecord->ExtractWhoisFields();
}

std::string CIPDataArray::GetRawWhois(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetRawWhois() : std::string();
}

std::string CIPDataArray::GetOwner(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetOwner() : std::string();
}

std::string CIPDataArray::GetCountry(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetCountry() : std::string();
}

std::string CIPDataArray::GetHostName(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetHostName() : std::string();
}

std::string CIPDataArray::GetRangeText(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetRangeText() : std::string();
}

std::string CIPDataArray::GetPingText(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetPingText() : std::string();
}

std::string CIPDataArray::GetNote(std::string_view strAddress, int nIndex) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetNote(nIndex) : std::string();
}

std::string CIPDataArray::GetTraceText(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetTraceData() : std::string();
}

COleDateTime CIPDataArray::GetWhoisTime(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetWhoisDone() : COleDateTime();
}

COleDateTime CIPDataArray::GetTraceTime(std::string_view strAddress) const
{
    const CIPAddressData* p = FindByIP(strAddress);
    return p ? p->GetTraceDone() : COleDateTime();
}

// ------------------------------------------------------------ by index

std::string CIPDataArray::GetIPAddressAt(int nIndex) const
{
    const CIPAddressData* p = GetAt(nIndex);
    return p ? p->GetIPAddress() : std::string();
}

std::string CIPDataArray::GetRawWhoisAt(int nIndex) const
{
    const CIPAddressData* p = GetAt(nIndex);
    return p ? p->GetRawWhois() : std::string();
}

std::string CIPDataArray::GetTraceTextAt(int nIndex) const
{
    const CIPAddressData* p = GetAt(nIndex);
    return p ? p->GetTraceData() : std::string();
}

uint32_t CIPDataArray::GetIPAddressNumberAt(int nIndex) const
{
    const CIPAddressData* p = GetAt(nIndex);
    return p ? p->GetIPAddressNumber() : 0;
}

int CIPDataArray::IndexOfRecord(const CIPAddressData* pRecord) const
{
    // Compares pointers only: a pointer that is not (or no longer) ours is never
    // dereferenced.
    if (!pRecord)
        return -1;
    auto it = std::find(m_slots.begin(), m_slots.end(), pRecord);
    if (it == m_slots.end())
        return -1;
    return int(IndexOfSlot(size_t(it - m_slots.begin())));
}

// ------------------------------------------------------------ whole collection

void CIPDataArray::DeleteAll()
{
    for (auto it = m_slots.rbegin(); it != m_slots.rend(); ++it)
        delete *it;
    if (m_pRecordCache)
        m_pRecordCache->Clear();
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_fenwick.clear();
    m_fenwick.shrink_to_fit();
    m_index.clear();
    m_index.shrink_to_fit();
    m_nIndexed = 0;
    m_nUnindexed = 0;
    m_nCount = 0;
    m_nHoles = 0;
}

bool CIPDataArray::HasPending() const
{
    for (int k = 0; k < kLookupKindCount; ++k)
        if (!m_waiting[k].IsEmpty() || !m_running[k].empty())
            return true;
    return false;
}

bool CIPDataArray::ClearPending(int nKind)
{
    if (!HasPending() || nKind < 0 || nKind >= kLookupKindCount)
        return false;
    m_waiting[nKind].RemoveAll();
    m_running[nKind].clear();
    return true;
}

bool CIPDataArray::ClearAllPending()
{
    if (!HasPending())
        return false;
    for (int k = 0; k < kLookupKindCount; ++k)
        ClearPending(k);
    return true;
}

// ------------------------------------------------------------ file

void CIPDataArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        // IPv4 records first, in their order, then the IPv6 ones: a reader that
        // knows only the IPv4 class keeps every IPv4 record. A document without IPv6
        // records is written as it always was.
        ar.WriteU32(uint32_t(m_nCount));
        bool bHasIPv6 = false;
        for (CIPAddressData* pRecord : m_slots) {
            if (!pRecord)
                continue;
            if (pRecord->IsIPv6()) {
                bHasIPv6 = true;
                continue;
            }
            ar.WriteObjectClass(CArchiveClass::classCIPAddressData);
            pRecord->Serialize(ar);
        }
        if (!bHasIPv6)
            return;
        for (CIPAddressData* pRecord : m_slots) {
            if (!pRecord || !pRecord->IsIPv6())
                continue;
            ar.WriteObjectClass(CArchiveClass::classCIPv6AddressData);
            pRecord->Serialize(ar);
        }
        return;
    }

    DeleteAll();
    uint32_t nCount = 0;
    try {
        nCount = ar.ReadU32();
    } catch (const CArchiveException& e) {
        ar.ReportError(e);
        nCount = 0;
    }
    // Reserve only what the remaining bytes could hold: an entry is at least a
    // 2-byte tag and a record's fields.
    Reserve(size_t(std::min<uint64_t>(nCount, ar.Remaining() / 112)));
    std::vector<uint64_t> keys;
    keys.reserve(m_slots.capacity());
    for (uint32_t i = 0; i < nCount; ++i) {
        const CArchiveClass* pClass = nullptr;
        try {
            pClass = ar.ReadObjectClass(CArchiveClass::classCObject);
            if (!pClass) {
                // The writer never produces a null entry; what was read so far is
                // kept rather than thrown away.
                throw CArchiveException(CArchiveException::badIndex);
            }
            if (pClass != &CArchiveClass::classCIPAddressData && pClass != &CArchiveClass::classCIPv6AddressData)
                throw CArchiveException(CArchiveException::badClass);
        } catch (const CArchiveException& e) {
            ar.ReportError(e);
            break;
        }
        auto* pRecord = new CIPAddressData;
        if (pClass == &CArchiveClass::classCIPv6AddressData)
            pRecord->SerializeIPv6(ar);
        else
            pRecord->Serialize(ar);
        m_slots.push_back(pRecord);
        ++m_nCount;
        // Hashed while the record is at hand; an empty text is never indexed.
        const CAddressText key = pRecord->IPAddressView();
        keys.push_back(key.empty() ? 0 : kIndexable | HashNoCase(key));
    }
    // Indexed all at once, which is much faster for a large file than record by record.
    IndexSlotsFrom(0, keys);
}
