#pragma once

#include "ui/lists/BigListOwner.h"
#include "ui/lists/SizingControlBar.h"

#include <string>

class CBigListCtrl;
class CSettingsStore;
class QAction;

// A docking bar holding one list. The list name is the list's column title and its
// settings section. Derived bars supply the rows (GetRowText), rebuild them
// (RefreshList) and react to the user selecting a row (OnRowSelected).
class CListBar : public CSizingControlBar, public CBigListOwner
{
    Q_OBJECT
public:
    CListBar(const std::string& strListName, CSettingsStore& store, const QString& strTitle, QWidget* pParent,
             QSize szDefault, bool bHasGripper, int nBarId);
    ~CListBar() override;

    CBigListCtrl* GetList() const { return m_pList; }
    const std::string& GetListName() const { return m_strListName; }
    // "Copy Selected Rows" (enabled while a row is selected) and "Copy Table"
    // (enabled while the list has rows); the bar keeps their enabled state current.
    QAction* GetCopySelectedRowsAction() const { return m_pCopySelected; }
    QAction* GetCopyTableAction() const { return m_pCopyTable; }

    virtual void RefreshList() { }
    // Column 0 of the first selected row.
    virtual void OnRowSelected(const std::string& strText);
    virtual std::string GetRowText(int nRow);

    std::string GetCellText(int nRow, int nColumn) override;

protected:
    // What the copy commands act on: the list unless a derived bar shows other rows.
    virtual bool CopyRows(bool bSelectedOnly);
    virtual bool HasSelectedRows() const;
    virtual bool HasRows() const;
    CSettingsStore& Store() const { return m_store; }
    void UpdateCommandStates();
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnListCommand(int nCommandId);

    std::string m_strListName;
    CSettingsStore& m_store;
    CBigListCtrl* m_pList;
    QAction* m_pCopySelected;
    QAction* m_pCopyTable;
};
