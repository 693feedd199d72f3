#pragma once

#include "core/document/Archive.h"
#include "core/record/IPDataArray.h"
#include "core/record/OleDateTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CClock;
struct CImportTally;
class CDocumentHost;
class CLookupJob;
class CNameResolver;
class CProgress;
class CTextSource;
class CViewNotifier;

// The single document: the record collection, the current record, the modified
// flag, path and title, the document file, and the one place where lookup results
// are stored into records. Platform services come in through the seams: views are
// told about changes through CViewNotifier, the host window through CDocumentHost, the time of a result comes from CClock.
class CNetloreDoc
{
public:
    // The document type: window title, document name, new-file name, filter name,
    // extension, registry file type, registry type name.
    static constexpr const char* kDocTemplate =
        "Quaddle\n\nQuaddle\nQuaddle Files (*.qdl)\n.qdl\nQuaddle.Document\nQuaddle.Document";
    static constexpr const char* kMsgFailedToOpen = "Failed to open document.";
    static constexpr const char* kMsgFailedToSave = "Failed to save document.";
    static constexpr const char* kMsgSaveChanges = "Save changes to %1?";

    // pClock may be null: the system clock is used.
    explicit CNetloreDoc(const CClock* pClock = nullptr);
    ~CNetloreDoc();
    CNetloreDoc(const CNetloreDoc&) = delete;
    CNetloreDoc& operator=(const CNetloreDoc&) = delete;

    void SetViewNotifier(CViewNotifier* pViews) { m_pViews = pViews; }
    void SetHost(CDocumentHost* pHost) { m_pHost = pHost; }
    void SetClock(const CClock* pClock);

    CIPDataArray& GetData() { return m_data; }
    const CIPDataArray& GetData() const { return m_data; }
    int GetCurrentIndex() const { return m_nCurrent; }
    void SetCurrentIndex(int nIndex) { m_nCurrent = nIndex; }

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true)
    {
        m_bModified = bModified;
        ++m_nChangeCount;
    }
    // Grows with every setting of the modified flag: an undo tells by it whether
    // anything changed the document since.
    uint64_t GetChangeCount() const { return m_nChangeCount; }
    // Changes whenever the document is new, opened or closed.
    uint64_t GetContentsId() const { return m_nContentsId; }
    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& strPath) { m_strPathName = strPath; }
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& strTitle) { m_strTitle = strTitle; }
    // Title = the path after its last separator ("\\", and "/" here as well).
    void RefreshTitle();

    // Update-all-views with the address as hint; nullptr redraws everything.
    void UpdateAllViews(const std::string* pHint);

    // ---- record operations: data only; callers mark modified and update views ----
    bool AddIP(std::string_view strAddress);
    bool AddIPWithHostName(std::string_view strAddress, std::string_view strHostName);
    bool SetHostName(std::string_view strAddress, std::string_view strHostName);
    void SelectIP(std::string_view strAddress);
    bool DeleteIP(std::string_view strAddress);
    bool SetLogNote(std::string_view strAddress, std::string_view strText);
    void SetWhoisText(std::string_view strAddress, std::string_view strText);
    std::string GetTraceText(std::string_view strAddress) const;
    COleDateTime GetTraceTime(std::string_view strAddress) const;
    std::string GetCurrentWhoisText() const;
    bool HasPendingLookups() const { return m_data.HasPending(); }

    // ---- batches of addresses in, whois texts out (NetloreDocAddText.cpp, NetloreDocReport.cpp) ----
    // Adds the address of every line of strText (one token per line, see the .cpp)
    // and returns the number of records added. With pstrPatterns only the lines that
    // match a pattern count, and the matched request becomes the record's log note;
    // nullptr means no filtering (an empty list matches nothing). When exactly one
    // record was added, strText is replaced by the last accepted token.
    int AddIPsFromText(std::string& strText, bool bConvertHostNames, const std::string* pstrPatterns,
                       CNameResolver& resolver, CProgress& progress);
    // The same for a text read piece by piece: the same records, notes and count, in
    // memory that does not grow with the text (only its longest line is held; a line
    // over kMaxSourceLine bytes keeps its first kMaxSourceLine, and the bytes dropped
    // are counted in *pnBytesDropped when given). Progress follows the source.
    // *pTally, when given, receives what the lines gave (ImportTally.h).
    static constexpr size_t kMaxSourceLine = size_t(16) << 20;
    int AddIPsFromSource(CTextSource& source, bool bConvertHostNames, const std::string* pstrPatterns,
                         CNameResolver& resolver, CProgress& progress, uint64_t* pnBytesDropped = nullptr,
                         CImportTally* pTally = nullptr);
    // The raw whois export of the given addresses, in their order, appended to
    // strReport; returns the number of record blocks (0: nothing to save).
    int CreateReport(const std::vector<std::string>& addresses, std::string& strReport, CProgress& progress);

    // ---- storing half of the lookup completions ----
    // Called once the scheduler's finish operation has taken the results out of the
    // job and deleted it. Each stores, marks the document modified and updates the
    // views with the address; true when something was stored.
    bool StoreWhoisResult(const std::string& strAddress, std::string_view strWhois);
    bool StoreHostName(const std::string& strAddress, std::string_view strHostName);
    bool StorePingResult(const std::string& strAddress, double dAverage, uint32_t nFailures, uint32_t nTries);
    bool StoreTraceResult(const std::string& strAddress, std::string_view strTrace);

    // ---- lookup completions (NetloreDocMerge.cpp) ----
    // Each finishes the job through the collection (which deletes it, listed in a
    // running list or not) and stores what the finish operation hands back. True
    // when something was stored; a null job is left alone.
    bool MergeWhoisJob(CLookupJob* pJob);
    bool MergeHostNameJob(CLookupJob* pJob);
    bool MergePingJob(CLookupJob* pJob);
    bool MergeTraceJob(CLookupJob* pJob);
    // The collection's Queue* operations with the document's clock.
    bool QueueWhoisLookup(std::string_view strAddress, uint32_t nGapMinutes);
    bool QueueHostNameLookup(std::string_view strAddress);
    bool QueuePingLookup(std::string_view strAddress, uint32_t nGapMinutes);
    bool QueueTraceLookup(std::string_view strAddress, uint32_t nGapMinutes);

    // ---- document life ----
    bool OnNewDocument();
    void OnCloseDocument();
    void Serialize(CArchive& ar);
    // Reads the file; archive errors go to errorSink and what was read stays. False
    // only when the file cannot be opened (the caller shows kMsgFailedToOpen).
    // pnErrors, when given, receives the number of archive errors reported.
    [[nodiscard]] bool OnOpenDocument(const std::string& strPath, const CArchive::ErrorSink& errorSink,
                                      int* pnErrors = nullptr);
    // Replaces the file atomically (CAtomicFile): a failed save leaves the previous
    // file as it was. False on any failure (the caller shows kMsgFailedToSave), with
    // "PATH: reason" in pstrError when given.
    [[nodiscard]] bool OnSaveDocument(const std::string& strPath, std::string* pstrError = nullptr);

private:
    COleDateTime Now() const;
    void PostListRefresh();

    CIPDataArray m_data;
    int32_t m_nCurrent = -1;
    bool m_bModified = false;
    uint64_t m_nChangeCount = 0;
    uint64_t m_nContentsId = 0;
    std::string m_strPathName;
    std::string m_strTitle;
    CViewNotifier* m_pViews = nullptr;
    CDocumentHost* m_pHost = nullptr;
    const CClock* m_pClock = nullptr;
};
