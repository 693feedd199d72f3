// F8 "Lookup (With Options)", lookups after an import, and the run's progress in
// the status bar and the tray, driven through the real window against the
// loopback whois server.

#include "MainFrameFixture.h"

#include "core/LookupKind.h"
#include "ui/frame/LogFileImportDlg.h"
#include "ui/frame/LookupOptionsDlg.h"
#include "ui/frame/SystemTray.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int kCmdLookupWithOptions = 32775;
constexpr int kCmdStopAll = 32784;
constexpr int kCmdImportText = 32772;
constexpr int kCmdImportLog = 32849;

const std::string kAddress = CWhoisdProcess::kAddress;

class CBulkLookupFrameTest : public CMainFrameTest
{
protected:
    // Answers the next modal dialog of type T once it is up.
    template <class T> void AnswerDialog(std::function<void(T&)> fnAnswer)
    {
        QTimer::singleShot(0, [fnAnswer] {
            if (auto* pDialog = qobject_cast<T*>(QApplication::activeModalWidget()))
                fnAnswer(*pDialog);
        });
    }

    std::vector<std::string> Waiting(int nKind) const
    {
        std::vector<std::string> result;
        const CSerStringArray& waiting = m_pFrame->GetDocument().GetData().GetWaitingList(nKind);
        for (int i = 0; i < waiting.GetSize(); ++i)
            result.push_back(waiting.GetString(i));
        return result;
    }

    QString RunText() { return Frame().GetRunPane()->text(); }
};

} // namespace

TEST_F(CBulkLookupFrameTest, F8QueuesTheSelectedRowsForSeveralKindsAndShowsTheRunToItsEnd)
{
    AddRows({"192.0.2.1", kAddress, "192.0.2.3"}, {1});
    ASSERT_TRUE(Frame().GetAction(kCmdLookupWithOptions)->isEnabled());
    CLookupChoice seen;
    AnswerDialog<CLookupOptionsDlg>([&](CLookupOptionsDlg& dlg) {
        dlg.GetKindCheck(lookupHostName)->setChecked(true);
        seen = dlg.GetChoice();
        dlg.accept();
    });
    Trigger(kCmdLookupWithOptions);
    EXPECT_EQ(seen.m_eRows, CLookupChoice::rowsSelected);
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {kAddress});
    EXPECT_EQ(Waiting(lookupHostName), std::vector<std::string> {kAddress});
    EXPECT_EQ(RunText(), QStringLiteral("Whois: Looking up 0 of 1; Host name: Looking up 0 of 1"));
    EXPECT_TRUE(Frame().GetTray()->GetIcon()->toolTip().contains(QStringLiteral("Whois: Looking up 0 of 1")));

    ASSERT_TRUE(WaitForWhois(kAddress));
    EXPECT_EQ(Doc().GetData().GetCountry(kAddress), "FR");
    Frame().OnTimer();
    EXPECT_EQ(RunText(), QString());
    EXPECT_EQ(Frame().GetTray()->GetIcon()->toolTip(), QStringLiteral("Addrscope"));
}

TEST_F(CBulkLookupFrameTest, F8WithNothingSelectedOffersAllRowsAndKeepsFreshResults)
{
    AddRows({"192.0.2.1", "192.0.2.2", "192.0.2.3"}, {});
    Doc().GetData().SetWhoisResult("192.0.2.2", "192.0.2.2\r\n\r\nnetname: KEPT",
                                   Frame().GetConnSettings().m_dwRescanGap > 0 ? COleDateTime::GetCurrentTime()
                                                                               : COleDateTime());
    bool bSelectedEnabled = true;
    AnswerDialog<CLookupOptionsDlg>([&](CLookupOptionsDlg& dlg) {
        bSelectedEnabled = dlg.GetRowsButton(CLookupChoice::rowsSelected)->isEnabled();
        dlg.GetRowsButton(CLookupChoice::rowsSelected)->click(); // disabled: no effect
        dlg.accept();
    });
    Trigger(kCmdLookupWithOptions);
    EXPECT_FALSE(bSelectedEnabled);
    EXPECT_EQ(Waiting(lookupWhois), (std::vector<std::string> {"192.0.2.1", "192.0.2.3"}));
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 2"));

    // Stop All ends the run at once.
    Trigger(kCmdStopAll);
    EXPECT_TRUE(Waiting(lookupWhois).empty());
    EXPECT_EQ(RunText(), QString());

    // Cancel queues nothing.
    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.reject(); });
    Trigger(kCmdLookupWithOptions);
    EXPECT_FALSE(Doc().HasPendingLookups());
}

TEST_F(CBulkLookupFrameTest, ImportsQueueWhatTheyAddWhenAsked)
{
    const std::string strLog = TestDataPath("logs/elastic-examples-apache_logs-first600.log");
    m_files.m_strAnswer = QString::fromStdString(strLog);
    m_pStore->WriteProfileInt("Settings", "Log File Error", 1);
    bool bOffAtFirst = true;
    AnswerDialog<CLogFileImportDlg>([&](CLogFileImportDlg& dlg) {
        bOffAtFirst = !dlg.GetLookupCheck()->isChecked();
        dlg.GetLookupCheck()->setChecked(true);
        dlg.accept();
    });
    Trigger(kCmdImportLog);
    EXPECT_TRUE(bOffAtFirst);
    ASSERT_EQ(Doc().GetData().GetSize(), 4); // the visitors who got a 404
    EXPECT_EQ(Waiting(lookupWhois).size(), 4u);
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 4"));
    EXPECT_EQ(m_pStore->GetProfileInt("Settings", "Lookup After Import", 0), 1);
    Trigger(kCmdStopAll);

    // The text import has no dialog: the choice made last holds, and only what it adds is queued.
    Trigger(kCmdImportText);
    ASSERT_EQ(Doc().GetData().GetSize(), 123);
    EXPECT_EQ(Waiting(lookupWhois).size(), 119u);
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 119"));
    Trigger(kCmdStopAll);

    m_pStore->WriteProfileInt("Settings", "Lookup After Import", 0);
    while (Doc().GetData().GetSize() > 0)
        Doc().DeleteIP(Doc().GetData().GetIPAddressAt(0));
    Trigger(kCmdImportText);
    EXPECT_EQ(Doc().GetData().GetSize(), 123);
    EXPECT_FALSE(Doc().HasPendingLookups());
}
