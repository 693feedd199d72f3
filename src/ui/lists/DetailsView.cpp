#include "ui/lists/DetailsView.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "ui/TextConv.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/ListTexts.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A stored header state longer than this is not a header state.
constexpr size_t kMaxColumnsState = 16384;
// Up to this many records the filter follows every keystroke; a larger table (a
// million records take about 0.2 s) is filtered once typing pauses.
constexpr int kInstantFilterRecords = 100000;
constexpr int kFilterDelayMs = 200;

} // namespace

CDetailsView::CDetailsView(QWidget* pParent)
    : QWidget(pParent)
    , m_pModel(new CDetailsModel(this))
    , m_pFilter(new QLineEdit(this))
    , m_pFilterDelay(new QTimer(this))
    , m_pTable(new QTableView(this))
    , m_pHeaderMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("details-view"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(2);
    m_pFilter->setObjectName(QStringLiteral("details-filter"));
    m_pFilter->setPlaceholderText(QString::fromLatin1(ListTexts::kDetailsFilterHint));
    m_pFilter->setClearButtonEnabled(true);
    pLayout->addWidget(m_pFilter);
    pLayout->addWidget(m_pTable, 1);

    m_pTable->setObjectName(QStringLiteral("details-table"));
    m_pTable->setModel(m_pModel);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setWordWrap(false);
    m_pTable->setAlternatingRowColors(true);
    m_pTable->setTextElideMode(Qt::ElideRight);
    m_pTable->setContextMenuPolicy(Qt::CustomContextMenu);
    // A fixed row height keeps a million rows as cheap as ten: no row is measured.
    QHeaderView* pRows = m_pTable->verticalHeader();
    pRows->hide();
    pRows->setSectionResizeMode(QHeaderView::Fixed);
    pRows->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);
    QHeaderView* pHeader = m_pTable->horizontalHeader();
    pHeader->setSectionsMovable(true);
    pHeader->setHighlightSections(false);
    pHeader->setStretchLastSection(true);
    pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    pHeader->setSortIndicator(-1, Qt::AscendingOrder);
    pHeader->setSortIndicatorShown(true);
    m_pTable->setSortingEnabled(true);
    int nWidths[CDetailsModel::kColumnCount] = {110, 220, 60, 230, 200, 180, 60, 140, 200, 110, 80, 100};
    // The longest IPv6 text, and a /32's range in the form whois answers give it.
    const QFontMetrics fm = m_pTable->fontMetrics();
    const int nPadding = 4 * fm.horizontalAdvance(QLatin1Char(' '));
    nWidths[CDetailsModel::kAddress] =
        std::max(nWidths[CDetailsModel::kAddress],
                 fm.horizontalAdvance(QStringLiteral("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff")) + nPadding);
    nWidths[CDetailsModel::kRange] = std::max(
        nWidths[CDetailsModel::kRange],
        fm.horizontalAdvance(QStringLiteral("2001:db8:: - 2001:db8:ffff:ffff:ffff:ffff:ffff:ffff")) + nPadding);
    for (int c = 0; c < CDetailsModel::kColumnCount; ++c)
        pHeader->resizeSection(c, nWidths[c]);
    m_pTable->installEventFilter(this);

    for (int c = 0; c < CDetailsModel::kColumnCount; ++c) {
        auto* pAction = m_pHeaderMenu->addAction(QString::fromLatin1(CDetailsModel::ColumnTitle(c)));
        pAction->setCheckable(true);
        pAction->setChecked(true);
        connect(pAction, &QAction::toggled, this, [this, c](bool bOn) { SetColumnHidden(c, !bOn); });
    }
    connect(m_pHeaderMenu, &QMenu::aboutToShow, this, &CDetailsView::UpdateHeaderMenu);
    connect(pHeader, &QWidget::customContextMenuRequested, this,
            [this, pHeader](const QPoint& pt) { m_pHeaderMenu->popup(pHeader->mapToGlobal(pt)); });
    m_pFilterDelay->setSingleShot(true);
    m_pFilterDelay->setInterval(kFilterDelayMs);
    connect(m_pFilterDelay, &QTimer::timeout, this, &CDetailsView::ApplyFilterNow);
    connect(m_pFilter, &QLineEdit::returnPressed, this, &CDetailsView::ApplyFilterNow);
    connect(m_pFilter, &QLineEdit::textChanged, this, [this] {
        if (m_pModel->GetRecordCount() > kInstantFilterRecords)
            m_pFilterDelay->start();
        else
            ApplyFilterNow();
    });
    // New rows or a new order: the current record's row is selected again, wherever it went.
    connect(m_pModel, &QAbstractItemModel::modelReset, this, [this] {
        SelectRecord(m_nCurrentRecord);
        emit selectionChanged();
    });
    connect(m_pTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        emit selectionChanged();
        OnCurrentChanged();
    });
    connect(m_pTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &CDetailsView::OnCurrentChanged);
}

void CDetailsView::ApplyFilterNow()
{
    m_pFilterDelay->stop();
    const std::string strFilter = ToStdString(m_pFilter->text());
    if (strFilter == m_strAppliedFilter)
        return;
    m_strAppliedFilter = strFilter;
    m_pModel->SetFilter(strFilter);
    emit shownRowsChanged();
}

void CDetailsView::SetRecords(const CIPDataArray* pData)
{
    m_pModel->SetRecords(pData);
}

void CDetailsView::Refresh(int nCurrentRecord)
{
    m_nCurrentRecord = nCurrentRecord;
    m_pModel->Refresh();
}

int CDetailsView::GetShownCount() const
{
    return m_pModel->GetShownCount();
}

// Rows are selected whole, so every range spans all columns and no two overlap:
// the ranges give the rows without a model index for each (Ctrl+A over a million rows is one range).
int CDetailsView::GetSelectedCount() const
{
    int nCount = 0;
    for (const QItemSelectionRange& range : m_pTable->selectionModel()->selection())
        if (range.left() == 0)
            nCount += range.height();
    return nCount;
}

std::vector<int> CDetailsView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_pTable->selectionModel()->selection())
        if (range.left() == 0)
            for (int r = range.top(); r <= range.bottom(); ++r)
                rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<int> CDetailsView::GetSelectedRecords() const
{
    const std::vector<int> rows = SelectedRows();
    std::vector<int> records;
    records.reserve(rows.size());
    for (int nRow : rows) {
        const int nRecord = m_pModel->RecordOfRow(nRow);
        if (nRecord >= 0)
            records.push_back(nRecord);
    }
    return records;
}

int CDetailsView::RecordOfRow(int nRow) const
{
    return m_pModel->RecordOfRow(nRow);
}

void CDetailsView::SelectRecord(int nRecord)
{
    const int nRow = m_pModel->RowOfRecord(nRecord);
    if (nRow < 0)
        return;
    // Showing the document's choice is no new choice of the user.
    m_bSelecting = true;
    const QModelIndex idx = m_pModel->index(nRow, 0);
    m_pTable->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_pTable->scrollTo(idx);
    m_bSelecting = false;
}

void CDetailsView::OnCurrentChanged()
{
    if (m_bSelecting)
        return;
    const QModelIndex idx = m_pTable->currentIndex();
    if (!idx.isValid() || !m_pTable->selectionModel()->isRowSelected(idx.row(), QModelIndex()))
        return;
    const int nRecord = m_pModel->RecordOfRow(idx.row());
    if (nRecord < 0)
        return;
    m_nCurrentRecord = nRecord;
    emit recordSelected(nRecord);
}

std::string CDetailsView::BuildCopyText(bool bSelectedOnly) const
{
    std::vector<int> columns;
    const QHeaderView* pHeader = m_pTable->horizontalHeader();
    for (int v = 0; v < pHeader->count(); ++v) {
        const int c = pHeader->logicalIndex(v);
        if (!pHeader->isSectionHidden(c))
            columns.push_back(c);
    }
    const std::vector<int> rows = bSelectedOnly ? SelectedRows() : std::vector<int>();
    const int nRows = bSelectedOnly ? int(rows.size()) : GetShownCount();
    std::string strText;
    for (int i = 0; i < nRows; ++i) {
        const int nRow = bSelectedOnly ? rows[size_t(i)] : i;
        if (i)
            strText += "\r\n";
        for (size_t k = 0; k < columns.size(); ++k) {
            if (k)
                strText += '\t';
            strText += m_pModel->CellText(nRow, columns[k]);
        }
    }
    return strText;
}

bool CDetailsView::CopyRows(bool bSelectedOnly)
{
    const std::string strText = BuildCopyText(bSelectedOnly);
    return !strText.empty() && CBigListCtrl::CopyTextToClipboard(strText);
}

void CDetailsView::SetColumnHidden(int nColumn, bool bHidden)
{
    QHeaderView* pHeader = m_pTable->horizontalHeader();
    if (nColumn < 0 || nColumn >= CDetailsModel::kColumnCount)
        return;
    // One column always stays, or the table could not be brought back.
    if (bHidden && pHeader->count() - pHeader->hiddenSectionCount() <= 1)
        return;
    pHeader->setSectionHidden(nColumn, bHidden);
    SyncShownColumns();
    emit shownRowsChanged();
}

void CDetailsView::SyncShownColumns()
{
    const QHeaderView* pHeader = m_pTable->horizontalHeader();
    for (int c = 0; c < CDetailsModel::kColumnCount; ++c)
        m_pModel->SetColumnShown(c, !pHeader->isSectionHidden(c));
}

void CDetailsView::UpdateHeaderMenu()
{
    const QHeaderView* pHeader = m_pTable->horizontalHeader();
    const QList<QAction*> actions = m_pHeaderMenu->actions();
    for (int c = 0; c < int(actions.size()); ++c) {
        const QSignalBlocker block(actions[c]);
        actions[c]->setChecked(!pHeader->isSectionHidden(c));
    }
}

void CDetailsView::LoadColumns(CSettingsStore& store)
{
    const std::string strState = CSettingsLoader(store).Get(ProgramSettings::kDetailsColumns);
    if (strState.empty() || strState.size() > kMaxColumnsState)
        return;
    QHeaderView* pHeader = m_pTable->horizontalHeader();
    // The header checks what it reads; a state it refuses leaves the columns as they are.
    if (!pHeader->restoreState(QByteArray::fromBase64(QByteArray::fromStdString(strState))))
        return;
    if (pHeader->count() != CDetailsModel::kColumnCount || pHeader->hiddenSectionCount() >= pHeader->count())
        for (int c = 0; c < pHeader->count(); ++c)
            pHeader->setSectionHidden(c, false);
    SyncShownColumns();
    // The header shows the stored sort order; the rows follow it.
    m_pModel->sort(pHeader->sortIndicatorSection(), pHeader->sortIndicatorOrder());
}

void CDetailsView::SaveColumns(CSettingsStore& store) const
{
    const QByteArray state = m_pTable->horizontalHeader()->saveState().toBase64();
    CSettingsLoader(store).Set(ProgramSettings::kDetailsColumns, state.toStdString());
}

bool CDetailsView::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pTable && pEvent->type() == QEvent::KeyPress) {
        auto* pKey = static_cast<QKeyEvent*>(pEvent);
        // The table alone would copy its current cell: the copy keys copy the selected rows.
        if (pKey->matches(QKeySequence::Copy) ||
            (pKey->key() == Qt::Key_Insert && pKey->modifiers() == Qt::ControlModifier)) {
            CopyRows(true);
            return true;
        }
        if (pKey->key() == Qt::Key_Delete && pKey->modifiers() == Qt::NoModifier) {
            emit deletePressed();
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}
