#include "ui/lists/IPListBar.h"

#include "core/document/NetloreDoc.h"
#include "core/record/IPAddressData.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"
#include "ui/lists/ListTexts.h"

#include <QAction>
#include <QFontMetrics>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cstdio>

namespace {

// The main view keeps at least this much of the window beside a docked bar.
constexpr int kViewRoom = 160;
// A floating bar shows this many rows.
constexpr int kFloatRows = 16;
// The Details table below the view or floating is at least this large.
constexpr int kDetailsHeight = 240;
constexpr int kDetailsFloatWidth = 720;
constexpr int kDetailsFloatHeight = 360;

} // namespace

static_assert(ProgramSettings::kDisplayMode.m_nDefault == ListTexts::kModeQuad, "the list starts in dotted quads");

CIPListBar::CIPListBar(CSettingsStore& store, const QString& strTitle, QWidget* pParent, QSize szDefault,
                       bool bHasGripper, int nBarId)
    : CListBar(ListTexts::kIPListName, store, strTitle, pParent, szDefault, bHasGripper, nBarId)
    , m_nDisplayMode(CSettingsLoader(store).Get(ProgramSettings::kDisplayMode))
    , m_pMenu(new QMenu(this))
    , m_pLookupItem(new QAction(QString::fromLatin1(ListTexts::kMenuLookupSelected), this))
    , m_pPages(new QStackedWidget(this))
    , m_pDetails(new CDetailsView(m_pPages))
{
    // The list and the Details table share the bar; the mode picks the page.
    setWidget(m_pPages);
    m_pPages->addWidget(GetList());
    m_pPages->addWidget(m_pDetails);
    m_pDetails->LoadColumns(Store());
    ShowModePage();
    QTableView* pTable = m_pDetails->GetTable();
    connect(pTable, &QWidget::customContextMenuRequested, this, [this, pTable](const QPoint& pt) {
        if (m_pDetails->GetShownCount() > 0)
            m_pMenu->popup(pTable->viewport()->mapToGlobal(pt));
    });
    connect(m_pDetails, &CDetailsView::recordSelected, this, [this](int nRecord) {
        if (!m_pDoc)
            return;
        m_pDoc->SetCurrentIndex(nRecord);
        m_pDoc->UpdateAllViews(nullptr);
    });
    connect(m_pDetails, &CDetailsView::selectionChanged, this, [this] {
        UpdateCommandStates();
        emit rowSelectionChanged();
    });
    connect(m_pDetails, &CDetailsView::shownRowsChanged, this, [this] {
        UpdateCommandStates();
        emit shownRowsChanged();
    });
    connect(m_pDetails, &CDetailsView::deletePressed, this, [this] {
        if (m_pDelete && m_pDelete->isEnabled())
            m_pDelete->trigger();
    });
    connect(GetList()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CIPListBar::rowSelectionChanged);

    m_pMenu->setObjectName(QStringLiteral("menu-%1").arg(ListTexts::kIdListMenu));
    m_pMenu->addAction(GetCopySelectedRowsAction());
    m_pMenu->addAction(GetCopyTableAction());
    m_pMenu->addSeparator();
    m_pMenu->addAction(m_pLookupItem);
    m_pLookupItem->setEnabled(false);
    connect(m_pMenu, &QMenu::aboutToShow, this, &CIPListBar::UpdateMenu);
    connect(m_pLookupItem, &QAction::triggered, this, [this] {
        if (m_pLookup)
            m_pLookup->trigger();
    });
    GetList()->SetContextMenu(m_pMenu);
    connect(GetList(), &CBigListCtrl::deletePressed, this, [this] {
        if (m_pDelete && m_pDelete->isEnabled())
            m_pDelete->trigger();
    });
}

CIPListBar::~CIPListBar()
{
    CSettingsLoader(Store()).Set(ProgramSettings::kDisplayMode, m_nDisplayMode);
    m_pDetails->SaveColumns(Store());
    m_pDetails->disconnect(this);
    m_pDetails->SetRecords(nullptr);
}

void CIPListBar::SetDocument(CNetloreDoc* pDoc)
{
    m_pDoc = pDoc;
    m_pDetails->SetRecords(pDoc ? &pDoc->GetData() : nullptr);
}

bool CIPListBar::IsDetailsMode() const
{
    return m_nDisplayMode == ListTexts::kModeDetails;
}

void CIPListBar::ShowModePage()
{
    QWidget* pPage = IsDetailsMode() ? static_cast<QWidget*>(m_pDetails) : GetList();
    m_pPages->setCurrentWidget(pPage);
    // The other modes keep nothing per row.
    if (!IsDetailsMode())
        m_pDetails->GetModel()->ReleaseRows();
    // The list was the dock's own content before the pages took its place, which hid it.
    pPage->show();
}

int CIPListBar::GetShownRowCount() const
{
    return IsDetailsMode() ? m_pDetails->GetShownCount() : GetList()->GetRowCount();
}

int CIPListBar::GetSelectedRowCount() const
{
    return IsDetailsMode() ? m_pDetails->GetSelectedCount() : GetList()->GetSelectedCount();
}

std::vector<int> CIPListBar::GetSelectedRecords() const
{
    // The list's rows are the records in document order.
    return IsDetailsMode() ? m_pDetails->GetSelectedRecords() : GetList()->GetSelectedRows();
}

int CIPListBar::RecordOfRow(int nRow) const
{
    if (IsDetailsMode())
        return m_pDetails->RecordOfRow(nRow);
    return nRow >= 0 && nRow < GetList()->GetRowCount() ? nRow : -1;
}

void CIPListBar::UpdateRows()
{
    if (IsDetailsMode())
        m_pDetails->GetTable()->viewport()->update();
    else
        GetList()->viewport()->update();
}

bool CIPListBar::CopyRows(bool bSelectedOnly)
{
    return IsDetailsMode() ? m_pDetails->CopyRows(bSelectedOnly) : CListBar::CopyRows(bSelectedOnly);
}

bool CIPListBar::HasSelectedRows() const
{
    return IsDetailsMode() ? m_pDetails->GetSelectedCount() > 0 : CListBar::HasSelectedRows();
}

bool CIPListBar::HasRows() const
{
    return IsDetailsMode() ? m_pDetails->GetShownCount() > 0 : CListBar::HasRows();
}

void CIPListBar::SetLookupAction(QAction* pAction)
{
    m_pLookup = pAction;
    UpdateMenu();
}

void CIPListBar::SetDisplayMode(int nMode)
{
    const bool bChanged = nMode != m_nDisplayMode;
    m_nDisplayMode = nMode;
    ShowModePage();
    if (bChanged && IsDetailsMode())
        FitDetailsSize();
    else if (bChanged)
        FitToMode();
    UpdateCommandStates();
}

bool CIPListBar::LoadState(CSettingsStore& store, const std::string& strProfile)
{
    const bool bVisible = CListBar::LoadState(store, strProfile);
    if (!IsVertWidthStored())
        FitVertWidth();
    if (!IsFloatSizeStored())
        FitFloatSize();
    if (IsDetailsMode())
        FitDetailsSize();
    else if (!IsVertWidthStored() || !IsFloatSizeStored())
        ApplyRememberedSize();
    return bVisible;
}

void CIPListBar::FitDetailsSize()
{
    if (GetHorzSize().height() < kDetailsHeight)
        SetHorzSize(QSize(GetHorzSize().width(), kDetailsHeight));
    if (GetFloatSize().width() < kDetailsFloatWidth || GetFloatSize().height() < kDetailsFloatHeight)
        SetFloatSize(QSize(std::max(GetFloatSize().width(), kDetailsFloatWidth),
                           std::max(GetFloatSize().height(), kDetailsFloatHeight)));
    ApplyRememberedSize();
}

int CIPListBar::FittedWidth(int nMode) const
{
    // The table takes what it is given; at the side it starts as wide as the dotted list.
    if (nMode == ListTexts::kModeDetails)
        nMode = ListTexts::kModeQuad;
    // Every digit at its widest: proportional faces differ in digit widths.
    std::string strWidest = CBigListCtrl::StripCellTags(FormatAddress(0xFFFFFFFFu, "255.255.255.255", nMode));
    // Every mode shows an IPv6 record's RFC 5952 text, at most eight groups of four.
    if (m_pDoc) {
        const CIPDataArray& data = m_pDoc->GetData();
        for (int i = 0; i < data.GetSize(); ++i) {
            if (data.GetAt(i)->IsIPv6()) {
                if (strWidest.size() < 39)
                    strWidest = "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff";
                break;
            }
        }
    }
    const CBigListCtrl* pList = GetList();
    const QFontMetrics fm(pList->GetListFont());
    int nText = 0;
    // Hex letters are wider than digits in most faces ("57CDCA0D").
    for (const char* pszDigits : {"0", "1", "2", "5", "8", "A", "B", "C", "D", "E", "F"}) {
        std::string s = strWidest;
        for (char& c : s)
            if (c != ' ' && c != '.' && c != ':')
                c = pszDigits[0];
        nText = std::max(nText, fm.horizontalAdvance(QString::fromLatin1(s)));
    }
    // The row's text margins (as the list draws them), the list's frame and
    // scroll bar, and the dock's frame.
    const int nMargins = 3 * fm.horizontalAdvance(QLatin1Char(' ')) + 2 * pList->frameWidth() +
                         pList->verticalScrollBar()->sizeHint().width() +
                         2 * style()->pixelMetric(QStyle::PM_DockWidgetFrameWidth, nullptr, this) + 4;
    int nWidth = nText + nMargins;
    if (const QWidget* pWindow = parentWidget())
        nWidth = std::min(nWidth, pWindow->width() - kViewRoom);
    return std::max(nWidth, kMinCX);
}

void CIPListBar::FitVertWidth()
{
    SetVertSize(QSize(FittedWidth(m_nDisplayMode), GetVertSize().height()));
}

void CIPListBar::FitFloatSize()
{
    const int nRows = GetList()->GetRowHeight() * kFloatRows;
    SetFloatSize(QSize(FittedWidth(m_nDisplayMode), std::max(GetFloatSize().height(), nRows)));
}

void CIPListBar::FitToMode()
{
    FitVertWidth();
    FitFloatSize();
    ApplyRememberedSize();
}

void CIPListBar::UpdateMenu()
{
    UpdateCommandStates();
    m_pLookupItem->setEnabled(m_pLookup && m_pLookup->isEnabled());
}

void CIPListBar::RefreshList()
{
    if (!m_pDoc)
        return;
    CBigListCtrl* pList = GetList();
    pList->SetRowCount(m_pDoc->GetData().GetSize());
    const int nCurrent = m_pDoc->GetCurrentIndex();
    if (IsDetailsMode()) {
        m_pDetails->Refresh(nCurrent);
        UpdateCommandStates();
        emit shownRowsChanged();
        return;
    }
    if (nCurrent >= 0 && nCurrent < pList->GetRowCount()) {
        pList->DeselectAll();
        pList->SelectRow(nCurrent);
        pList->EnsureRowVisible(nCurrent);
    }
}

void CIPListBar::OnRowSelected(const std::string&)
{
    if (!m_pDoc)
        return;
    m_pDoc->SetCurrentIndex(GetList()->GetSelectedRow());
    m_pDoc->UpdateAllViews(nullptr);
}

std::string CIPListBar::GetRowText(int nRow)
{
    if (!m_pDoc)
        return {};
    const CIPAddressData* pRecord = m_pDoc->GetData().GetAt(nRow);
    if (!pRecord)
        return {};
    // No one reads a 128-bit number: an IPv6 record shows its text in every mode.
    std::string strText = pRecord->IsIPv6()
                              ? pRecord->GetIPAddress()
                              : FormatAddress(pRecord->GetIPAddressNumber(), pRecord->IPAddressView(), m_nDisplayMode);
    // The whole row in the one colour: the mode's own colour tags would cut it up.
    if (m_fnNoAnswer && m_fnNoAnswer(pRecord->GetIPAddress()))
        strText = ListTexts::kNoAnswerColorTag + CBigListCtrl::StripCellTags(strText);
    return strText;
}

std::string CIPListBar::FormatAddress(uint32_t dwAddress, std::string_view strQuad, int nMode)
{
    char sz[40];
    switch (nMode) {
    case ListTexts::kModeBinary: {
        char d[32];
        for (int i = 0; i < 32; ++i)
            d[i] = ((dwAddress >> (31 - i)) & 1u) ? '1' : '0';
        const std::string_view digits(d, 32);
        std::string s;
        s.reserve(52);
        s.append(digits.substr(0, 4)).append(" ").append(digits.substr(4, 4));
        s.append("  <#!1>").append(digits.substr(8, 4)).append(" ").append(digits.substr(12, 4));
        s.append("  <#!0>").append(digits.substr(16, 4)).append(" ").append(digits.substr(20, 4));
        s.append("  <#!1>").append(digits.substr(24, 4)).append(" ").append(digits.substr(28, 4));
        return s;
    }
    case ListTexts::kModeHex:
        std::snprintf(sz, sizeof sz, "%08lX", static_cast<unsigned long>(dwAddress));
        return sz;
    case ListTexts::kModeQuad:
        return std::string(strQuad);
    case ListTexts::kModeDecimal:
        std::snprintf(sz, sizeof sz, "%lu", static_cast<unsigned long>(dwAddress));
        return sz;
    default:
        return {};
    }
}
