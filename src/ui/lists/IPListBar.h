#pragma once

#include "ui/lists/ListBar.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CDetailsView;
class CNetloreDoc;
class QAction;
class QMenu;
class QStackedWidget;

// The docking list of the document's addresses, one row per record in document
// order, written in one of four display modes (the ids of the frame's "List
// Display Mode" commands), or in the Details mode as a table of the records'
// facts that can be sorted and filtered. Selecting a row makes its record the
// document's current record. The mode and the table's columns are read from the
// settings when the bar is made and written back when it goes.
class CIPListBar : public CListBar
{
    Q_OBJECT
public:
    static constexpr int kDefaultBarId = 500;

    CIPListBar(CSettingsStore& store, const QString& strTitle, QWidget* pParent, QSize szDefault = QSize(180, 30),
               bool bHasGripper = true, int nBarId = kDefaultBarId);
    ~CIPListBar() override;

    // The frame's active document; null while there is none.
    void SetDocument(CNetloreDoc* pDoc);
    CNetloreDoc* GetDocument() const { return m_pDoc; }
    int GetDisplayMode() const { return m_nDisplayMode; }
    // A new mode also fits the bar to the mode's widest text.
    void SetDisplayMode(int nMode);
    // The frame's "IP Lookup Selected" command, offered in the context menu.
    void SetLookupAction(QAction* pAction);
    // Which addresses were given up after three empty whois answers: their rows are
    // drawn in a colour of their own. Null: none is.
    void SetNoAnswerTest(std::function<bool(const std::string&)> fnNoAnswer) { m_fnNoAnswer = std::move(fnNoAnswer); }
    // The frame's Delete command, run by the Delete key in the list.
    void SetDeleteAction(QAction* pAction) { m_pDelete = pAction; }
    QMenu* GetContextMenu() const { return m_pMenu; }
    QAction* GetLookupMenuAction() const { return m_pLookupItem; }
    CDetailsView* GetDetailsView() const { return m_pDetails; }
    bool IsDetailsMode() const;

    // ---- the rows the commands act on: the list's, or the table's shown rows ----
    int GetShownRowCount() const;
    int GetSelectedRowCount() const;
    // Record indices of the selected rows, in the order they are shown.
    std::vector<int> GetSelectedRecords() const;
    // The record index of a shown row, -1 outside the rows.
    int RecordOfRow(int nRow) const;
    // Repaints the rows after their records changed (not in number).
    void UpdateRows();

    // After the stored sizes: a width or floating size never stored fits the current mode.
    bool LoadState(CSettingsStore& store, const std::string& strProfile) override;
    // The bar width that shows the widest text of the mode without cutting it, at
    // most what the window can give beside its main view.
    int FittedWidth(int nMode) const;
    // Gives the bar (docked at the side and floating) the fitted width of the current mode.
    void FitToMode();

    void RefreshList() override;
    void OnRowSelected(const std::string& strText) override;
    std::string GetRowText(int nRow) override;

    // The row text of one address in a display mode; empty for an unknown mode.
    static std::string FormatAddress(uint32_t dwAddress, std::string_view strQuad, int nMode);

signals:
    // The Details filter changed the number of rows shown.
    void shownRowsChanged();
    // The selection of the rows shown changed.
    void rowSelectionChanged();

protected:
    bool CopyRows(bool bSelectedOnly) override;
    bool HasSelectedRows() const override;
    bool HasRows() const override;

private:
    std::function<bool(const std::string&)> m_fnNoAnswer;

    void ShowModePage();
    void UpdateMenu();
    void FitVertWidth();
    void FitFloatSize();
    // The table needs more room below the view or floating than a list of addresses.
    void FitDetailsSize();

    CNetloreDoc* m_pDoc = nullptr;
    int m_nDisplayMode;
    QMenu* m_pMenu;
    QAction* m_pLookupItem;
    QAction* m_pLookup = nullptr;
    QAction* m_pDelete = nullptr;
    QStackedWidget* m_pPages;
    CDetailsView* m_pDetails;
};
