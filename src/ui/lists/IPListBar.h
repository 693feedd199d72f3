#pragma once

#include "ui/lists/ListBar.h"

#include <cstdint>
#include <string>
#include <string_view>

class CNetloreDoc;
class QAction;
class QMenu;

// The docking list of the document's addresses, one row per record in document
// order, written in one of four display modes (the ids of the frame's "List
// Display Mode" commands). Selecting a row makes its record the document's
// current record. The mode is read from the settings when the bar is made and
// written back when it goes.
class CIPListBar : public CListBar
{
    Q_OBJECT
public:
    static constexpr int kDefaultBarId = 500;

    CIPListBar(CSettingsStore& store, const QString& strTitle, QWidget* pParent, QSize szDefault = QSize(180, 30),
               bool bHasGripper = true, int nBarId = kDefaultBarId);
    ~CIPListBar() override;

    // The frame's active document; null while there is none.
    void SetDocument(CNetloreDoc* pDoc) { m_pDoc = pDoc; }
    CNetloreDoc* GetDocument() const { return m_pDoc; }
    int GetDisplayMode() const { return m_nDisplayMode; }
    void SetDisplayMode(int nMode) { m_nDisplayMode = nMode; }
    // The frame's "IP Lookup Selected" command, offered in the context menu.
    void SetLookupAction(QAction* pAction);
    QMenu* GetContextMenu() const { return m_pMenu; }
    QAction* GetLookupMenuAction() const { return m_pLookupItem; }

    void RefreshList() override;
    void OnRowSelected(const std::string& strText) override;
    std::string GetRowText(int nRow) override;

    // The row text of one address in a display mode; empty for an unknown mode.
    static std::string FormatAddress(uint32_t dwAddress, std::string_view strQuad, int nMode);

private:
    void UpdateMenu();

    CNetloreDoc* m_pDoc = nullptr;
    int m_nDisplayMode;
    QMenu* m_pMenu;
    QAction* m_pLookupItem;
    QAction* m_pLookup = nullptr;
};
