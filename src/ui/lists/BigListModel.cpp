#include "ui/lists/BigListModel.h"

#include "ui/TextConv.h"
#include "ui/lists/BigListOwner.h"

#include <algorithm>

CBigListModel::CBigListModel(QObject* pParent)
    : QAbstractTableModel(pParent)
{ }

void CBigListModel::SetRowCount(int nRows)
{
    nRows = std::max(nRows, 0);
    if (nRows > m_nRows) {
        beginInsertRows(QModelIndex(), m_nRows, nRows - 1);
        m_nRows = nRows;
        endInsertRows();
    } else if (nRows < m_nRows) {
        beginRemoveRows(QModelIndex(), nRows, m_nRows - 1);
        m_nRows = nRows;
        endRemoveRows();
    } else if (m_nRows > 0 && !m_columns.empty()) {
        emit dataChanged(index(0, 0), index(m_nRows - 1, int(m_columns.size()) - 1), {Qt::DisplayRole});
    }
}

int CBigListModel::AddColumn(const std::string& strTitle, Qt::Alignment align)
{
    const int nColumn = int(m_columns.size());
    beginInsertColumns(QModelIndex(), nColumn, nColumn);
    m_columns.push_back({strTitle, align});
    endInsertColumns();
    return nColumn;
}

const std::string& CBigListModel::GetColumnTitle(int nColumn) const
{
    static const std::string s_strNone;
    return nColumn >= 0 && nColumn < GetColumnCount() ? m_columns[size_t(nColumn)].m_strTitle : s_strNone;
}

Qt::Alignment CBigListModel::GetColumnAlignment(int nColumn) const
{
    return nColumn >= 0 && nColumn < GetColumnCount() ? m_columns[size_t(nColumn)].m_align : Qt::AlignLeft;
}

std::string CBigListModel::GetCellText(int nRow, int nColumn) const
{
    if (!m_pOwner || nRow < 0 || nRow >= m_nRows || nColumn < 0 || nColumn >= GetColumnCount())
        return {};
    std::string strText = m_pOwner->GetCellText(nRow, nColumn);
    if (strText.size() > size_t(kCellTextCapacity - 1))
        strText.resize(size_t(kCellTextCapacity - 1));
    return strText;
}

int CBigListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int CBigListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetColumnCount();
}

QVariant CBigListModel::data(const QModelIndex& idx, int role) const
{
    if (!checkIndex(idx, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return ToQString(GetCellText(idx.row(), idx.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(GetColumnAlignment(idx.column()) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CBigListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < GetColumnCount() ? ToQString(GetColumnTitle(section)) : QVariant();
    return section >= 0 && section < m_nRows ? QVariant(section + 1) : QVariant();
}

Qt::ItemFlags CBigListModel::flags(const QModelIndex& idx) const
{
    if (!idx.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
