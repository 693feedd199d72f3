#pragma once

#include <QTableView>
#include <QWidget>

#include <string>
#include <vector>

class CDetailsModel;
class CIPDataArray;
class CSettingsStore;
class QLineEdit;
class QMenu;
class QTimer;

// The table of the Details display mode: a filter box over a virtual table of the
// records (CDetailsModel). Columns can be resized, moved, hidden (header context
// menu) and sorted by a header click. Rows are mapped to record indices here and
// nowhere else; the copy keys copy the selected rows, the Delete key asks the host.
class CDetailsView : public QWidget
{
    Q_OBJECT
public:
    explicit CDetailsView(QWidget* pParent = nullptr);

    CDetailsModel* GetModel() const { return m_pModel; }
    QTableView* GetTable() const { return m_pTable; }
    QLineEdit* GetFilterBox() const { return m_pFilter; }
    // Filters by the box's text at once, not after the pause in typing that a large
    // table waits for (Enter in the box does the same).
    void ApplyFilterNow();
    QMenu* GetHeaderMenu() const { return m_pHeaderMenu; }

    void SetRecords(const CIPDataArray* pData);
    // Takes the records again (keeping filter and order) and selects the row of
    // the record index, when shown.
    void Refresh(int nCurrentRecord);

    // ---- rows as the commands see them ----
    int GetShownCount() const;
    int GetSelectedCount() const;
    // Record indices of the selected rows in view order.
    std::vector<int> GetSelectedRecords() const;
    int RecordOfRow(int nRow) const;
    void SelectRecord(int nRecord);

    // Tab-separated shown columns in their visual order, rows separated by CR LF.
    std::string BuildCopyText(bool bSelectedOnly) const;
    bool CopyRows(bool bSelectedOnly);

    void SetColumnHidden(int nColumn, bool bHidden);
    // Column order, widths, hidden columns and sort order.
    void LoadColumns(CSettingsStore& store);
    void SaveColumns(CSettingsStore& store) const;

signals:
    // The user made this record index the current one.
    void recordSelected(int nRecord);
    void selectionChanged();
    // The filter changed the rows shown.
    void shownRowsChanged();
    void deletePressed();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // The selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    void OnCurrentChanged();
    void UpdateHeaderMenu();
    void SyncShownColumns();

    CDetailsModel* m_pModel;
    QLineEdit* m_pFilter;
    // Waits for a pause in typing before a large table is filtered again.
    QTimer* m_pFilterDelay;
    std::string m_strAppliedFilter;
    QTableView* m_pTable;
    QMenu* m_pHeaderMenu;
    bool m_bSelecting = false;
    // The record whose row is selected after the rows change.
    int m_nCurrentRecord = -1;
};
