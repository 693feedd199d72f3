#pragma once

#include "cache/CacheResult.h"
#include "cache/DelegationIndex.h"

#include <cstdint>
#include <string>
#include <vector>

class CCacheDatabase;
struct CDelegationFile;

// What was last imported for a registry.
struct CDelegationImport {
    std::string m_strRegistry;
    std::string m_strSerial;
    int64_t m_nRecords = 0;
    int64_t m_nImported = 0; // Unix seconds
};

struct CDelegationIndexResult {
    CDelegationIndex m_index;
    std::string m_strError;
};

// The delegation blocks in the cache file, one table for IPv4 and IPv6. A
// registry's blocks are replaced only by a whole file, in one transaction: a
// failed import leaves the previous ones.
class CDelegationStore
{
public:
    explicit CDelegationStore(CCacheDatabase& db)
        : m_db(db)
    { }

    // The file's registry's blocks replaced by the file's. The file must have been read
    // (and checked by the caller).
    CCacheResult Replace(const CDelegationFile& file, int64_t nNow);
    std::vector<CDelegationImport> Imports();
    CDelegationIndexResult LoadIndex();

private:
    CCacheDatabase& m_db;
};
