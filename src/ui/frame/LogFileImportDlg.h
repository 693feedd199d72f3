#pragma once

#include "io/LogImportSettings.h"

#include <QDialog>

#include <string>

class CSettingsStore;
class QCheckBox;
class QLineEdit;

// "Import From Log File: Settings": which visitors of a web log to import. The
// conditions are read from the store when the dialog is made; OK stores them and
// builds the pattern list the import filters with, and whether the imported
// addresses are looked up ("Lookup After Import", off until the user ticks it).
class CLogFileImportDlg : public QDialog
{
    Q_OBJECT
public:
    CLogFileImportDlg(CSettingsStore& store, QWidget* pParent = nullptr);

    const CLogImportSettings& GetSettings() const { return m_settings; }
    // Valid after OK.
    const std::string& GetPatterns() const { return m_strPatterns; }
    bool IsLookupAfterImport() const;

    QCheckBox* GetErrorCheck() const { return m_pError; }
    QCheckBox* GetExploitCheck() const { return m_pExploit; }
    QCheckBox* GetDownloadCheck() const { return m_pDownload; }
    QCheckBox* GetCustomCheck() const { return m_pCustom; }
    QLineEdit* GetDownloadEdit() const { return m_pDownloadFile; }
    QLineEdit* GetCustomEdit() const { return m_pCustomText; }
    QCheckBox* GetLookupCheck() const { return m_pLookup; }

    void accept() override;

private:
    void UpdateEditStates();

    CSettingsStore& m_store;
    CLogImportSettings m_settings;
    std::string m_strPatterns;
    QCheckBox* m_pError;
    QCheckBox* m_pExploit;
    QCheckBox* m_pDownload;
    QCheckBox* m_pCustom;
    QLineEdit* m_pDownloadFile;
    QLineEdit* m_pCustomText;
    QCheckBox* m_pLookup;
};
