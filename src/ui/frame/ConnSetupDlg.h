#pragma once

#include "sched/ConnSettings.h"
#include "sched/RdapSettings.h"

#include <QDialog>
#include <QString>

#include <functional>

class CSettingsStore;
class QCheckBox;
class QRadioButton;
class QLineEdit;

// "Connection and Other Settings": the eight lookup settings, the whois source and
// the RDAP bootstrap file. The values are read from the store when the dialog is
// made; OK checks every number, writes all of them and closes; Cancel writes nothing.
class CConnSetupDlg : public QDialog
{
    Q_OBJECT
public:
    CConnSetupDlg(CSettingsStore& store, QWidget* pParent = nullptr);

    const CConnSettings& GetSettings() const { return m_settings; }
    const CRdapSettings& GetRdapSettings() const { return m_rdap; }

    QLineEdit* GetRescanGapEdit() const { return m_pRescanGap; }
    QLineEdit* GetWhoisLimitEdit() const { return m_pWhoisLimit; }
    QLineEdit* GetDnsLimitEdit() const { return m_pDnsLimit; }
    QLineEdit* GetTraceLimitEdit() const { return m_pTraceLimit; }
    QLineEdit* GetPingLimitEdit() const { return m_pPingLimit; }
    QLineEdit* GetIntervalEdit() const { return m_pInterval; }
    QCheckBox* GetTraceHostsCheck() const { return m_pTraceHosts; }
    QCheckBox* GetConvertHostsCheck() const { return m_pConvertHosts; }
    QCheckBox* GetPacePerRegistryCheck() const { return m_pPacePerRegistry; }
    QRadioButton* GetRdapRadio() const { return m_pRdap; }
    QLineEdit* GetBootstrapEdit() const { return m_pBootstrap; }

    // How a rejected number is reported; a message box unless replaced (tests).
    void SetPromptFunction(std::function<void(const QString&)> fn) { m_fnPrompt = std::move(fn); }

    static bool ParseUnsigned(const QString& strText, uint32_t& nValue);
    static bool ParseSigned(const QString& strText, int& nValue);

    void accept() override;

private:
    bool TakeValues();

    CSettingsStore& m_store;
    CConnSettings m_settings;
    CRdapSettings m_rdap;
    QLineEdit* m_pRescanGap;
    QLineEdit* m_pWhoisLimit;
    QLineEdit* m_pDnsLimit;
    QLineEdit* m_pTraceLimit;
    QLineEdit* m_pPingLimit;
    QLineEdit* m_pInterval;
    QCheckBox* m_pTraceHosts;
    QCheckBox* m_pConvertHosts;
    QCheckBox* m_pPacePerRegistry = nullptr;
    QRadioButton* m_pPort43;
    QRadioButton* m_pRdap;
    QLineEdit* m_pBootstrap;
    std::function<void(const QString&)> m_fnPrompt;
};
