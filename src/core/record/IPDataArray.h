#pragma once

#include "core/record/IPAddressData.h"
#include "core/record/LookupKind.h"
#include "core/record/OleDateTime.h"
#include "core/record/RecordCache.h"
#include "core/record/SerStringArray.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CArchive;
class CLookupJob;

// The document's records in the order they were added, unique by address text
// (compared without regard to ASCII case, as the texts stand: 10.0.0.1 and
// 010.0.0.1 are different records), plus a waiting and a running list per lookup
// kind. The collection owns its records; it never owns or deletes jobs.
//
// Lookups by address go through a hash index beside the list. Removal leaves a
// hole in the slot list and a Fenwick tree over the live slots maps index <-> slot
// in O(log n) until the holes are compacted away, so deleting many records spread
// over a large collection stays fast.
class CIPDataArray
{
public:
    CIPDataArray() = default;
    ~CIPDataArray();
    CIPDataArray(const CIPDataArray&) = delete;
    CIPDataArray& operator=(const CIPDataArray&) = delete;

    int GetSize() const { return int(m_nCount); }
    bool IsEmpty() const { return m_nCount == 0; }
    // The record at an index, nullptr outside 0..size-1.
    CIPAddressData* GetAt(int nIndex) const;

    // ---- by address (an empty text never matches; the first match counts) ----
    CIPAddressData* FindByIP(std::string_view strAddress) const;
    int IndexOfIP(std::string_view strAddress) const;
    bool RemoveByIP(std::string_view strAddress);
    // Takes the record out without deleting it, so that a deletion can be undone;
    // null when the address has none.
    std::unique_ptr<CIPAddressData> TakeByIP(std::string_view strAddress);
    // Puts taken records back, each at the index it had (indexes of one collection,
    // before any was taken). A record whose address has a record again is dropped:
    // the newer one stays. Returns the number put back.
    int RestoreAt(std::vector<std::pair<int, std::unique_ptr<CIPAddressData>>> records);
    CIPAddressData* FindOrAdd(std::string_view strAddress);

    // The only result setter that creates a record.
    void SetWhoisResult(std::string_view strAddress, std::string_view strWhois, const COleDateTime& dtWhen);
    bool SetHostNameResult(std::string_view strAddress, std::string_view strHostName);
    // The average is stored truncated toward zero; the time is the clock's now.
    bool SetPingResult(std::string_view strAddress, double dAverage, uint32_t nFailures, uint32_t nTries,
                       const COleDateTime& dtNow);
    bool SetTraceResult(std::string_view strAddress, std::string_view strTrace, const COleDateTime& dtNow);
    bool SetNoteByIP(std::string_view strAddress, int nIndex, std::string_view strText);
    bool ReExtract(std::string_view strAddress);

    std::string GetRawWhois(std::string_view strAddress) const;
    // The cache a layer above keeps per record (the facts layer's); null until one
    // is attached. It learns of every changed whois text and deleted record.
    CRecordCache* GetRecordCache() const { return m_pRecordCache.get(); }
    void AttachRecordCache(std::unique_ptr<CRecordCache> pCache) const { m_pRecordCache = std::move(pCache); }
    std::string GetOwner(std::string_view strAddress) const;
    std::string GetCountry(std::string_view strAddress) const;
    std::string GetHostName(std::string_view strAddress) const;
    std::string GetRangeText(std::string_view strAddress) const;
    std::string GetPingText(std::string_view strAddress) const;
    std::string GetNote(std::string_view strAddress, int nIndex) const;
    std::string GetTraceText(std::string_view strAddress) const;
    COleDateTime GetWhoisTime(std::string_view strAddress) const;
    COleDateTime GetTraceTime(std::string_view strAddress) const;

    // ---- by index (outside 0..size-1: empty, 0 or -1) ----
    std::string GetIPAddressAt(int nIndex) const;
    std::string GetRawWhoisAt(int nIndex) const;
    std::string GetTraceTextAt(int nIndex) const;
    uint32_t GetIPAddressNumberAt(int nIndex) const;
    int IndexOfRecord(const CIPAddressData* pRecord) const;

    // ---- whole collection ----
    void DeleteAll();
    bool HasPending() const;
    bool ClearPending(int nKind);
    bool ClearAllPending();

    // Per-kind lists, nKind 0..3 (LookupKind).
    CSerStringArray& GetWaitingList(int nKind) { return m_waiting[nKind]; }
    const CSerStringArray& GetWaitingList(int nKind) const { return m_waiting[nKind]; }
    std::vector<CLookupJob*>& GetRunningList(int nKind) { return m_running[nKind]; }
    const std::vector<CLookupJob*>& GetRunningList(int nKind) const { return m_running[nKind]; }

    // ---- lookup queueing and finishing (IPDataArrayJobs.cpp), UI thread only ----
    // Each Queue* puts the address in its kind's waiting list unless the record's
    // result of that kind is younger than nGapMinutes (whois, ping, traceroute) or
    // its host name is already known; true when the address waits afterwards.
    bool QueueWhoisLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow);
    // Whether the record holds a whois text younger than nGapMinutes (the test the
    // whois queueing makes).
    bool HasFreshWhois(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow) const;
    bool QueueHostNameLookup(std::string_view strAddress);
    bool QueuePingLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow);
    bool QueueTraceLookup(std::string_view strAddress, uint32_t nGapMinutes, const COleDateTime& dtNow);

    // Takes the results out of a finished job and deletes it, whether or not its
    // running list still holds it (Stop empties the lists without deleting jobs).
    // False for a null job; whois: false for an empty text, whose address goes back
    // to the end of the waiting list; host name: false for an empty name.
    bool FinishWhoisJob(CLookupJob* pJob, std::string& strAddress, std::string& strWhois);
    bool FinishHostNameJob(CLookupJob* pJob, std::string& strAddress, std::string& strHostName);
    bool FinishPingJob(CLookupJob* pJob, std::string& strAddress, double& dAverage, int& nFailures, int& nTries);
    bool FinishTraceJob(CLookupJob* pJob, std::string& strAddress, std::string& strTrace);
    // Removes the first slot holding the job and deletes it; false (nothing
    // deleted) when the list does not hold it.
    static bool RemoveAndDeleteJob(std::vector<CLookupJob*>& list, CLookupJob* pJob);

    // Copied into every new traceroute job: the "Trace Host Lookup" setting.
    bool GetResolveTraceHops() const { return m_bResolveTraceHops; }
    void SetResolveTraceHops(bool bResolve) { m_bResolveTraceHops = bResolve; }

    // The count and the records as archived objects. Reading errors are reported
    // through the archive; what was read stays.
    void Serialize(CArchive& ar);

private:
    size_t SlotOfIndex(size_t nIndex) const;
    size_t IndexOfSlot(size_t nSlot) const;
    void Append(CIPAddressData* pRecord);
    void RemoveSlot(size_t nSlot);
    CIPAddressData* DetachSlot(size_t nSlot);
    void DropSlot(size_t nSlot);
    void Compact();

    // Fenwick tree over live slots (1-based), only while there are holes.
    void FenwickBuild();
    void FenwickAdd(size_t nSlot, int32_t nDelta);
    void FenwickAppend();
    size_t FenwickPrefix(size_t nCount) const;

    // Address index: open addressing, linear probing; each entry holds the key's
    // hash (high half) and slot + 1 (low half), 0 when free.
    size_t FindSlot(std::string_view strAddress) const;
    // The same for a record's own key text (no other form of it is tried).
    size_t FindSlotOfKey(std::string_view strAddress) const;
    void IndexInsert(uint32_t nHash, size_t nSlot);
    void IndexErase(uint32_t nHash, size_t nSlot);
    void IndexRecord(size_t nSlot);
    // Indexes a record whose key text (not empty) has this hash.
    void IndexKey(size_t nSlot, uint32_t nHash);
    // Indexes the records of the slots from nFirst on, appended without indexing;
    // keys holds each one's hash, with kIndexable unless its text is empty.
    static constexpr uint64_t kIndexable = uint64_t(1) << 32;
    void IndexSlotsFrom(size_t nFirst, const std::vector<uint64_t>& keys);
    void UnindexRecord(size_t nSlot);
    void IndexRebuild(size_t nCapacity);
    void IndexGrow(size_t nCapacity);
    void Reserve(size_t nRecords);

    std::vector<CIPAddressData*> m_slots;
    size_t m_nCount = 0;
    size_t m_nHoles = 0;
    std::vector<int32_t> m_fenwick;
    std::vector<uint64_t> m_index;
    size_t m_nIndexed = 0;
    size_t m_nUnindexed = 0; // records that repeat the address of an earlier one

    CSerStringArray m_waiting[kLookupKindCount];
    std::vector<CLookupJob*> m_running[kLookupKindCount];
    bool m_bResolveTraceHops = false;
    mutable std::unique_ptr<CRecordCache> m_pRecordCache;
};
