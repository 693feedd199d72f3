#pragma once

// The real main window against a loopback whois server (the addrscope-whoisd
// program, replaying real registry answers) with settings in a temporary INI file.

#include "core/document/NetloreDoc.h"
#include "qt/QtSettingsStore.h"
#include "support/FakeNameResolver.h"
#include "support/TestFiles.h"
#include "ui/frame/FilePrompt.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/MainFrame.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/IPEntryDlgBar.h"
#include "ui/lists/IPListBar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// File dialogs answered from a script.
class CScriptedFilePrompt : public CFilePrompt
{
public:
    QString m_strAnswer;
    int m_nAsked = 0;

    QString AskFileName(QWidget*, bool, const QString&, const QString&, const QString&, const QString&) override
    {
        ++m_nAsked;
        return m_strAnswer;
    }
};

// Message boxes answered from a script; every question and message is kept.
class CScriptedPrompts : public CFramePrompts
{
public:
    EAnswer m_answer = kNo;
    std::function<void()> m_fnOnQuestion;
    std::vector<QString> m_questions;
    std::vector<QString> m_messages;

    EAnswer AskYesNoCancel(QWidget*, const QString& strText) override
    {
        m_questions.push_back(strText);
        if (m_fnOnQuestion)
            m_fnOnQuestion();
        return m_answer;
    }
    void ShowMessage(QWidget*, const QString& strText) override { m_messages.push_back(strText); }
    void ShowAbout(QWidget*, const QString&, const QString& strText) override { m_messages.push_back(strText); }
};

// addrscope-whoisd serving the ARIN and RIPE answers of one real referral chain.
class CWhoisdProcess
{
public:
    static constexpr const char* kAddress = "130.66.76.222";

    ~CWhoisdProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(3000);
        }
    }

    static std::string Binary() { return std::string(ADDRSCOPE_BINARY_DIR) + "/tools/addrscope-whoisd"; }

    // False when the program is not built or did not start. extraArgs: more of its
    // options ("--mode", "127.0.0.2=silent").
    bool Start(const CTempDir& dir, const QStringList& extraArgs = {})
    {
        namespace fs = std::filesystem;
        if (!fs::exists(Binary()))
            return false;
        fs::create_directories(dir.Path() / "arin");
        fs::create_directories(dir.Path() / "ripe");
        WriteFileBytes(dir.File(std::string("arin/") + kAddress),
                       ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        WriteFileBytes(dir.File(std::string("ripe/") + kAddress),
                       ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        const QStringList args {QStringLiteral("--serve"), QString::fromStdString("127.0.0.2=" + dir.File("arin")),
                                QStringLiteral("--serve"), QString::fromStdString("127.0.0.3=" + dir.File("ripe"))};
        m_process.start(QString::fromStdString(Binary()), args + extraArgs);
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000))
            return false;
        const QString strLine = QString::fromLatin1(m_process.readLine()).trimmed();
        m_nPort = strLine.section(QLatin1Char(' '), -1).toInt();
        return m_nPort > 0;
    }
    int Port() const { return m_nPort; }

private:
    QProcess m_process;
    int m_nPort = 0;
};

class CMainFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_whoisd.Start(m_dir))
            GTEST_SKIP() << "addrscope-whoisd is not built (" << CWhoisdProcess::Binary() << ")";
        m_strIni = m_dir.File("settings.ini");
        const std::string port = std::to_string(m_whoisd.Port());
        // Every chain from ARIN, one start a tick: a test of pacing per registry turns it on.
        WriteFileBytes(m_strIni, "[Settings]\nIP%20Whois%20Interval=0\nPace%20Per%20Registry=0\n\n"
                                 "[Whois%20Servers]\nARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\n"
                                 "LACNIC=127.0.0.5\nAUNIC=127.0.0.6\nRWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\n"
                                 "AFRINIC=127.0.0.9\nWhois%20Port=" +
                                     port + "\nRWhois%20Port=" + port +
                                     "\nConnect%20Timeout=2000\nIdle%20Timeout=2000\n");
        MakeFrame();
    }

    void TearDown() override
    {
        if (m_pFrame)
            m_pFrame->GetDocument().SetModifiedFlag(false);
        m_pFrame.reset();
        m_pStore.reset();
    }

    // bSized: give the window a test size (otherwise it keeps its stored placement).
    void MakeFrame(bool bSized = true)
    {
        m_pFrame.reset();
        m_pStore = std::make_unique<CQtSettingsStore>(QString::fromStdString(m_strIni));
        CFrameServices services;
        services.m_pResolver = &m_resolver;
        services.m_pFiles = &m_files;
        services.m_pPrompts = &m_prompts;
        services.m_fnOpenUrl = [this](const QUrl& url) {
            m_openedUrls.push_back(url);
            return true;
        };
        services.m_nTrayAvailable = m_nTrayAvailable;
        services.m_strRecoveryFolder = m_dir.File("data");
        if (m_fnReadAbuse)
            services.m_fnReadAbuse = m_fnReadAbuse;
        services.m_pClock = m_pClock;
        m_pFrame = std::make_unique<CMainFrame>(*m_pStore, services);
        ASSERT_TRUE(m_pFrame->Create());
        if (bSized)
            m_pFrame->resize(800, 600);
        m_pFrame->show();
        QCoreApplication::processEvents(); // the posted start-up commands
    }

    CMainFrame& Frame() { return *m_pFrame; }
    CNetloreDoc& Doc() { return m_pFrame->GetDocument(); }
    CBigListCtrl& List() { return *m_pFrame->GetIPListBar()->GetList(); }

    void TypeAndLookup(const QString& strText)
    {
        m_pFrame->GetEntryBar()->GetComboBox()->setEditText(strText);
        m_pFrame->GetEntryBar()->GetLookupButton()->click();
    }

    void Trigger(int nCommandId)
    {
        m_pFrame->UpdateCommandStates();
        QAction* pAction = m_pFrame->GetAction(nCommandId);
        ASSERT_NE(pAction, nullptr);
        pAction->trigger();
    }

    // Timer ticks until the address has a whois text and nothing is pending.
    bool WaitForWhois(const std::string& strAddress, int nTimeoutMs = 15000)
    {
        return QTest::qWaitFor(
            [&] {
                m_pFrame->OnTimer();
                return !Doc().GetData().GetRawWhois(strAddress).empty() && !Doc().HasPendingLookups();
            },
            nTimeoutMs);
    }

    // Records added directly, shown in the list, their rows selected.
    void AddRows(const std::vector<std::string>& addresses, const std::vector<int>& selected)
    {
        for (const std::string& a : addresses)
            Doc().AddIP(a);
        m_pFrame->OnCommand(FrameTexts::kCmdRefreshIPList);
        List().DeselectAll();
        for (int nRow : selected)
            List().SelectRow(nRow);
        m_pFrame->UpdateCommandStates();
    }

    CTempDir m_dir;
    CWhoisdProcess m_whoisd;
    std::string m_strIni;
    std::unique_ptr<CQtSettingsStore> m_pStore;
    CFakeNameResolver m_resolver;
    CScriptedFilePrompt m_files;
    CScriptedPrompts m_prompts;
    std::vector<QUrl> m_openedUrls;
    int m_nTrayAvailable = 1;
    std::function<std::string(const CIPAddressData&)> m_fnReadAbuse;
    // Null: the system clock.
    const CClock* m_pClock = nullptr;
    std::unique_ptr<CMainFrame> m_pFrame;
};
