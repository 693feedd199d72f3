#include "ui/frame/LookupOptionsDlg.h"

#include "ui/frame/FrameTexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace FT = FrameTexts;

CLookupOptionsDlg::CLookupOptionsDlg(int nSelectedRows, const CLookupChoice& initial, QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(tr(FT::kOptionsTitle));

    auto* pRowsGroup = new QGroupBox(tr(FT::kOptionsGroupRows), this);
    auto* pRowsLayout = new QVBoxLayout(pRowsGroup);
    const char* rowTexts[3] = {FT::kOptionsRowsSelected, FT::kOptionsRowsAll, FT::kOptionsRowsNever};
    for (int i = 0; i < 3; ++i) {
        m_pRows[i] = new QRadioButton(tr(rowTexts[i]), pRowsGroup);
        pRowsLayout->addWidget(m_pRows[i]);
    }
    CLookupChoice::ERows eRows = initial.m_eRows;
    if (nSelectedRows <= 0) {
        m_pRows[CLookupChoice::rowsSelected]->setEnabled(false);
        if (eRows == CLookupChoice::rowsSelected)
            eRows = CLookupChoice::rowsAll;
    }
    m_pRows[eRows]->setChecked(true);

    auto* pKindsGroup = new QGroupBox(tr(FT::kOptionsGroupKinds), this);
    auto* pKindsLayout = new QVBoxLayout(pKindsGroup);
    const char* kindTexts[kLookupKindCount] = {FT::kOptionsWhois, FT::kOptionsHostName, FT::kOptionsPing,
                                               FT::kOptionsTrace};
    for (int k = 0; k < kLookupKindCount; ++k) {
        m_pKinds[k] = new QCheckBox(tr(kindTexts[k]), pKindsGroup);
        m_pKinds[k]->setChecked(initial.m_bKinds[size_t(k)]);
        pKindsLayout->addWidget(m_pKinds[k]);
        connect(m_pKinds[k], &QCheckBox::toggled, this, &CLookupOptionsDlg::UpdateOk);
    }

    m_pSkipFresh = new QCheckBox(tr(FT::kOptionsSkipFresh), this);
    m_pSkipFresh->setChecked(initial.m_bSkipFresh);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pOk = pButtons->button(QDialogButtonBox::Ok);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CLookupOptionsDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CLookupOptionsDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pRowsGroup);
    pLayout->addWidget(pKindsGroup);
    pLayout->addWidget(m_pSkipFresh);
    pLayout->addWidget(pButtons);
    UpdateOk();
}

void CLookupOptionsDlg::UpdateOk()
{
    m_pOk->setEnabled(GetChoice().AnyKind());
}

CLookupChoice CLookupOptionsDlg::GetChoice() const
{
    CLookupChoice choice;
    for (int i = 0; i < 3; ++i)
        if (m_pRows[i]->isChecked())
            choice.m_eRows = CLookupChoice::ERows(i);
    for (int k = 0; k < kLookupKindCount; ++k)
        choice.m_bKinds[size_t(k)] = m_pKinds[k]->isChecked();
    choice.m_bSkipFresh = m_pSkipFresh->isChecked();
    return choice;
}

QRadioButton* CLookupOptionsDlg::GetRowsButton(CLookupChoice::ERows eRows) const
{
    return eRows >= 0 && eRows < 3 ? m_pRows[eRows] : nullptr;
}

QCheckBox* CLookupOptionsDlg::GetKindCheck(int nKind) const
{
    return nKind >= 0 && nKind < kLookupKindCount ? m_pKinds[nKind] : nullptr;
}
