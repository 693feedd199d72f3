#include "ui/lists/IPEntryDlgBar.h"

#include "core/settings/SettingsStore.h"
#include "ui/TextConv.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr const char* kSection = "IP Entry List";
constexpr const char* kCount = "Count";

} // namespace

CIPEntryDlgBar::CIPEntryDlgBar(CSettingsStore& store, QWidget* pParent)
    : QWidget(pParent)
    , m_store(store)
    , m_pCombo(new QComboBox(this))
    , m_pLookup(new QPushButton(tr("Lookup"), this))
{
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(4, 2, 4, 2);
    auto* pLabel = new QLabel(tr("IP Address:"), this);
    pLabel->setBuddy(m_pCombo);
    m_pCombo->setEditable(true);
    m_pCombo->setInsertPolicy(QComboBox::NoInsert);
    m_pCombo->setMinimumContentsLength(18);
    m_pCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pCombo->setObjectName(QStringLiteral("ipEntryCombo"));
    m_pLookup->setObjectName(QStringLiteral("ipEntryLookup"));
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pCombo, 1);
    pLayout->addWidget(m_pLookup);
    connect(m_pLookup, &QPushButton::clicked, this, &CIPEntryDlgBar::lookupClicked);
    connect(m_pCombo->lineEdit(), &QLineEdit::returnPressed, m_pLookup, &QPushButton::click);
}

void CIPEntryDlgBar::LoadEntryHistory()
{
    LoadHistory(m_store, kSection, *m_pCombo);
}

bool CIPEntryDlgBar::TakeEntry(std::string& strText)
{
    const QString strTyped = m_pCombo->currentText().trimmed();
    if (strTyped.isEmpty())
        return false;
    m_beforeTake.clear();
    for (int i = 0; i < m_pCombo->count(); ++i)
        m_beforeTake << m_pCombo->itemText(i);
    m_bTaken = true;
    MoveToTop(*m_pCombo, strTyped, kHistoryLimit);
    // The box shows the entry again after the move; a second move is a no-op unless
    // the list changed the text.
    MoveToTop(*m_pCombo, m_pCombo->currentText().trimmed(), kHistoryLimit);
    SaveHistory(m_store, kSection, *m_pCombo);
    strText = ToStdString(strTyped);
    return true;
}

void CIPEntryDlgBar::ForgetEntry()
{
    if (!m_bTaken)
        return;
    m_bTaken = false;
    const QString strTyped = m_pCombo->currentText();
    m_pCombo->clear();
    m_pCombo->addItems(m_beforeTake);
    m_pCombo->setEditText(strTyped);
    SaveHistory(m_store, kSection, *m_pCombo);
}

void CIPEntryDlgBar::LoadHistory(CSettingsStore& store, const char* pszSection, QComboBox& combo)
{
    const int nCount = std::clamp(store.GetProfileInt(pszSection, kCount, 0), 0, kMaxKeysRead);
    combo.clear();
    for (int i = 1; i <= nCount && combo.count() <= kHistoryLimit; ++i) {
        const std::string s = store.GetProfileString(pszSection, std::to_string(i));
        if (!s.empty())
            combo.addItem(ToQString(s));
    }
}

void CIPEntryDlgBar::SaveHistory(CSettingsStore& store, const char* pszSection, const QComboBox& combo)
{
    for (int i = 0; i < combo.count(); ++i)
        store.WriteProfileString(pszSection, std::to_string(i + 1), ToStdString(combo.itemText(i)));
    store.WriteProfileInt(pszSection, kCount, combo.count());
}

void CIPEntryDlgBar::MoveToTop(QComboBox& combo, const QString& strText, int nLimit)
{
    const QString strTrimmed = strText.trimmed();
    if (strTrimmed.isEmpty())
        return;
    const int nFound = combo.findText(strTrimmed, Qt::MatchFixedString);
    if (nFound < 0) {
        if (combo.count() > nLimit)
            combo.removeItem(combo.count() - 1);
    } else {
        combo.removeItem(nFound);
    }
    combo.insertItem(0, strTrimmed);
    combo.setCurrentIndex(0);
}
