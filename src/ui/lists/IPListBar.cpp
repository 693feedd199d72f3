#include "ui/lists/IPListBar.h"

#include "core/IPAddressData.h"
#include "core/NetloreDoc.h"
#include "core/ProgramSettings.h"
#include "core/SettingsLoader.h"
#include "core/SettingsStore.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/ListTexts.h"

#include <QAction>
#include <QMenu>

#include <cstdio>

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
    return FormatAddress(pRecord->GetIPAddressNumber(), pRecord->IPAddressView(), m_nDisplayMode);
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
