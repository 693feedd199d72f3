#pragma once

#include <cstdint>
#include <string_view>

class CLookupJob;
class CNetloreDoc;
struct CConnSettings;
struct CWorkerEnvironment;

// One kind of lookup as the session runs it: everything that differs between
// whois, host name, ping and traceroute. Adding a kind is one row in the table
// (LookupKindTable.cpp) plus the document's queue and merge for it.
struct CLookupKindRow {
    int m_nKind = 0;
    // Its name on the command line and in progress texts.
    const char* m_pszName = "";
    // The completion code its jobs carry back to the UI thread.
    int m_nCode = 0;
    // Puts the address in the kind's waiting list unless a result younger than the
    // gap (minutes) exists; true when queued.
    bool (*m_pfnQueue)(CNetloreDoc& doc, std::string_view strAddress, uint32_t nGapMinutes) = nullptr;
    // How many of its jobs may run at once.
    int CConnSettings::*m_pnLimit = nullptr;
    // Seconds to wait after the last result of the kind before the next start; null: none.
    int CConnSettings::*m_pnInterval = nullptr;
    // The blocking procedure a worker thread runs for one job.
    int (*m_pfnWorker)(CLookupJob* pJob, const CWorkerEnvironment& env) = nullptr;
    // The document's merge of a finished job; deletes the job, true when stored.
    bool (CNetloreDoc::*m_pfnMerge)(CLookupJob* pJob) = nullptr;
    // Whether a finished job found nothing; read before the merge deletes it.
    bool (*m_pfnFailed)(const CLookupJob& job) = nullptr;
    // Whether the merge puts an address that found nothing back in the waiting
    // list, so that the session's give-up rule applies to it.
    bool m_bRetriesEmpty = false;
};

// The row of a kind, null for a number that is no kind.
const CLookupKindRow* LookupKindRow(int nKind);
// The row of a completion code, null for an unknown code.
const CLookupKindRow* LookupKindOfCode(int nCode);
// The row named so ("whois", "host", "ping", "trace"), null for none.
const CLookupKindRow* LookupKindNamed(std::string_view strName);
