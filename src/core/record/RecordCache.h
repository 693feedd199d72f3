#pragma once

class CIPAddressData;

// What a layer above keeps beside each record of a collection (the facts read from
// its whois text), found through the record's cache slot: an opaque number the
// cache assigns. The collection owns the cache without knowing what it holds, and
// tells it when a record's whois text changes or the record goes.
class CRecordCache
{
public:
    virtual ~CRecordCache() = default;
    // The record's text changed or the record is about to be deleted.
    virtual void Forget(const CIPAddressData* pRecord) = 0;
    // Every record is about to be deleted.
    virtual void Clear() = 0;
};
