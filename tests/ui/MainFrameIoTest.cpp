// The window reports the failures of reading and writing files, as the CLI does.

#include "MainFrameFixture.h"

#include "ui/frame/LogFileImportDlg.h"
#include "ui/frame/MessageLogBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

#include <zlib.h>

#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int kCmdImportTextFile = 32772;
constexpr int kCmdImportWebLog = 32849;
constexpr int kCmdExportRawWhois = 32840;
constexpr int kCmdReportAll = 32850;

void WriteGzip(const std::string& path, const std::string& bytes)
{
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
    gzclose(gz);
}

using CMainFrameIoTest = CMainFrameTest;

} // namespace

TEST_F(CMainFrameIoTest, AReportThatCannotBeWrittenIsReportedWithPathAndReason)
{
    TypeAndLookup(QString::fromStdString(CWhoisdProcess::kAddress));
    ASSERT_TRUE(WaitForWhois(CWhoisdProcess::kAddress));
    Trigger(kCmdReportAll);

    // A folder nobody may write in; root may, so it gets a "folder" that is a file.
    std::string strFolder = m_dir.File("locked");
    std::filesystem::create_directory(strFolder);
    ::chmod(strFolder.c_str(), 0555);
    std::string strReason = std::strerror(EACCES);
    if (geteuid() == 0) {
        strFolder = m_dir.File("plainfile");
        WriteFileBytes(strFolder, "not a folder");
        strReason = std::strerror(ENOTDIR);
    }
    const std::string strPath = strFolder + "/export.txt";
    m_files.m_strAnswer = QString::fromStdString(strPath);
    m_prompts.m_messages.clear();
    Trigger(kCmdExportRawWhois);
    ASSERT_EQ(m_files.m_nAsked, 1);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    const QString strMessage = m_prompts.m_messages[0];
    EXPECT_TRUE(strMessage.contains(QString::fromStdString(strFolder))) << strMessage.toStdString();
    EXPECT_TRUE(strMessage.contains(QString::fromStdString(strReason))) << strMessage.toStdString();
    EXPECT_FALSE(std::filesystem::exists(strPath));
    ::chmod(m_dir.File("locked").c_str(), 0755);

    // The same export into a folder that can be written: no message.
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("export.txt"));
    Trigger(kCmdExportRawWhois);
    EXPECT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_NE(ReadFileBytes(m_dir.File("export.txt")).find(CWhoisdProcess::kAddress), std::string::npos);
}

TEST_F(CMainFrameIoTest, ALogEndingInATruncatedGzipStreamSaysHowMuchWasImported)
{
    std::string log;
    for (int i = 0; i < 20000; ++i)
        log += "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256) +
               " - - [07/Dec/2026:12:00:00 +0000] \"GET / HTTP/1.1\" 200 9\n";
    WriteGzip(m_dir.File("full.log.gz"), log);
    const std::string gz = ReadFileBytes(m_dir.File("full.log.gz"));
    const std::string strCut = m_dir.File("cut.log.gz");
    WriteFileBytes(strCut, gz.substr(0, gz.size() / 2));

    m_files.m_strAnswer = QString::fromStdString(strCut);
    Trigger(kCmdImportTextFile);
    const int nAdded = Doc().GetData().GetSize();
    EXPECT_GT(nAdded, 0);
    EXPECT_LT(nAdded, 20000);
    EXPECT_EQ(List().GetRowCount(), nAdded);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    const std::string strMessage = m_prompts.m_messages[0].toStdString();
    EXPECT_NE(strMessage.find(strCut), std::string::npos) << strMessage;
    EXPECT_NE(strMessage.find(std::to_string(nAdded) + " IP addresses were added"), std::string::npos) << strMessage;
    EXPECT_NE(strMessage.find("stopped after"), std::string::npos) << strMessage;

    // A file that cannot be opened at all is named with the system's reason.
    m_prompts.m_messages.clear();
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("missing.log"));
    Trigger(kCmdImportTextFile);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_EQ(m_prompts.m_messages[0].toStdString(),
              m_dir.File("missing.log") + " could not be read:\n" + std::strerror(ENOENT));

    // The whole file: no message, every address.
    m_prompts.m_messages.clear();
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("full.log.gz"));
    Trigger(kCmdImportTextFile);
    EXPECT_TRUE(m_prompts.m_messages.empty());
    EXPECT_EQ(Doc().GetData().GetSize(), 20000);
}

// The log dialog as it first opens takes every visitor; a custom text typed without
// its closing bar still matches; every import says what it took.
TEST_F(CMainFrameIoTest, ALogImportTakesEveryVisitorOrTheCustomTextAndSaysWhatItTook)
{
    const std::string strLog = TestDataPath("logs/elastic-examples-apache_logs-first600.log");
    m_files.m_strAnswer = QString::fromStdString(strLog);
    const auto importWith = [&](std::function<void(CLogFileImportDlg&)> fnSet) {
        QTimer::singleShot(0, [fnSet] {
            if (auto* pDialog = qobject_cast<CLogFileImportDlg*>(QApplication::activeModalWidget())) {
                fnSet(*pDialog);
                pDialog->accept();
            }
        });
        Trigger(kCmdImportWebLog);
    };

    importWith([](CLogFileImportDlg&) {});
    EXPECT_EQ(Doc().GetData().GetSize(), 123);
    const QString strAll = QStringLiteral("Imported 123 addresses (123 new) from 600 matching lines of 600; "
                                          "skipped 0 lines (0 damaged, 0 not an address)");
    ASSERT_FALSE(Frame().GetMessageLog()->GetMessages().isEmpty());
    EXPECT_EQ(Frame().GetMessageLog()->GetMessages().back(), strAll);
    // The status bar shows as much as the room left of its panes holds, then "...".
    const QString strShown = Frame().statusBar()->currentMessage();
    EXPECT_TRUE(strShown == strAll || (strShown.endsWith(QChar(0x2026)) && strAll.startsWith(strShown.chopped(1))))
        << strShown.toStdString();

    importWith([](CLogFileImportDlg& dlg) {
        dlg.GetCustomCheck()->click();
        dlg.GetCustomEdit()->setText(QStringLiteral("wp-login"));
    });
    EXPECT_EQ(Frame().GetMessageLog()->GetMessages().back(),
              QStringLiteral("Imported 1 addresses (0 new) from 1 matching lines of 600; "
                             "skipped 599 lines (0 damaged, 0 not an address)"));
    EXPECT_EQ(Doc().GetData().GetNote("144.76.194.187", 3), "\"GET /wp-login.php HTTP/1.0\"");
    // The stored text stays as typed.
    EXPECT_EQ(m_pStore->GetProfileString("Settings", "Log File Custom Text"), "wp-login");
}
