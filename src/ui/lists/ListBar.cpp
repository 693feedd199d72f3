#include "ui/lists/ListBar.h"

#include "ui/TextConv.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/BigListModel.h"
#include "ui/lists/ListTexts.h"

#include <QAction>
#include <QEvent>

CListBar::CListBar(const std::string& strListName, CSettingsStore& store, const QString& strTitle, QWidget* pParent,
                   QSize szDefault, bool bHasGripper, int nBarId)
    : CSizingControlBar(strTitle, pParent, szDefault, bHasGripper, nBarId)
    , m_strListName(strListName)
    , m_store(store)
    , m_pList(new CBigListCtrl(this))
    , m_pCopySelected(new QAction(QString::fromLatin1(ListTexts::kMenuCopySelectedRows), this))
    , m_pCopyTable(new QAction(QString::fromLatin1(ListTexts::kMenuCopyTable), this))
{
    m_pList->setObjectName(QStringLiteral("list-%1").arg(ListTexts::kIdList));
    m_pList->SetOwner(this);
    m_pList->SetSettingsStore(&m_store);
    m_pList->SetShowSelectionAlways(true);
    m_pList->SetSelectionCommand(ListTexts::kCmdListRowSelected);
    m_pList->SetEmptyText(ListTexts::kIPListEmptyText);
    m_pList->LoadListSettings(m_strListName);
    setWidget(m_pList);
    m_pList->AddColumn(m_strListName, m_pList->viewport()->width(), Qt::AlignLeft);
    m_pList->viewport()->installEventFilter(this);

    connect(m_pList, &CBigListCtrl::commandIssued, this, &CListBar::OnListCommand);
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CListBar::UpdateCommandStates);
    connect(m_pList->GetModel(), &QAbstractItemModel::rowsInserted, this, &CListBar::UpdateCommandStates);
    connect(m_pList->GetModel(), &QAbstractItemModel::rowsRemoved, this, &CListBar::UpdateCommandStates);
    connect(m_pCopySelected, &QAction::triggered, this, [this] { CopyRows(true); });
    connect(m_pCopyTable, &QAction::triggered, this, [this] { CopyRows(false); });
    UpdateCommandStates();
}

CListBar::~CListBar()
{
    // The list outlives this part of the bar (the dock deletes it later): it must
    // neither ask this bar for texts nor signal it from now on.
    m_pList->viewport()->removeEventFilter(this);
    m_pList->SetOwner(nullptr);
    m_pList->disconnect(this);
    m_pList->selectionModel()->disconnect(this);
    m_pList->GetModel()->disconnect(this);
}

void CListBar::OnRowSelected(const std::string&) { }

std::string CListBar::GetRowText(int)
{
    return {};
}

std::string CListBar::GetCellText(int nRow, int nColumn)
{
    return nColumn == 0 ? GetRowText(nRow) : std::string();
}

bool CListBar::CopyRows(bool bSelectedOnly)
{
    return bSelectedOnly ? m_pList->CopySelectedRows() : m_pList->CopyTable();
}

bool CListBar::HasSelectedRows() const
{
    return m_pList->selectionModel()->hasSelection();
}

bool CListBar::HasRows() const
{
    return m_pList->GetRowCount() > 0;
}

void CListBar::UpdateCommandStates()
{
    m_pCopySelected->setEnabled(HasSelectedRows());
    m_pCopyTable->setEnabled(HasRows());
}

bool CListBar::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pList->viewport() && pEvent->type() == QEvent::Resize)
        m_pList->SetColumnWidth(0, m_pList->viewport()->width());
    return CSizingControlBar::eventFilter(pWatched, pEvent);
}

void CListBar::OnListCommand(int nCommandId)
{
    if (nCommandId != ListTexts::kCmdListRowSelected)
        return;
    const std::vector<std::string> texts = m_pList->GetSelectedTexts(0);
    if (!texts.empty())
        OnRowSelected(texts.front());
}
