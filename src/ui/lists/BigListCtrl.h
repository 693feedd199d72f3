#pragma once

#include <QAbstractItemView>
#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CBigListModel;
class CBigListOwner;
class CSettingsStore;
class QMenu;
class QPainter;

// The list engine: a report list whose rows live with its owner. It draws every row
// itself (alternating colours, the selection highlight, colour tags inside cell
// texts), keeps a fixed row height so that any row's place is arithmetic, reads its
// look from a settings section, and copies rows to the clipboard as tab-separated
// text (the copy keys copy every selected row). A newly selected row is reported
// through rowSelected and, when a selection command is set, commandIssued(command)
// for the host to handle; so is a click that narrows a selection to one of its rows.
class CBigListCtrl : public QAbstractItemView
{
    Q_OBJECT
public:
    // One run of text in one colour, as a cell's tags split it.
    struct CTextPiece {
        QString m_strText;
        QColor m_clr;
        bool operator==(const CTextPiece&) const = default;
    };

    static constexpr int kDefaultRowHeightPercent = 150;
    static constexpr int kEmptyTextTop = 10;

    explicit CBigListCtrl(QWidget* pParent = nullptr);
    ~CBigListCtrl() override;

    CBigListModel* GetModel() const { return m_pModel; }
    void SetOwner(CBigListOwner* pOwner);
    // Where list settings and column widths are read from; null reads nothing.
    void SetSettingsStore(CSettingsStore* pStore) { m_pStore = pStore; }

    // ---- appearance ----
    void LoadListSettings(const std::string& strSection);
    // Width from "List Column Widths" under the title, else nDefaultWidth.
    int AddColumn(const std::string& strTitle, int nDefaultWidth, Qt::Alignment align = Qt::AlignLeft);
    int GetColumnCount() const;
    int GetColumnWidth(int nColumn) const;
    void SetColumnWidth(int nColumn, int nWidth);
    void SetEmptyText(const std::string& strText);
    const std::string& GetEmptyText() const { return m_strEmptyText; }
    // The popup shown on a right-button release over a non-empty list; null: none.
    void SetContextMenu(QMenu* pMenu) { m_pMenu = pMenu; }
    QMenu* GetContextMenu() const { return m_pMenu; }
    void SetSelectionCommand(int nCommandId) { m_nSelectionCommand = nCommandId; }
    int GetSelectionCommand() const { return m_nSelectionCommand; }
    // Highlight selected rows also while the list has no keyboard focus.
    void SetShowSelectionAlways(bool bShow);

    QFont GetListFont() const { return m_font; }
    int GetRowHeightPercent() const { return m_nRowHeightPercent; }
    int GetRowHeight() const { return m_nRowHeight; }
    QColor GetRowColor1() const { return m_clrRow1; }
    QColor GetRowColor2() const { return m_clrRow2; }
    QColor GetFontColor() const { return m_clrFont; }
    QColor GetTextColor1() const { return m_clrText1; }
    QColor GetTextColor2() const { return m_clrText2; }
    // Row Color-1 for odd rows, Row Color-2 for even ones.
    QColor GetRowColor(int nRow) const { return (nRow & 1) ? m_clrRow1 : m_clrRow2; }

    // ---- rows and selection ----
    void SetRowCount(int nRows);
    int GetRowCount() const;
    int DeselectAll();
    // The row last reported as newly selected while it is still selected, else -1.
    int GetSelectedRow();
    int GetSelectedCount() const;
    std::vector<int> GetSelectedRows() const;
    // Column texts of the selected rows in ascending order, tags kept.
    std::vector<std::string> GetSelectedTexts(int nColumn) const;
    void SelectRow(int nRow);
    void EnsureRowVisible(int nRow);
    int GetTopRow() const;
    int GetVisibleRowCount() const;

    // ---- copying ----
    std::string BuildCopyText(bool bSelectedOnly) const;
    bool CopySelectedRows();
    bool CopyTable();
    static bool CopyTextToClipboard(const std::string& strText);
    static std::string StripCellTags(std::string_view text);

    // ---- drawing ----
    static int ComputeRowHeight(int nCharHeight, int nExternalLeading, int nPercent);
    // Colours are 0x00BBGGRR integers in the settings.
    static QColor ColorFromRef(int nRef);
    static int RefFromColor(const QColor& clr);
    // Splits a cell text at its tags; text after an unclosed "<" is dropped.
    std::vector<CTextPiece> SplitTaggedText(const QString& strText, const QColor& clrStart, bool bHighlighted) const;
    void DrawTaggedText(QPainter& painter, const QString& strText, const QRect& rc, Qt::Alignment align,
                        bool bHighlighted) const;

    // QAbstractItemView
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = QAbstractItemView::EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

signals:
    void rowSelected(int nRow);
    void commandIssued(int nCommandId);
    // The Delete key, for the host to run its delete command.
    void deletePressed();

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void scrollContentsBy(int dx, int dy) override;

    void paintEvent(QPaintEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    std::vector<std::pair<int, int>> SelectedRanges() const;
    void DrawRow(QPainter& painter, int nRow, int nTop);
    void DrawEmptyText(QPainter& painter);
    void ApplyFont(const QFont& font);
    void RecalcRowHeight();
    int TotalColumnWidth() const;
    int ColumnLeft(int nColumn) const;

    CBigListModel* m_pModel;
    CSettingsStore* m_pStore = nullptr;
    QFont m_font;
    int m_nRowHeightPercent = kDefaultRowHeightPercent;
    int m_nRowHeight = 1;
    QColor m_clrRow1;
    QColor m_clrRow2;
    QColor m_clrFont;
    QColor m_clrText1;
    QColor m_clrText2;
    std::string m_strEmptyText;
    QMenu* m_pMenu = nullptr;
    int m_nSelectionCommand = 0;
    int m_nRememberedRow = -1;
    bool m_bShowSelectionAlways = false;
    std::vector<int> m_columnWidths;
};
