#include "ui/frame/ConnSetupDlg.h"
#include "core/settings/MemorySettingsStore.h"
#include "ui/frame/LogFileImportDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

TEST(ConnSetupDlg, FirstRunShowsTheDefaults)
{
    CMemorySettingsStore store;
    CConnSetupDlg dlg(store);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Connection and Other Settings"));
    EXPECT_EQ(dlg.GetRescanGapEdit()->text(), QStringLiteral("1440"));
    EXPECT_EQ(dlg.GetWhoisLimitEdit()->text(), QStringLiteral("3"));
    EXPECT_EQ(dlg.GetDnsLimitEdit()->text(), QStringLiteral("8"));
    EXPECT_EQ(dlg.GetTraceLimitEdit()->text(), QStringLiteral("3"));
    EXPECT_EQ(dlg.GetPingLimitEdit()->text(), QStringLiteral("3"));
    EXPECT_EQ(dlg.GetIntervalEdit()->text(), QStringLiteral("10"));
    EXPECT_FALSE(dlg.GetTraceHostsCheck()->isChecked());
    EXPECT_TRUE(dlg.GetConvertHostsCheck()->isChecked());
}

TEST(ConnSetupDlg, OkChecksNumbersAndWritesAllEight)
{
    CMemorySettingsStore store;
    CConnSetupDlg dlg(store);
    QStringList prompts;
    dlg.SetPromptFunction([&](const QString& s) { prompts << s; });

    dlg.GetRescanGapEdit()->setText(QStringLiteral("-5"));
    dlg.accept();
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_EQ(prompts.value(0), QStringLiteral("Please enter a positive integer."));
    EXPECT_EQ(store.GetProfileInt("Settings", "Rescan Gap", -99), -99);

    dlg.GetRescanGapEdit()->setText(QStringLiteral("0"));
    dlg.GetPingLimitEdit()->setText(QStringLiteral("three"));
    dlg.accept();
    EXPECT_EQ(prompts.value(1), QStringLiteral("Please enter an integer."));
    EXPECT_EQ(store.GetProfileInt("Settings", "Rescan Gap", -99), -99);

    dlg.GetPingLimitEdit()->setText(QStringLiteral("3"));
    dlg.GetDnsLimitEdit()->setText(QStringLiteral("2"));
    dlg.GetTraceHostsCheck()->setChecked(true);
    dlg.accept();
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    EXPECT_EQ(store.GetProfileInt("Settings", "Rescan Gap", -99), 0);
    EXPECT_EQ(store.GetProfileInt("Settings", "DNS Simul Connections", 0), 2);
    EXPECT_EQ(store.GetProfileInt("Settings", "IP Whois Interval", 0), 10);
    EXPECT_EQ(store.GetProfileInt("Settings", "Trace Host Lookup", 0), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Convert Host Names", 0), 1);
}

// Pacing per registry is on unless the settings say 0, and it is written only when
// the box changes, so a value set in the settings file alone stays as it is.
TEST(ConnSetupDlg, PacePerRegistryIsWrittenOnlyWhenChanged)
{
    CMemorySettingsStore store;
    {
        CConnSetupDlg dlg(store);
        EXPECT_TRUE(dlg.GetPacePerRegistryCheck()->isChecked());
        dlg.accept();
        EXPECT_EQ(store.GetProfileInt("Settings", "Pace Per Registry", -1), -1);
    }
    {
        CConnSetupDlg dlg(store);
        dlg.GetPacePerRegistryCheck()->setChecked(false);
        dlg.accept();
        EXPECT_EQ(store.GetProfileInt("Settings", "Pace Per Registry", -1), 0);
    }
    CConnSetupDlg dlg(store);
    EXPECT_FALSE(dlg.GetPacePerRegistryCheck()->isChecked());
}

// A limit below 1 would stop its kind of lookup for good: refused, naming the field.
TEST(ConnSetupDlg, ALimitBelowOneIsRefusedNamingItsField)
{
    CMemorySettingsStore store;
    CConnSetupDlg dlg(store);
    QStringList prompts;
    dlg.SetPromptFunction([&](const QString& s) { prompts << s; });
    const std::pair<QLineEdit*, const char*> cases[] = {
        {dlg.GetWhoisLimitEdit(), "\"IP Whois Lookups\" must be at least 1."},
        {dlg.GetWhoisLimitEdit(), "\"IP Whois Lookups\" must be at least 1."},
        {dlg.GetTraceLimitEdit(), "\"Traceroutes\" must be at least 1."},
        {dlg.GetPingLimitEdit(), "\"Ping Checks\" must be at least 1."}};
    const char* values[] = {"0", "-5", "0", "-1"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const QString strOld = cases[i].first->text();
        cases[i].first->setText(QString::fromLatin1(values[i]));
        dlg.accept();
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(prompts.value(int(i)), QString::fromLatin1(cases[i].second));
        EXPECT_EQ(store.GetProfileInt("Settings", "IP Whois Simul Connections", -99), -99);
        cases[i].first->setText(strOld);
    }
    dlg.GetWhoisLimitEdit()->setText(QStringLiteral("1"));
    dlg.accept();
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    EXPECT_EQ(store.GetProfileInt("Settings", "IP Whois Simul Connections", -99), 1);
}

TEST(ConnSetupDlg, CancelWritesNothing)
{
    CMemorySettingsStore store;
    CConnSetupDlg dlg(store);
    dlg.GetWhoisLimitEdit()->setText(QStringLiteral("7"));
    dlg.reject();
    EXPECT_EQ(store.GetProfileInt("Settings", "IP Whois Simul Connections", -99), -99);
}

TEST(LogFileImportDlg, EditFieldsFollowTheirBoxesAndOkBuildsThePatterns)
{
    CMemorySettingsStore store;
    store.WriteProfileInt("Settings", "Log File Download", 1);
    store.WriteProfileString("Settings", "Log File Download File", "/private/report.pdf");
    CLogFileImportDlg dlg(store);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Import From Log File: Settings"));
    EXPECT_TRUE(dlg.GetDownloadEdit()->isEnabled());
    EXPECT_FALSE(dlg.GetCustomEdit()->isEnabled());

    dlg.GetCustomCheck()->click();
    EXPECT_TRUE(dlg.GetCustomEdit()->isEnabled());
    dlg.GetCustomEdit()->setText(QStringLiteral("cltreq|"));
    dlg.GetErrorCheck()->click();
    dlg.accept();
    EXPECT_EQ(dlg.GetPatterns(), "\" 404 |/private/report.pdf|cltreq|");
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Error", 0), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Custom", 0), 1);
}

TEST(ConnSetupDlg, WhoisSourceAndBootstrapFileAreKeptInSectionRdap)
{
    CMemorySettingsStore store;
    store.WriteProfileString("RDAP", "CA File", "/etc/private-ca.pem");
    {
        CConnSetupDlg dlg(store);
        EXPECT_FALSE(dlg.GetRdapRadio()->isChecked());
        EXPECT_EQ(dlg.GetBootstrapEdit()->text(), "");
        dlg.GetRdapRadio()->setChecked(true);
        dlg.GetBootstrapEdit()->setText("  /srv/rdap/ipv4.json ");
        dlg.accept();
    }
    EXPECT_EQ(store.GetProfileInt("RDAP", "Use RDAP", -1), 1);
    EXPECT_EQ(store.GetProfileString("RDAP", "Bootstrap File"), "/srv/rdap/ipv4.json");
    // A value the dialog does not show stays as it was.
    EXPECT_EQ(store.GetProfileString("RDAP", "CA File"), "/etc/private-ca.pem");

    CConnSetupDlg again(store);
    EXPECT_TRUE(again.GetRdapRadio()->isChecked());
    EXPECT_EQ(again.GetBootstrapEdit()->text(), "/srv/rdap/ipv4.json");
}
