#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <string>
#include <vector>

class CBigListOwner;

// The virtual rows behind CBigListCtrl: a row count, the columns, and an owner that
// answers cell texts on demand. Nothing is stored per row, so a million rows cost
// no more than ten.
class CBigListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // A cell text is cut to this many bytes, terminator included.
    static constexpr int kCellTextCapacity = 260;

    explicit CBigListModel(QObject* pParent = nullptr);

    void SetOwner(CBigListOwner* pOwner) { m_pOwner = pOwner; }
    CBigListOwner* GetOwner() const { return m_pOwner; }

    // Grows or shrinks at the end; an unchanged count only asks the views to redraw.
    void SetRowCount(int nRows);
    int GetRowCount() const { return m_nRows; }

    int AddColumn(const std::string& strTitle, Qt::Alignment align);
    int GetColumnCount() const { return int(m_columns.size()); }
    const std::string& GetColumnTitle(int nColumn) const;
    Qt::Alignment GetColumnAlignment(int nColumn) const;

    // The owner's text for a cell, cut to kCellTextCapacity - 1 bytes; empty
    // without an owner or outside the rows and columns.
    std::string GetCellText(int nRow, int nColumn) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct CColumn {
        std::string m_strTitle;
        Qt::Alignment m_align;
    };

    CBigListOwner* m_pOwner = nullptr;
    int m_nRows = 0;
    std::vector<CColumn> m_columns;
};
