#include "core/document/NetloreDoc.h"

#include "core/document/AtomicFile.h"
#include "core/document/DocumentHost.h"
#include "core/document/ViewNotifier.h"
#include "core/record/Clock.h"

namespace {

const CSystemClock g_systemClock;

} // namespace

CNetloreDoc::CNetloreDoc(const CClock* pClock)
    : m_pClock(pClock ? pClock : &g_systemClock)
{ }

CNetloreDoc::~CNetloreDoc() = default;

void CNetloreDoc::SetClock(const CClock* pClock)
{
    m_pClock = pClock ? pClock : &g_systemClock;
}

COleDateTime CNetloreDoc::Now() const
{
    return m_pClock->Now();
}

void CNetloreDoc::PostListRefresh()
{
    if (m_pHost)
        m_pHost->PostListRefresh();
}

void CNetloreDoc::UpdateAllViews(const std::string* pHint)
{
    if (m_pViews)
        m_pViews->UpdateAllViews(pHint);
}

void CNetloreDoc::RefreshTitle()
{
    // Windows paths use "\\"; on this platform "/" separates as well.
    const size_t nSep = m_strPathName.find_last_of("\\/");
    m_strTitle = nSep == std::string::npos ? m_strPathName : m_strPathName.substr(nSep + 1);
}

// ------------------------------------------------------------ record operations

bool CNetloreDoc::AddIP(std::string_view strAddress)
{
    return m_data.FindOrAdd(strAddress) != nullptr;
}

bool CNetloreDoc::AddIPWithHostName(std::string_view strAddress, std::string_view strHostName)
{
    if (!AddIP(strAddress))
        return false;
    return m_data.SetHostNameResult(strAddress, strHostName);
}

bool CNetloreDoc::SetHostName(std::string_view strAddress, std::string_view strHostName)
{
    return m_data.SetHostNameResult(strAddress, strHostName);
}

void CNetloreDoc::SelectIP(std::string_view strAddress)
{
    const int i = m_data.IndexOfIP(strAddress);
    if (i >= 0 && i < m_data.GetSize())
        m_nCurrent = i;
}

bool CNetloreDoc::DeleteIP(std::string_view strAddress)
{
    return m_data.RemoveByIP(strAddress);
}

bool CNetloreDoc::SetLogNote(std::string_view strAddress, std::string_view strText)
{
    return m_data.SetNoteByIP(strAddress, 3, strText);
}

void CNetloreDoc::SetWhoisText(std::string_view strAddress, std::string_view strText)
{
    m_data.SetWhoisResult(strAddress, strText, Now());
}

std::string CNetloreDoc::GetTraceText(std::string_view strAddress) const
{
    return m_data.GetTraceText(strAddress);
}

COleDateTime CNetloreDoc::GetTraceTime(std::string_view strAddress) const
{
    return m_data.GetTraceTime(strAddress);
}

std::string CNetloreDoc::GetCurrentWhoisText() const
{
    return m_data.GetRawWhoisAt(m_nCurrent);
}

// ------------------------------------------------------------ completions

bool CNetloreDoc::StoreWhoisResult(const std::string& strAddress, std::string_view strWhois)
{
    // An empty answer goes back to the waiting list (the scheduler's part); it must
    // never wipe a stored answer.
    if (strWhois.empty())
        return false;
    SetWhoisText(strAddress, strWhois);
    SetModifiedFlag();
    UpdateAllViews(&strAddress);
    return true;
}

bool CNetloreDoc::StoreHostName(const std::string& strAddress, std::string_view strHostName)
{
    if (strHostName.empty() || !SetHostName(strAddress, strHostName))
        return false;
    SetModifiedFlag();
    UpdateAllViews(&strAddress);
    return true;
}

bool CNetloreDoc::StorePingResult(const std::string& strAddress, double dAverage, uint32_t nFailures, uint32_t nTries)
{
    if (!m_data.SetPingResult(strAddress, dAverage, nFailures, nTries, Now()))
        return false;
    SetModifiedFlag();
    UpdateAllViews(&strAddress);
    return true;
}

bool CNetloreDoc::StoreTraceResult(const std::string& strAddress, std::string_view strTrace)
{
    if (!m_data.SetTraceResult(strAddress, strTrace, Now()))
        return false;
    SetModifiedFlag();
    UpdateAllViews(&strAddress);
    return true;
}

// ------------------------------------------------------------ document life

bool CNetloreDoc::OnNewDocument()
{
    ++m_nContentsId;
    m_strPathName.clear();
    m_bModified = false;
    // Addresses still waiting belong to the old document: looking them up now would
    // put its records into this one. Jobs already running finish and are deleted as usual.
    m_data.ClearAllPending();
    m_data.DeleteAll();
    m_nCurrent = -1;
    PostListRefresh();
    return true;
}

void CNetloreDoc::OnCloseDocument()
{
    ++m_nContentsId;
    m_data.DeleteAll();
    m_nCurrent = -1;
    m_bModified = false;
    m_strPathName.clear();
    m_strTitle.clear();
}

void CNetloreDoc::Serialize(CArchive& ar)
{
    m_data.Serialize(ar);
    if (ar.IsLoading()) {
        PostListRefresh();
        if (m_nCurrent < 0 && !m_data.IsEmpty())
            m_nCurrent = 0;
    }
}

bool CNetloreDoc::OnOpenDocument(const std::string& strPath, const CArchive::ErrorSink& errorSink, int* pnErrors)
{
    CFileByteSource source;
    if (!source.Open(strPath))
        return false;
    ++m_nContentsId;
    // The previous document's current record and waiting lookups mean nothing in this one.
    m_nCurrent = -1;
    m_data.ClearAllPending();
    CArchive ar(source, strPath, errorSink);
    Serialize(ar);
    if (pnErrors)
        *pnErrors = ar.GetErrorCount();
    SetModifiedFlag(false);
    SetPathName(strPath);
    RefreshTitle();
    return true;
}

bool CNetloreDoc::OnSaveDocument(const std::string& strPath, std::string* pstrError)
{
    CAtomicFile file;
    bool bOk = file.Open(strPath);
    if (bOk) {
        CArchive ar(file);
        Serialize(ar);
        bOk = ar.Flush() && file.Commit();
    }
    if (!bOk) {
        if (pstrError)
            *pstrError = file.GetError().empty() ? strPath + ": write error" : file.GetError();
        return false;
    }
    SetModifiedFlag(false);
    SetPathName(strPath);
    RefreshTitle();
    return true;
}
