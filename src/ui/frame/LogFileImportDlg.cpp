#include "ui/frame/LogFileImportDlg.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "io/IoTexts.h"
#include "ui/TextConv.h"
#include "ui/frame/FrameTexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CLogFileImportDlg::CLogFileImportDlg(CSettingsStore& store, QWidget* pParent)
    : QDialog(pParent)
    , m_store(store)
{
    m_settings.Load(store);
    setWindowTitle(tr(IoTexts::kLogDialogTitle));

    auto* pGroup = new QGroupBox(tr(IoTexts::kLogDialogGroup), this);
    m_pError = new QCheckBox(tr(IoTexts::kLogDialogError), pGroup);
    m_pExploit = new QCheckBox(tr(IoTexts::kLogDialogExploit), pGroup);
    m_pDownload = new QCheckBox(tr(IoTexts::kLogDialogDownload), pGroup);
    m_pDownloadFile = new QLineEdit(ToQString(m_settings.m_strDownloadFile), pGroup);
    m_pCustom = new QCheckBox(tr(IoTexts::kLogDialogCustom), pGroup);
    m_pCustomText = new QLineEdit(ToQString(m_settings.m_strCustomText), pGroup);
    m_pError->setChecked(m_settings.m_bError);
    m_pExploit->setChecked(m_settings.m_bExploit);
    m_pDownload->setChecked(m_settings.m_bDownload);
    m_pCustom->setChecked(m_settings.m_bCustom);

    auto* pGroupLayout = new QVBoxLayout(pGroup);
    pGroupLayout->addWidget(m_pError);
    pGroupLayout->addWidget(m_pExploit);
    pGroupLayout->addWidget(m_pDownload);
    pGroupLayout->addWidget(m_pDownloadFile);
    pGroupLayout->addWidget(m_pCustom);
    pGroupLayout->addWidget(m_pCustomText);

    m_pLookup = new QCheckBox(tr(FrameTexts::kLookupAfterImport), this);
    m_pLookup->setChecked(CSettingsLoader(store).Get(ProgramSettings::kLookupAfterImport));

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CLogFileImportDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CLogFileImportDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pGroup);
    pLayout->addWidget(new QLabel(tr(IoTexts::kLogDialogNote), this));
    pLayout->addWidget(m_pLookup);
    pLayout->addWidget(pButtons);

    connect(m_pDownload, &QCheckBox::clicked, this, &CLogFileImportDlg::UpdateEditStates);
    connect(m_pCustom, &QCheckBox::clicked, this, &CLogFileImportDlg::UpdateEditStates);
    UpdateEditStates();
}

void CLogFileImportDlg::UpdateEditStates()
{
    m_pDownloadFile->setEnabled(m_pDownload->isChecked());
    m_pCustomText->setEnabled(m_pCustom->isChecked());
}

void CLogFileImportDlg::accept()
{
    m_settings.m_bError = m_pError->isChecked();
    m_settings.m_bExploit = m_pExploit->isChecked();
    m_settings.m_bDownload = m_pDownload->isChecked();
    m_settings.m_strDownloadFile = ToStdString(m_pDownloadFile->text());
    m_settings.m_bCustom = m_pCustom->isChecked();
    m_settings.m_strCustomText = ToStdString(m_pCustomText->text());
    m_settings.Save(m_store);
    CSettingsLoader(m_store).Set(ProgramSettings::kLookupAfterImport, m_pLookup->isChecked());
    m_strPatterns = m_settings.ImportPatterns();
    QDialog::accept();
}

bool CLogFileImportDlg::IsLookupAfterImport() const
{
    return m_pLookup->isChecked();
}
