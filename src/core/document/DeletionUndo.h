#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class CIPAddressData;
class CNetloreDoc;

// The last deletion of records, kept so that it can be undone while its document
// is open: the records come back at their former positions with their results.
class CDeletionUndo
{
public:
    CDeletionUndo();
    ~CDeletionUndo();
    CDeletionUndo(const CDeletionUndo&) = delete;
    CDeletionUndo& operator=(const CDeletionUndo&) = delete;

    // A new deletion replaces the one kept.
    void Begin(const CNetloreDoc& doc);
    // Takes the record of the address out of the document; nIndex is where it stood
    // before this deletion began. False when the address has no record.
    bool Take(CNetloreDoc& doc, std::string_view strAddress, int nIndex);
    // Called once the document is marked modified for the deletion.
    void End(const CNetloreDoc& doc);

    bool CanUndo(const CNetloreDoc& doc) const;
    // Puts the records back (an address with a newer record keeps it) and returns how
    // many came back. The modified flag is as before the deletion when nothing else
    // changed the document meanwhile; otherwise it stays set.
    int Undo(CNetloreDoc& doc);
    void Clear();

private:
    std::vector<std::pair<int, std::unique_ptr<CIPAddressData>>> m_records;
    bool m_bWasModified = false;
    uint64_t m_nContentsId = 0;
    uint64_t m_nChangesAfter = 0;
};
