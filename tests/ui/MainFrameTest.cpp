#include "MainFrameFixture.h"

#include "core/document/DocumentLock.h"
#include "core/record/LookupKind.h"
#include "ui/frame/DocManager.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/MessageLogBar.h"
#include "ui/frame/SystemTray.h"
#include "ui/frame/TextResultView.h"
#include "ui/lists/RebarAnimCtrl.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTimer>

#include <set>

namespace {

using namespace FrameTexts;

const std::string kAddress = CWhoisdProcess::kAddress;

const CSerStringArray& Waiting(CNetloreDoc& doc, int nKind = lookupWhois)
{
    return doc.GetData().GetWaitingList(nKind);
}

} // namespace

TEST_F(CMainFrameTest, TypedAddressIsAddedSelectedQueuedAndItsAnswerShown)
{
    EXPECT_EQ(Frame().GetViewMode(), kCmdViewRawWhois);
    EXPECT_TRUE(Frame().GetView()->GetTextBox()->toPlainText().startsWith(QStringLiteral("QUICK START")));
    TypeAndLookup(QStringLiteral("  ") + QString::fromStdString(kAddress) + QStringLiteral(" "));

    ASSERT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), kAddress);
    EXPECT_EQ(Doc().GetCurrentIndex(), 0);
    EXPECT_EQ(List().GetSelectedRows(), std::vector<int> {0});
    ASSERT_EQ(Waiting(Doc()).GetSize(), 1);
    EXPECT_EQ(Waiting(Doc()).GetString(0), kAddress);
    EXPECT_EQ(m_pStore->GetProfileString("IP Entry List", "1"), kAddress);

    ASSERT_TRUE(WaitForWhois(kAddress));
    EXPECT_EQ(Doc().GetData().GetCountry(kAddress), "FR");
    EXPECT_TRUE(Frame().GetView()->GetTextBox()->toPlainText().contains(QStringLiteral("BOUYGTEL-ISP-CABLE")));
    EXPECT_TRUE(Frame().isWindowModified());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Untitled[*] - Addrscope"));
    EXPECT_EQ(Frame().GetTotalPane()->text(), QStringLiteral("Total: 1"));
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 1"));
}

TEST_F(CMainFrameTest, LookupSelectedQueuesOnlyTheFirstSelectedRow)
{
    AddRows({"192.0.2.1", "192.0.2.2", "192.0.2.3"}, {2, 1});
    ASSERT_TRUE(Frame().GetAction(kCmdLookupSelected)->isEnabled());
    Trigger(kCmdLookupSelected);
    ASSERT_EQ(Waiting(Doc()).GetSize(), 1);
    EXPECT_EQ(Waiting(Doc()).GetString(0), "192.0.2.2");

    // Nothing selected: the command is disabled, and does nothing when run anyway.
    List().DeselectAll();
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Frame().GetAction(kCmdLookupSelected)->isEnabled());
}

TEST_F(CMainFrameTest, QuickLookupOfAnAddressAlreadyListedShowsItAndQueuesItOnlyWhenItsResultIsOld)
{
    AddRows({"192.0.2.1", kAddress, "192.0.2.3"}, {0});
    Doc().GetData().SetWhoisResult(kAddress, "fresh answer\r\n", COleDateTime::GetCurrentTime());
    TypeAndLookup(QString::fromStdString(kAddress));
    EXPECT_EQ(Doc().GetData().GetSize(), 3);
    EXPECT_EQ(Doc().GetCurrentIndex(), 1);
    EXPECT_EQ(List().GetSelectedRows(), std::vector<int> {1});
    EXPECT_EQ(Frame().GetView()->GetCaptionAddress(), kAddress);
    EXPECT_EQ(Frame().GetView()->GetTextBox()->toPlainText(), QStringLiteral("fresh answer\n"));
    EXPECT_EQ(Waiting(Doc()).GetSize(), 0); // younger than the rescan gap

    // Older than the gap (a day by default): looked up again.
    Doc().GetData().SetWhoisResult(kAddress, "old answer\r\n", COleDateTime::FromComponents(2020, 1, 2, 3, 4, 5));
    List().SelectRow(0);
    TypeAndLookup(QString::fromStdString(kAddress));
    EXPECT_EQ(Doc().GetCurrentIndex(), 1);
    ASSERT_EQ(Waiting(Doc()).GetSize(), 1);
    EXPECT_EQ(Waiting(Doc()).GetString(0), kAddress);

    // A host name of a listed address does the same.
    m_resolver.AddHost("three.example.test", 0xC0000203);
    TypeAndLookup(QStringLiteral("three.example.test"));
    EXPECT_EQ(Doc().GetData().GetSize(), 3);
    EXPECT_EQ(Doc().GetCurrentIndex(), 2);
    EXPECT_EQ(Waiting(Doc()).GetSize(), 2); // never looked up
}

TEST_F(CMainFrameTest, QuickLookupOfAHostNameAddsItsAddress)
{
    m_resolver.AddHost("www.example.test", 0xC0000207);
    TypeAndLookup(QStringLiteral("www.example.test"));
    ASSERT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), "192.0.2.7");
    ASSERT_EQ(Waiting(Doc()).GetSize(), 1);
    EXPECT_EQ(Waiting(Doc()).GetString(0), "192.0.2.7");
}

TEST_F(CMainFrameTest, DeleteRemovesSelectedRowsAndNothingWithoutSelection)
{
    AddRows({"192.0.2.1", "192.0.2.2", "192.0.2.3"}, {});
    Trigger(kCmdDelete);
    EXPECT_EQ(Doc().GetData().GetSize(), 3);
    EXPECT_FALSE(Doc().IsModified());

    List().SelectRow(0);
    List().SelectRow(2);
    Trigger(kCmdDelete);
    ASSERT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), "192.0.2.2");
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(List().GetRowCount(), 1);
}

TEST_F(CMainFrameTest, StopAllEmptiesTheListsYetRunningJobsStillDeliver)
{
    AddRows({"192.0.2.9"}, {});
    TypeAndLookup(QString::fromStdString(kAddress));
    Doc().QueueWhoisLookup("192.0.2.9", 0);
    Frame().OnTimer(); // starts the first whois job; its answer can only arrive through the event loop
    ASSERT_EQ(Doc().GetData().GetRunningList(lookupWhois).size(), 1u);
    Frame().UpdateCommandStates();
    ASSERT_TRUE(Frame().GetAction(kCmdStopAll)->isEnabled());

    Trigger(kCmdStopAll);
    EXPECT_FALSE(Doc().HasPendingLookups());
    EXPECT_FALSE(Frame().GetAction(kCmdStopAll)->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Doc().GetData().GetRawWhois(kAddress).empty(); }, 15000));
    // The second address never started.
    EXPECT_TRUE(Doc().GetData().GetRawWhois("192.0.2.9").empty());
}

TEST_F(CMainFrameTest, AnAddressNoServerAnswersIsGivenUpLikeOnTheCommandLine)
{
    // The loopback servers have nothing for this address: every whois answer is empty.
    TypeAndLookup(QStringLiteral("192.0.2.77"));
    ASSERT_EQ(Waiting(Doc()).GetSize(), 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return !Doc().HasPendingLookups();
        },
        30000));
    const CLookupCounts counts = Frame().GetSession().GetCounts(Doc(), lookupWhois);
    EXPECT_EQ(counts.m_nFailed, 1);
    EXPECT_EQ(counts.m_nDone, 0);
    EXPECT_EQ(Frame().GetAnimation()->toolTip(), QStringLiteral("whois: 0 waiting, 0 running, 0 done, 1 failed"));
    // Given up, not queued again by later ticks.
    for (int i = 0; i < 3; ++i) {
        Frame().OnTimer();
        QTest::qWait(50);
    }
    EXPECT_FALSE(Doc().HasPendingLookups());
    EXPECT_TRUE(Doc().GetData().GetRawWhois("192.0.2.77").empty());
}

TEST_F(CMainFrameTest, HiddenListBarMeansNoRowsForTheCommands)
{
    AddRows({"192.0.2.1", "192.0.2.2"}, {0, 1});
    Trigger(kCmdReportAll);
    Trigger(kCmdToggleIPListBar);
    ASSERT_TRUE(Frame().GetIPListBar()->isHidden());
    EXPECT_FALSE(Frame().GetAction(kCmdToggleIPListBar)->isChecked());
    EXPECT_FALSE(Frame().GetAction(kCmdLookupSelected)->isEnabled());
    EXPECT_FALSE(Frame().GetAction(kCmdExportRawWhois)->isEnabled());
    EXPECT_TRUE(Frame().CollectRows(false).empty());

    // Issued anyway (as a posted command could be), they act on nothing.
    Frame().OnCommand(kCmdLookupSelected);
    Frame().OnCommand(kCmdDelete);
    Frame().OnCommand(kCmdPingSelected);
    Frame().OnCommand(kCmdExportRawWhois);
    EXPECT_EQ(Doc().GetData().GetSize(), 2);
    EXPECT_FALSE(Doc().HasPendingLookups());
    EXPECT_EQ(m_files.m_nAsked, 0);

    Trigger(kCmdToggleIPListBar);
    EXPECT_FALSE(Frame().GetIPListBar()->isHidden());
    EXPECT_EQ(Frame().CollectRows(false), (std::vector<std::string> {"192.0.2.1", "192.0.2.2"}));
}

TEST_F(CMainFrameTest, ExportWritesTheLookedUpRowsAndRemembersTheFolder)
{
    TypeAndLookup(QString::fromStdString(kAddress));
    ASSERT_TRUE(WaitForWhois(kAddress));
    AddRows({"192.0.2.1"}, {0, 1});
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("export.txt"));
    Trigger(kCmdExportRawWhois);
    ASSERT_EQ(m_files.m_nAsked, 1);
    const std::string strExport = ReadFileBytes(m_dir.File("export.txt"));
    EXPECT_EQ(strExport.rfind("<RECORD>\r\nIP Address: " + kAddress + "\r\n", 0), 0u);
    EXPECT_EQ(strExport.find("192.0.2.1"), std::string::npos); // never looked up
    EXPECT_EQ(m_pStore->GetProfileString("File Path", "txt"), m_dir.Path().string() + "/*.txt");
}

TEST_F(CMainFrameTest, ClosingWritesSettingsBeforeTheSaveQuestionAndKeepsThemOnCancel)
{
    AddRows({"192.0.2.1"}, {});
    Doc().SetModifiedFlag(true);
    std::string strPlacementAtQuestion;
    int nViewModeAtQuestion = 0;
    int nVisibleAtQuestion = -1;
    m_prompts.m_answer = CFramePrompts::kCancel;
    m_prompts.m_fnOnQuestion = [&] {
        strPlacementAtQuestion = m_pStore->GetProfileString("Settings", "WindowPosition");
        nViewModeAtQuestion = m_pStore->GetProfileInt("Settings", "View Mode", 0);
        nVisibleAtQuestion = m_pStore->GetProfileInt("IPListBar-SCBar-500", "Visible", -1);
    };
    EXPECT_FALSE(Frame().close());
    ASSERT_EQ(m_prompts.m_questions.size(), 1u);
    EXPECT_EQ(m_prompts.m_questions[0], QStringLiteral("Save changes to Untitled?"));
    EXPECT_FALSE(strPlacementAtQuestion.empty());
    EXPECT_EQ(nViewModeAtQuestion, kCmdViewRawWhois);
    EXPECT_EQ(nVisibleAtQuestion, 1);
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(m_pStore->GetProfileString("Settings", "WindowPosition"), strPlacementAtQuestion);

    // Yes saves through Save As before the window goes.
    m_prompts.m_answer = CFramePrompts::kYes;
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("kept.qdl"));
    EXPECT_TRUE(Frame().close());
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("kept.qdl")));
    EXPECT_EQ(m_pStore->GetProfileString("Recent File List", "File1"), m_dir.File("kept.qdl"));
}

TEST_F(CMainFrameTest, PlacementSurvivesARestart)
{
    Frame().setGeometry(40, 50, 640, 480);
    QCoreApplication::processEvents();
    ASSERT_TRUE(Frame().close());
    const std::string strStored = m_pStore->GetProfileString("Settings", "WindowPosition");
    EXPECT_EQ(strStored.substr(0, 4), "0,1,");

    MakeFrame(false);
    EXPECT_EQ(Frame().geometry(), QRect(40, 50, 640, 480));
}

TEST_F(CMainFrameTest, DisplayModeWebAndTrayCommands)
{
    AddRows({"192.0.2.1"}, {});
    Trigger(kCmdModeHex);
    EXPECT_EQ(Frame().GetIPListBar()->GetDisplayMode(), kCmdModeHex);
    EXPECT_TRUE(Frame().GetAction(kCmdModeHex)->isChecked());
    EXPECT_EQ(Frame().GetIPListBar()->GetRowText(0), "C0000201");

    Trigger(kCmdMoreTools);
    ASSERT_EQ(m_openedUrls.size(), 1u);
    EXPECT_EQ(m_openedUrls[0].scheme(), QStringLiteral("https"));

    ASSERT_TRUE(Frame().GetTray()->IsEnabled());
    EXPECT_TRUE(Frame().GetTray()->IsHidden());
    Trigger(kCmdMinimizeToTray);
    EXPECT_FALSE(Frame().isVisible());
    EXPECT_FALSE(Frame().GetTray()->IsHidden());
    // A double click on the icon does what "Show Window" does.
    Frame().GetTray()->OnActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(Frame().GetTray()->IsHidden());
    Trigger(kCmdTrayShow);
    EXPECT_TRUE(Frame().GetTray()->IsHidden());
}

TEST_F(CMainFrameTest, DroppedDocumentsOpenInTurnAndDamagedOnesAreReported)
{
    AddRows({"192.0.2.1"}, {});
    ASSERT_TRUE(Doc().OnSaveDocument(m_dir.File("one.qdl")));
    Doc().AddIP("192.0.2.2");
    ASSERT_TRUE(Doc().OnSaveDocument(m_dir.File("two.qdl")));
    WriteFileBytes(m_dir.File("bad.qdl"), std::string("\x01\x00\x00\x00\xff\xff", 6));

    Frame().OpenDroppedFiles(
        {QString::fromStdString(m_dir.File("one.qdl")), QString::fromStdString(m_dir.File("bad.qdl")),
         QString::fromStdString(m_dir.File("missing.qdl")), QString::fromStdString(m_dir.File("two.qdl"))});
    EXPECT_EQ(Doc().GetPathName(), m_dir.File("two.qdl"));
    EXPECT_EQ(Doc().GetData().GetSize(), 2);
    EXPECT_EQ(List().GetRowCount(), 2);
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("two.qdl[*] - Addrscope"));
    ASSERT_GE(m_prompts.m_messages.size(), 2u);
    EXPECT_EQ(m_prompts.m_messages.back(), QStringLiteral("Failed to open document."));
    EXPECT_EQ(m_pStore->GetProfileString("Recent File List", "File1"), m_dir.File("two.qdl"));
}

TEST_F(CMainFrameTest, ImportsTakeEveryAddressOrOnlyTheMatchingLogLines)
{
    const std::string strLog = TestDataPath("logs/elastic-examples-apache_logs-first600.log");
    m_files.m_strAnswer = QString::fromStdString(strLog);
    Trigger(kCmdImportTextFile);
    EXPECT_EQ(Doc().GetData().GetSize(), 123);
    EXPECT_EQ(List().GetRowCount(), 123);
    EXPECT_EQ(m_pStore->GetProfileString("File Path", "txt"),
              std::filesystem::path(strLog).parent_path().string() + "/*.txt");

    Trigger(kCmdFileNew); // New (not modified after an import? it is: answer No)
    ASSERT_EQ(Doc().GetData().GetSize(), 0);
    m_pStore->WriteProfileInt("Settings", "Log File Error", 1);
    // The conditions dialog is modal: accept it once it is up.
    QTimer::singleShot(0, [] {
        if (auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            pDialog->accept();
    });
    Trigger(kCmdImportWebLog);
    EXPECT_EQ(Doc().GetData().GetSize(), 4); // the visitors who got a 404
    EXPECT_EQ(List().GetRowCount(), 4);
}

TEST_F(CMainFrameTest, WithoutANotificationAreaMinimizeToTrayOnlyMinimizes)
{
    m_nTrayAvailable = 0;
    MakeFrame();
    ASSERT_FALSE(Frame().GetTray()->IsEnabled());
    Trigger(kCmdMinimizeToTray);
    // Hidden with no icon to bring it back, the window would be lost to the user.
    EXPECT_FALSE(Frame().isHidden());
    EXPECT_TRUE(Frame().windowState() & Qt::WindowMinimized);
}

TEST_F(CMainFrameTest, EveryCommandRowIsOneActionWithItsShortcut)
{
    std::set<int> ids;
    for (const CMainFrame::CCommand& c : CMainFrame::Commands()) {
        EXPECT_TRUE(ids.insert(c.m_nId).second) << "id " << c.m_nId << " has two rows";
        QAction* pAction = Frame().GetAction(c.m_nId);
        EXPECT_EQ(pAction != nullptr, c.m_pszText != nullptr) << c.m_nId;
        if (pAction) {
            EXPECT_EQ(pAction->isCheckable(), c.m_pfnChecked != nullptr) << c.m_nId;
        }
    }
    const struct {
        int m_nId;
        QKeySequence m_key;
    } keys[] = {{kCmdLookupSelected, QKeySequence(Qt::Key_F5)},
                {kCmdLookupWithOptions, QKeySequence(Qt::Key_F8)},
                {kCmdStopAll, QKeySequence(Qt::Key_F10)},
                {kCmdFileOpen, QKeySequence(QKeySequence::Open)}};
    for (const auto& k : keys)
        EXPECT_EQ(Frame().GetAction(k.m_nId)->shortcut(), k.m_key) << k.m_nId;
    // Ids without a row do nothing.
    Frame().OnCommand(12345);
    // Posted-only commands have no action yet run.
    EXPECT_EQ(Frame().GetAction(kCmdViewRawWhois), nullptr);
}

TEST_F(CMainFrameTest, ADocumentInUseElsewhereOpensOnlyReadOnly)
{
    const std::string path = m_dir.File("shared.qdl");
    AddRows({"192.0.2.1"}, {});
    ASSERT_TRUE(Doc().OnSaveDocument(path));
    Trigger(kCmdFileNew);
    const std::string before = ReadFileBytes(path);

    auto other = std::make_unique<CDocumentLock>();
    ASSERT_EQ(other->Acquire(path), CDocumentLock::acquired);
    const QString question = QString::fromStdString(path + " is in use by process " + std::to_string(getpid()));

    // Declined: nothing is opened.
    m_prompts.m_answer = CFramePrompts::kNo;
    EXPECT_FALSE(Frame().GetDocManager().OpenDocumentFile(path));
    ASSERT_FALSE(m_prompts.m_questions.empty());
    EXPECT_TRUE(m_prompts.m_questions.back().startsWith(question)) << m_prompts.m_questions.back().toStdString();
    EXPECT_NE(Doc().GetPathName(), path);

    // Read-only: it shows, but saving over the other writer is refused.
    m_prompts.m_answer = CFramePrompts::kYes;
    ASSERT_TRUE(Frame().GetDocManager().OpenDocumentFile(path));
    EXPECT_TRUE(Frame().GetDocManager().IsReadOnly());
    EXPECT_EQ(Doc().GetData().GetSize(), 1);
    Doc().AddIP("192.0.2.2");
    EXPECT_FALSE(Frame().GetDocManager().OnFileSave());
    EXPECT_EQ(ReadFileBytes(path), before);

    // Once the other writer is gone the window may save, and then holds the lock itself.
    other.reset();
    EXPECT_TRUE(Frame().GetDocManager().OnFileSave());
    EXPECT_FALSE(Frame().GetDocManager().IsReadOnly());
    CDocumentLock second;
    EXPECT_EQ(second.Acquire(path), CDocumentLock::inUse);
}

// A stored limit below 1 would keep every lookup of its kind from starting: it is
// reported once in Messages and the default used, so a lookup still runs.
TEST_F(CMainFrameTest, AStoredWhoisLimitBelowOneIsReportedOnceAndTheDefaultUsed)
{
    m_pFrame.reset();
    std::string ini = ReadFileBytes(m_strIni);
    ini.insert(ini.find("[Settings]\n") + 11, "IP%20Whois%20Simul%20Connections=0\nPing%20Simul%20Connections=-5\n");
    WriteFileBytes(m_strIni, ini);
    MakeFrame();
    EXPECT_EQ(Frame().GetConnSettings().m_nWhoisLimit, 3);
    EXPECT_EQ(Frame().GetConnSettings().m_nPingLimit, 3);
    TypeAndLookup(QString::fromStdString(kAddress));
    ASSERT_TRUE(WaitForWhois(kAddress));

    const QStringList& messages = Frame().GetMessageLog()->GetMessages();
    EXPECT_EQ(messages.filter(QStringLiteral("IP Whois Simul Connections")).size(), 1)
        << messages.join('\n').toStdString();
    EXPECT_EQ(messages.filter(QStringLiteral("Ping Simul Connections")).size(), 1);
    EXPECT_TRUE(
        messages.filter(QStringLiteral("IP Whois Simul Connections")).value(0).contains(QStringLiteral("3 is used")));
}

// RIPE's answer for another block than the address asked: the caption says its range
// does not hold the address. A matching pair of real answers says nothing of the kind.
TEST_F(CMainFrameTest, TheCaptionSaysWhenTheAnswersRangeDoesNotHoldTheAddress)
{
    TypeAndLookup(QString::fromStdString(kAddress));
    ASSERT_TRUE(WaitForWhois(kAddress));
    Doc().SelectIP(kAddress);
    const std::string strWarning = "the answer's range 128.79.0.0 - 128.79.63.0 does not hold this address";
    EXPECT_EQ(Frame().GetView()->GetCaptionWarning(), strWarning);
    EXPECT_TRUE(Frame().GetView()->GetCaptionText().contains(QString::fromStdString(strWarning)));

    const std::string strMatching = "2.18.111.79";
    WriteFileBytes(m_dir.File("arin/" + strMatching),
                   ReadFileBytes(TestDataPath("whois/arin/larsonzh-2026-referral-ripe-noscheme-2.0.0.1.txt")));
    WriteFileBytes(m_dir.File("ripe/" + strMatching),
                   ReadFileBytes(TestDataPath("whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt")));
    TypeAndLookup(QString::fromStdString(strMatching));
    ASSERT_TRUE(WaitForWhois(strMatching));
    Doc().SelectIP(strMatching);
    EXPECT_EQ(Frame().GetView()->GetCaptionWarning(), "");
    EXPECT_NE(Doc().GetData().GetRawWhois(strMatching).find("AKAMAI-PA"), std::string::npos);
}
