#pragma once

#include "core/record/LookupKind.h"
#include "core/record/OleDateTime.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CIPAddressData;
class CIPDataArray;
class CLookupProgress;
class CRangeReuse;

// What "Lookup (With Options)" asks for: which rows, which kinds of lookup (several
// at once) and whether results younger than the rescan gap are kept.
struct CLookupChoice {
    enum ERows : int
    {
        rowsSelected = 0,
        rowsAll = 1,
        rowsNeverLookedUp = 2,
    };
    ERows m_eRows = rowsSelected;
    std::array<bool, kLookupKindCount> m_bKinds {true, false, false, false};
    bool m_bSkipFresh = true;

    bool AnyKind() const;
};

// A record that holds no result of any chosen kind.
bool IsNeverLookedUp(const CIPAddressData& record, const CLookupChoice& choice);

struct CQueueCounts {
    int m_nQueued = 0; // put in a waiting list (or waiting there already)
    int m_nFromKnownRange = 0; // whois answered at once from a fresh known range
    int m_nKept = 0; // a fresh result was kept
};

// Puts an address in a kind's waiting list unless a result younger than the gap
// (minutes) exists; true when it waits afterwards. The lookup session's Queue.
using LookupQueueFn = std::function<bool(int nKind, const std::string& strAddress, uint32_t nGapMinutes)>;

// Queues every address for every chosen kind through fnQueue. With rowsNeverLookedUp only the
// addresses whose records hold no result of the chosen kinds count. With
// m_bSkipFresh a fresh result is kept (a known host name always is); without it
// every address is asked again, and no known range answers. pReuse (may be null)
// answers whois from fresh known ranges and learns the waiting addresses;
// pProgress (may be null) counts what the run has to do. Linear in the number of
// addresses. UI thread only.
CQueueCounts QueueChosenLookups(CIPDataArray& data, const LookupQueueFn& fnQueue,
                                const std::vector<std::string>& addresses, const CLookupChoice& choice,
                                uint32_t nGapMinutes, const COleDateTime& dtNow, CRangeReuse* pReuse,
                                CLookupProgress* pProgress);
