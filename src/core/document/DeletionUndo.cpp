#include "core/document/DeletionUndo.h"

#include "core/document/NetloreDoc.h"
#include "core/record/IPAddressData.h"

CDeletionUndo::CDeletionUndo() = default;
CDeletionUndo::~CDeletionUndo() = default;

void CDeletionUndo::Begin(const CNetloreDoc& doc)
{
    m_records.clear();
    m_bWasModified = doc.IsModified();
    m_nContentsId = doc.GetContentsId();
    m_nChangesAfter = doc.GetChangeCount();
}

bool CDeletionUndo::Take(CNetloreDoc& doc, std::string_view strAddress, int nIndex)
{
    std::unique_ptr<CIPAddressData> pRecord = doc.GetData().TakeByIP(strAddress);
    if (!pRecord)
        return false;
    m_records.emplace_back(nIndex, std::move(pRecord));
    return true;
}

void CDeletionUndo::End(const CNetloreDoc& doc)
{
    m_nChangesAfter = doc.GetChangeCount();
}

bool CDeletionUndo::CanUndo(const CNetloreDoc& doc) const
{
    return !m_records.empty() && doc.GetContentsId() == m_nContentsId;
}

int CDeletionUndo::Undo(CNetloreDoc& doc)
{
    if (!CanUndo(doc))
        return 0;
    const bool bUnchanged = doc.GetChangeCount() == m_nChangesAfter;
    const int nRestored = doc.GetData().RestoreAt(std::move(m_records));
    m_records.clear();
    doc.SetModifiedFlag(bUnchanged ? m_bWasModified : true);
    return nRestored;
}

void CDeletionUndo::Clear()
{
    m_records.clear();
}
