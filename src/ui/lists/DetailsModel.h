#pragma once

#include "facts/DelegationFacts.h"
#include "facts/RecordStatus.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CIPAddressData;
class CIPDataArray;
struct CWhoisFacts;

// The Details table: one row per shown record, its cells computed when asked from
// the record and the facts the collection caches for it. The only thing kept per
// row is the record index of each shown row, in view order, so a million rows
// cost 4 MB; sorting and filtering rearrange that vector and nothing else.
class CDetailsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum EColumn
    {
        kAddress,
        kHolder,
        kCountry,
        kRange,
        kAbuse,
        kHostName,
        kPing,
        kWhoisTime,
        kNotes,
        kStatus,
        kRegistry,
        kAllocated,
        kColumnCount
    };

    explicit CDetailsModel(QObject* pParent = nullptr);

    // What became of a record's lookup as the run knows it (a reused answer, a
    // failure); without it the record and its facts tell (RecordStatusOf).
    using StatusFn = std::function<CRecordStatus(const CIPAddressData& record, const CWhoisFacts& facts)>;
    void SetStatusFunction(StatusFn fnStatus) { m_fnStatus = std::move(fnStatus); }
    CRecordStatus StatusOf(const CIPAddressData& record, const CWhoisFacts& facts) const;
    // The Status cell: the token, and why a lookup failed ("failed (time-out)").
    std::string StatusText(const CIPAddressData& record, const CWhoisFacts& facts) const;
    // The registries' delegation data: Registry and Allocated before any query, and
    // the country ("FR (delegation)") until an answer names one. Null: none.
    void SetDelegationFunction(DelegationFactsFn fnDelegation) { m_fnDelegation = std::move(fnDelegation); }

    // The records shown (none until the next Refresh); null shows none.
    void SetRecords(const CIPDataArray* pData);
    // No rows until the next Refresh: the table is not in use.
    void ReleaseRows();
    // Takes the records again, keeping the filter and the sort order.
    void Refresh();

    // ---- rows ----
    int GetShownCount() const { return int(m_rows.size()); }
    // All records, shown or not: what a new filter reads through.
    int GetRecordCount() const;
    // The record index of a shown row; -1 outside the rows.
    int RecordOfRow(int nRow) const;
    // The shown row of a record index; -1 when it is not shown.
    int RowOfRecord(int nRecord) const;

    // ---- filter: rows whose shown cells hold the text, ASCII case folded ----
    void SetFilter(const std::string& strText);
    const std::string& GetFilter() const { return m_strFilter; }
    // Hidden columns take no part in the filter.
    void SetColumnShown(int nColumn, bool bShown);
    bool IsColumnShown(int nColumn) const;

    // ---- sorting (stable; column -1 is the document order) ----
    int GetSortColumn() const { return m_nSortColumn; }
    Qt::SortOrder GetSortOrder() const { return m_order; }

    // A cell's text as bytes: what the table shows, copies and filters on.
    std::string CellText(int nRow, int nColumn) const;
    static const char* ColumnTitle(int nColumn);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int nColumn, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The rows in document order that pass the filter, then the sort.
    void Rebuild();
    void ApplyFilter();
    void ApplySort();
    // nColumns: a bit for each column to search.
    bool RowMatches(const CIPAddressData& record, uint32_t nColumns) const;
    // A cell as shown: the delegation data's where it fills in, else CellView's.
    std::string_view ShownCell(const CIPAddressData& record, const CWhoisFacts& facts, int nColumn, char* buf) const;

    const CIPDataArray* m_pData = nullptr;
    StatusFn m_fnStatus;
    DelegationFactsFn m_fnDelegation;
    std::vector<uint32_t> m_rows;
    std::string m_strFilter; // folded
    uint32_t m_nShownColumns = (1u << kColumnCount) - 1;
    int m_nSortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
