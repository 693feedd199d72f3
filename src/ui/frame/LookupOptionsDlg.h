#pragma once

#include "sched/LookupChoice.h"

#include <QDialog>

class QAbstractButton;
class QCheckBox;
class QPushButton;
class QRadioButton;

// F8, "Lookup (With Options)": which rows (selected, all, or those never looked
// up), which lookups (several at once) and whether fresh results are kept. With no
// row selected, "selected" cannot be chosen; OK needs at least one lookup.
class CLookupOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    CLookupOptionsDlg(int nSelectedRows, const CLookupChoice& initial = CLookupChoice(), QWidget* pParent = nullptr);

    // What the dialog shows now (after OK: what was chosen).
    CLookupChoice GetChoice() const;

    QRadioButton* GetRowsButton(CLookupChoice::ERows eRows) const;
    QCheckBox* GetKindCheck(int nKind) const;
    QCheckBox* GetSkipFreshCheck() const { return m_pSkipFresh; }
    QPushButton* GetOkButton() const { return m_pOk; }

private:
    void UpdateOk();

    QRadioButton* m_pRows[3] = {};
    QCheckBox* m_pKinds[kLookupKindCount] = {};
    QCheckBox* m_pSkipFresh = nullptr;
    QPushButton* m_pOk = nullptr;
};
