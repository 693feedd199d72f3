#include "ui/lists/IPListBar.h"

#include "core/IPAddressData.h"
#include "core/NetloreDoc.h"
#include "core/ProgramSettings.h"
#include "core/SettingsLoader.h"
#include "core/SettingsStore.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/ListTexts.h"

#include <QAction>
#include <QFontMetrics>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cstdio>

namespace {

// The main view keeps at least this much of the window beside a docked bar.
constexpr int kViewRoom = 160;
// A floating bar shows this many rows.
constexpr int kFloatRows = 16;

} // namespace

static_assert(ProgramSettings::kDisplayMode.m_nDefault == ListTexts::kModeQuad, "the list starts in dotted quads");

CIPListBar::CIPListBar(CSettingsStore& store, const QString& strTitle, QWidget* pParent, QSize szDefault,
                       bool bHasGripper, int nBarId)
    : CListBar(ListTexts::kIPListName, store, strTitle, pParent, szDefault, bHasGripper, nBarId)
    , m_nDisplayMode(CSettingsLoader(store).Get(ProgramSettings::kDisplayMode))
    , m_pMenu(new QMenu(this))
    , m_pLookupItem(new QAction(QString::fromLatin1(ListTexts::kMenuLookupSelected), this))
{
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
    if (bChanged)
        FitToMode();
}

bool CIPListBar::LoadState(CSettingsStore& store, const std::string& strProfile)
{
    const bool bVisible = CListBar::LoadState(store, strProfile);
    if (!IsVertWidthStored())
        FitVertWidth();
    if (!IsFloatSizeStored())
        FitFloatSize();
    if (!IsVertWidthStored() || !IsFloatSizeStored())
        ApplyRememberedSize();
    return bVisible;
}

int CIPListBar::FittedWidth(int nMode) const
{
    // Every digit at its widest: proportional faces differ in digit widths.
    const std::string strWidest = CBigListCtrl::StripCellTags(FormatAddress(0xFFFFFFFFu, "255.255.255.255", nMode));
    const CBigListCtrl* pList = GetList();
    const QFontMetrics fm(pList->GetListFont());
    int nText = 0;
    for (const char* pszDigits : {"0", "1", "2", "5", "8", "F"}) {
        std::string s = strWidest;
        for (char& c : s)
            if (c != ' ' && c != '.')
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
    std::string strText = FormatAddress(pRecord->GetIPAddressNumber(), pRecord->IPAddressView(), m_nDisplayMode);
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
