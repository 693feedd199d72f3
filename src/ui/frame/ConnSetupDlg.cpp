#include "ui/frame/ConnSetupDlg.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "ui/frame/FrameTexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <limits>

namespace FT = FrameTexts;

namespace {

QLineEdit* NumberEdit(QWidget* pParent, long long nValue)
{
    auto* pEdit = new QLineEdit(QString::number(nValue), pParent);
    pEdit->setMaximumWidth(70);
    return pEdit;
}

} // namespace

CConnSetupDlg::CConnSetupDlg(CSettingsStore& store, QWidget* pParent)
    : QDialog(pParent)
    , m_store(store)
    , m_settings(LoadConnSettings(store))
    , m_rdap(LoadRdapSettings(store))
{
    setWindowTitle(tr(FT::kConnTitle));
    m_pRescanGap = NumberEdit(this, m_settings.m_dwRescanGap);
    m_pWhoisLimit = NumberEdit(this, m_settings.m_nWhoisLimit);
    m_pDnsLimit = NumberEdit(this, m_settings.m_nDnsLimit);
    m_pTraceLimit = NumberEdit(this, m_settings.m_nTraceLimit);
    m_pPingLimit = NumberEdit(this, m_settings.m_nPingLimit);
    m_pInterval = NumberEdit(this, m_settings.m_nWhoisInterval);
    m_pTraceHosts = new QCheckBox(tr(FT::kConnTraceHosts), this);
    m_pTraceHosts->setChecked(m_settings.m_bTraceHostLookup);
    m_pConvertHosts = new QCheckBox(tr(FT::kConnConvertHosts), this);
    m_pConvertHosts->setChecked(m_settings.m_bConvertHostNames);
    m_pPacePerRegistry = new QCheckBox(tr(FT::kConnPacePerRegistry), this);
    m_pPacePerRegistry->setChecked(m_settings.m_bPacePerRegistry);

    auto* pRescan = new QGroupBox(tr(FT::kConnGroupRescan), this);
    auto* pRescanRow = new QHBoxLayout(pRescan);
    pRescanRow->addWidget(new QLabel(tr(FT::kConnRescanBefore), pRescan));
    pRescanRow->addWidget(m_pRescanGap);
    pRescanRow->addWidget(new QLabel(tr(FT::kConnRescanAfter), pRescan));

    auto* pLimits = new QGroupBox(tr(FT::kConnGroupLimits), this);
    auto* pGrid = new QGridLayout(pLimits);
    const std::pair<const char*, QLineEdit*> limits[] = {{FT::kConnWhoisLimit, m_pWhoisLimit},
                                                         {FT::kConnDnsLimit, m_pDnsLimit},
                                                         {FT::kConnTraceLimit, m_pTraceLimit},
                                                         {FT::kConnPingLimit, m_pPingLimit}};
    int nRow = 0;
    for (const auto& [pszLabel, pEdit] : limits) {
        pGrid->addWidget(new QLabel(tr(pszLabel), pLimits), nRow, 0);
        pGrid->addWidget(pEdit, nRow++, 1);
    }

    auto* pInterval = new QGroupBox(tr(FT::kConnGroupInterval), this);
    auto* pIntervalBox = new QVBoxLayout(pInterval);
    auto* pIntervalRow = new QHBoxLayout();
    pIntervalBox->addLayout(pIntervalRow);
    pIntervalRow->addWidget(m_pInterval);
    pIntervalRow->addWidget(new QLabel(tr(FT::kConnIntervalAfter), pInterval));
    pIntervalRow->addStretch(1);
    pIntervalBox->addWidget(m_pPacePerRegistry);

    auto* pSource = new QGroupBox(tr(FT::kConnGroupSource), this);
    auto* pSourceRows = new QVBoxLayout(pSource);
    m_pPort43 = new QRadioButton(tr(FT::kConnSourcePort43), pSource);
    m_pRdap = new QRadioButton(tr(FT::kConnSourceRdap), pSource);
    (m_rdap.m_bUseRdap ? m_pRdap : m_pPort43)->setChecked(true);
    m_pBootstrap = new QLineEdit(QString::fromLocal8Bit(m_rdap.m_strBootstrapFile.c_str()), pSource);
    pSourceRows->addWidget(m_pPort43);
    pSourceRows->addWidget(m_pRdap);
    pSourceRows->addWidget(new QLabel(tr(FT::kConnBootstrap), pSource));
    pSourceRows->addWidget(m_pBootstrap);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CConnSetupDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CConnSetupDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pRescan);
    pLayout->addWidget(pLimits);
    pLayout->addWidget(pInterval);
    pLayout->addWidget(pSource);
    pLayout->addWidget(m_pTraceHosts);
    pLayout->addWidget(m_pConvertHosts);
    pLayout->addWidget(pButtons);

    m_fnPrompt = [this](const QString& strText) { QMessageBox::warning(this, windowTitle(), strText); };
}

bool CConnSetupDlg::ParseUnsigned(const QString& strText, uint32_t& nValue)
{
    bool bOk = false;
    const qulonglong n = strText.trimmed().toULongLong(&bOk);
    if (!bOk || n > std::numeric_limits<uint32_t>::max() || strText.trimmed().startsWith(QLatin1Char('-')))
        return false;
    nValue = uint32_t(n);
    return true;
}

bool CConnSetupDlg::ParseSigned(const QString& strText, int& nValue)
{
    bool bOk = false;
    const int n = strText.trimmed().toInt(&bOk);
    if (!bOk)
        return false;
    nValue = n;
    return true;
}

bool CConnSetupDlg::TakeValues()
{
    CConnSettings s = m_settings;
    if (!ParseUnsigned(m_pRescanGap->text(), s.m_dwRescanGap)) {
        m_fnPrompt(tr(FT::kPromptPositiveInteger));
        m_pRescanGap->setFocus();
        m_pRescanGap->selectAll();
        return false;
    }
    // In the order the values are exchanged with their boxes.
    const std::pair<QLineEdit*, int*> edits[] = {{m_pInterval, &s.m_nWhoisInterval},
                                                 {m_pPingLimit, &s.m_nPingLimit},
                                                 {m_pTraceLimit, &s.m_nTraceLimit},
                                                 {m_pDnsLimit, &s.m_nDnsLimit},
                                                 {m_pWhoisLimit, &s.m_nWhoisLimit}};
    for (const auto& [pEdit, pnValue] : edits) {
        if (!ParseSigned(pEdit->text(), *pnValue)) {
            m_fnPrompt(tr(FT::kPromptInteger));
            pEdit->setFocus();
            pEdit->selectAll();
            return false;
        }
    }
    const std::pair<QLineEdit*, const char*> limits[] = {{m_pWhoisLimit, FT::kConnWhoisLimit},
                                                         {m_pDnsLimit, FT::kConnDnsLimit},
                                                         {m_pTraceLimit, FT::kConnTraceLimit},
                                                         {m_pPingLimit, FT::kConnPingLimit}};
    for (const auto& [pEdit, pszLabel] : limits) {
        int nLimit = 0;
        if (ParseSigned(pEdit->text(), nLimit) && nLimit < 1) {
            m_fnPrompt(tr(FT::kPromptLimitAtLeastOne).arg(tr(pszLabel)));
            pEdit->setFocus();
            pEdit->selectAll();
            return false;
        }
    }
    s.m_bTraceHostLookup = m_pTraceHosts->isChecked();
    s.m_bConvertHostNames = m_pConvertHosts->isChecked();
    s.m_bPacePerRegistry = m_pPacePerRegistry->isChecked();
    m_settings = s;
    m_rdap.m_bUseRdap = m_pRdap->isChecked();
    m_rdap.m_strBootstrapFile = m_pBootstrap->text().trimmed().toLocal8Bit().toStdString();
    return true;
}

void CConnSetupDlg::accept()
{
    const bool bPaceBefore = m_settings.m_bPacePerRegistry;
    if (!TakeValues())
        return;
    SaveConnSettings(m_store, m_settings);
    // Written only when changed: the stored value may also come from a settings file alone.
    if (m_settings.m_bPacePerRegistry != bPaceBefore)
        CSettingsLoader(m_store).Set(ProgramSettings::kPacePerRegistry, m_settings.m_bPacePerRegistry);
    SaveRdapSettings(m_store, m_rdap);
    QDialog::accept();
}
