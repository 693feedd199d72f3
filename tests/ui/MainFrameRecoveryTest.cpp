// The window keeps unsaved lookup results in a recovery file, removes it when the
// document is saved or closed, and offers a crashed run's leftover at the next
// start or open. Driven through the real window against the loopback whois server.

#include "MainFrameFixture.h"

#include "core/document/DocumentLock.h"
#include "core/document/RecoveryFile.h"
#include "ui/frame/DocManager.h"
#include "ui/frame/MessageLogBar.h"

#include <QStatusBar>

namespace fs = std::filesystem;

namespace {

class CMainFrameRecoveryTest : public CMainFrameTest
{
protected:
    // Every stored result is a checkpoint.
    void MakeCheckpointingFrame()
    {
        std::string ini = ReadFileBytes(m_strIni);
        ini.replace(ini.find("[Settings]\n"), 11, "[Settings]\nCheckpoint%20Results=1\n");
        WriteFileBytes(m_strIni, ini);
        MakeFrame();
    }

    // A saved document holding the address without any result yet.
    std::string SavedDocument()
    {
        const std::string strPath = m_dir.File("doc.qdl");
        CNetloreDoc doc;
        EXPECT_TRUE(doc.OnSaveDocument(strPath));
        return strPath;
    }

    // The window ends without closing, as when it is killed: its recovery file stays.
    void Crash()
    {
        m_pFrame.reset();
        m_prompts.m_questions.clear();
        m_prompts.m_messages.clear();
    }

    // Opens the document, looks the address up and waits for the checkpoint.
    void LookUpInto(const std::string& strDoc)
    {
        if (!strDoc.empty()) {
            ASSERT_TRUE(Frame().GetDocManager().OpenDocumentFile(strDoc));
        }
        TypeAndLookup(QString::fromStdString(CWhoisdProcess::kAddress));
        ASSERT_TRUE(WaitForWhois(CWhoisdProcess::kAddress));
        ASSERT_FALSE(Frame().GetDocManager().GetRecoveryPath().empty());
        // The checkpoint's bytes reach the file on a thread of their own.
        Frame().GetDocManager().WaitForRecoveryWrite();
    }

    static std::string WhoisIn(const std::string& strPath)
    {
        CNetloreDoc doc;
        EXPECT_TRUE(doc.OnOpenDocument(strPath, [](const std::string&) {}));
        return doc.GetData().GetRawWhois(CWhoisdProcess::kAddress);
    }
};

} // namespace

TEST_F(CMainFrameRecoveryTest, ResultsGoToTheRecoveryFileUntilTheUserSaves)
{
    MakeCheckpointingFrame();
    const std::string strDoc = SavedDocument();
    const std::string strBefore = ReadFileBytes(strDoc);
    LookUpInto(strDoc);

    const std::string strRecovery = strDoc + ".recovery";
    EXPECT_EQ(Frame().GetDocManager().GetRecoveryPath(), strRecovery);
    EXPECT_EQ(ReadFileBytes(strDoc), strBefore) << "the document changes only when the user saves";
    EXPECT_NE(WhoisIn(strRecovery).find("BOUYGTEL"), std::string::npos);
    EXPECT_TRUE(Doc().IsModified());

    ASSERT_TRUE(Frame().GetDocManager().OnFileSave());
    EXPECT_FALSE(fs::exists(strRecovery));
    EXPECT_TRUE(Frame().GetDocManager().GetRecoveryPath().empty());
    EXPECT_NE(WhoisIn(strDoc).find("BOUYGTEL"), std::string::npos);
}

TEST_F(CMainFrameRecoveryTest, ClosingOrReplacingTheDocumentRemovesItsRecoveryFile)
{
    struct CCase {
        const char* m_pszName;
        bool m_bTitled;
        std::function<void()> m_fnEnd;
    };
    const std::vector<CCase> cases = {
        {"window closed, changes not saved", true, [this] { Frame().close(); }},
        {"untitled, window closed", false, [this] { Frame().close(); }},
        {"new document", true, [this] { Frame().GetDocManager().OnFileNew(); }},
        {"untitled saved under a name", false,
         [this] {
             m_files.m_strAnswer = QString::fromStdString(m_dir.File("named.qdl"));
             Frame().GetDocManager().OnFileSaveAs();
         }},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        MakeCheckpointingFrame();
        const std::string strDoc = c.m_bTitled ? SavedDocument() : std::string();
        const std::string strBefore = c.m_bTitled ? ReadFileBytes(strDoc) : std::string();
        LookUpInto(strDoc);
        const std::string strRecovery = Frame().GetDocManager().GetRecoveryPath();
        ASSERT_TRUE(fs::exists(strRecovery));
        if (!c.m_bTitled) {
            EXPECT_EQ(fs::path(strRecovery).parent_path(), fs::path(m_dir.File("data")));
            EXPECT_TRUE(CRecoveryFile::IsUntitledDocument(CRecoveryFile::DocumentOf(strRecovery))) << strRecovery;
        }
        m_prompts.m_answer = CFramePrompts::kNo;
        c.m_fnEnd();
        EXPECT_FALSE(fs::exists(strRecovery));
        // An untitled document's lock goes with it.
        if (!c.m_bTitled) {
            EXPECT_FALSE(fs::exists(CDocumentLock::LockPathFor(CRecoveryFile::DocumentOf(strRecovery))));
        }
        if (c.m_bTitled) {
            EXPECT_EQ(ReadFileBytes(strDoc), strBefore);
        }
        fs::remove(m_dir.File("doc.qdl"));
        fs::remove(m_dir.File("named.qdl"));
    }
}

TEST_F(CMainFrameRecoveryTest, ACrashedRunsResultsAreOfferedAtTheNextStartOrOpen)
{
    struct CCase {
        const char* m_pszName;
        bool m_bTitled;
        bool m_bAtOpen; // offered when the document is opened (else at the start)
        CFramePrompts::EAnswer m_answer;
    };
    const CCase cases[] = {
        {"named, restored at start", true, false, CFramePrompts::kYes},
        {"named, discarded at start", true, false, CFramePrompts::kNo},
        {"named, left for later at start", true, false, CFramePrompts::kCancel},
        {"named, restored at open", true, true, CFramePrompts::kYes},
        {"named, discarded at open", true, true, CFramePrompts::kNo},
        {"named, left at open", true, true, CFramePrompts::kCancel},
        {"untitled, restored at start", false, false, CFramePrompts::kYes},
        {"untitled, discarded at start", false, false, CFramePrompts::kNo},
        {"untitled, left for later", false, false, CFramePrompts::kCancel},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        MakeCheckpointingFrame();
        const std::string strDoc = c.m_bTitled ? SavedDocument() : std::string();
        const std::string strBefore = c.m_bTitled ? ReadFileBytes(strDoc) : std::string();
        LookUpInto(strDoc);
        const std::string strRecovery = Frame().GetDocManager().GetRecoveryPath();
        Crash();
        ASSERT_TRUE(fs::exists(strRecovery));

        // At the start the question is asked when the window is up; answered "later" there
        // when the open is what this case is about.
        m_prompts.m_answer = c.m_bAtOpen ? CFramePrompts::kCancel : c.m_answer;
        MakeFrame();
        ASSERT_EQ(m_prompts.m_questions.size(), 1u);
        const QString strQuestion = m_prompts.m_questions[0];
        EXPECT_TRUE(strQuestion.contains(QString::fromStdString(strRecovery))) << strQuestion.toStdString();
        bool bOpened = false;
        if (c.m_bAtOpen) {
            m_prompts.m_answer = c.m_answer;
            bOpened = Frame().GetDocManager().OpenDocumentFile(strDoc);
            EXPECT_EQ(m_prompts.m_questions.size(), 2u);
        }

        const bool bRestored = c.m_answer == CFramePrompts::kYes;
        EXPECT_EQ(fs::exists(strRecovery), c.m_answer != CFramePrompts::kNo);
        EXPECT_EQ(Doc().IsModified(), bRestored);
        EXPECT_EQ(!Doc().GetData().GetRawWhois(CWhoisdProcess::kAddress).empty(), bRestored);
        if (c.m_bAtOpen) {
            EXPECT_EQ(bOpened, c.m_answer != CFramePrompts::kCancel);
        }
        if (bRestored) {
            EXPECT_EQ(Doc().GetPathName(), strDoc);
            // The restored results stay recoverable until saved.
            EXPECT_EQ(Frame().GetDocManager().GetRecoveryPath(), strRecovery);
        }
        if (c.m_bTitled) {
            EXPECT_EQ(ReadFileBytes(strDoc), strBefore);
        }
        if (c.m_answer == CFramePrompts::kCancel) {
            // Still there at the next start.
            Crash();
            m_prompts.m_answer = CFramePrompts::kNo;
            MakeFrame();
            EXPECT_EQ(m_prompts.m_questions.size(), 1u);
            EXPECT_FALSE(fs::exists(strRecovery));
        }
        m_prompts.m_answer = CFramePrompts::kNo;
        Frame().close();
        EXPECT_FALSE(fs::exists(strRecovery));
        m_prompts.m_questions.clear();
        fs::remove(m_dir.File("doc.qdl"));
    }
}

TEST_F(CMainFrameRecoveryTest, ARecoveryFileOfALiveWindowIsNotOffered)
{
    const std::string strDoc = SavedDocument();
    WriteFileBytes(strDoc + ".recovery", ReadFileBytes(strDoc));
    // This process holds the document: as another window at work on it would.
    CDocumentLock lock;
    ASSERT_EQ(lock.Acquire(strDoc), CDocumentLock::acquired);
    m_pStore->WriteProfileString(FrameTexts::kRecentFileSection, "File1", strDoc);
    m_pStore->Sync();
    MakeFrame();
    EXPECT_TRUE(m_prompts.m_questions.empty());
    EXPECT_TRUE(fs::exists(strDoc + ".recovery"));
}

TEST_F(CMainFrameRecoveryTest, ADamagedRecoveryFileIsReportedAndLeftAlone)
{
    const std::string strDoc = SavedDocument();
    CNetloreDoc full;
    full.AddIP(CWhoisdProcess::kAddress);
    full.AddIP("192.0.2.7");
    ASSERT_TRUE(full.OnSaveDocument(m_dir.File("full.qdl")));
    const std::string strWhole = ReadFileBytes(m_dir.File("full.qdl"));
    std::string strWrongClass = strWhole;
    strWrongClass.replace(strWrongClass.find("CIPAddressData"), 14, "CSomethingElse");
    struct CCase {
        const char* m_pszName;
        std::function<void(const std::string&)> m_fnMake;
    };
    const CCase cases[] = {
        {"cut inside a record", [&](const std::string& p) { WriteFileBytes(p, strWhole.substr(0, 30)); }},
        {"an unknown class", [&](const std::string& p) { WriteFileBytes(p, strWrongClass); }},
        {"a count far beyond the data", [](const std::string& p) { WriteFileBytes(p, "\xff\xff\xff\x7f"); }},
        {"a folder", [](const std::string& p) { fs::create_directory(p); }},
    };
    const std::string strRecovery = strDoc + ".recovery";
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        fs::remove_all(strRecovery);
        c.m_fnMake(strRecovery);
        const bool bFolder = fs::is_directory(strRecovery);
        const std::string strBytes = bFolder ? std::string() : ReadFileBytes(strRecovery);
        m_prompts.m_questions.clear();
        m_prompts.m_messages.clear();
        m_prompts.m_answer = CFramePrompts::kYes;
        EXPECT_FALSE(Frame().GetDocManager().OpenDocumentFile(strDoc));
        EXPECT_EQ(m_prompts.m_questions.size(), 1u);
        ASSERT_EQ(m_prompts.m_messages.size(), 1u);
        EXPECT_TRUE(m_prompts.m_messages[0].contains(QString::fromStdString(strRecovery)))
            << m_prompts.m_messages[0].toStdString();
        EXPECT_TRUE(m_prompts.m_messages[0].contains(QStringLiteral("left where it is")));
        EXPECT_EQ(fs::is_directory(strRecovery), bFolder);
        if (!bFolder) {
            EXPECT_EQ(ReadFileBytes(strRecovery), strBytes);
        }
        EXPECT_EQ(Doc().GetData().GetSize(), 0);
        EXPECT_FALSE(Doc().IsModified());
        EXPECT_TRUE(Doc().GetPathName().empty());
    }
    // "No" gets rid of it, and the document opens.
    fs::remove_all(strRecovery);
    WriteFileBytes(strRecovery, strWrongClass);
    m_prompts.m_answer = CFramePrompts::kNo;
    EXPECT_TRUE(Frame().GetDocManager().OpenDocumentFile(strDoc));
    EXPECT_FALSE(fs::exists(strRecovery));
    EXPECT_EQ(Doc().GetPathName(), strDoc);
}

TEST_F(CMainFrameRecoveryTest, AFailedCheckpointIsLoggedOnceAndTheWorkGoesOn)
{
    MakeCheckpointingFrame();
    const std::string strDoc = SavedDocument();
    ASSERT_TRUE(Frame().GetDocManager().OpenDocumentFile(strDoc));
    // The recovery file's name is taken by a folder that cannot be replaced.
    fs::create_directory(strDoc + ".recovery");
    TypeAndLookup(QString::fromStdString(CWhoisdProcess::kAddress));
    ASSERT_TRUE(WaitForWhois(CWhoisdProcess::kAddress));
    Frame().Checkpoint(true);
    ASSERT_NE(Frame().GetMessageLog(), nullptr);
    const QStringList messages = Frame().GetMessageLog()->GetMessages();
    ASSERT_EQ(messages.size(), 1) << messages.join(QStringLiteral("|")).toStdString();
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(strDoc + ".recovery")));
    EXPECT_TRUE(Frame().GetMessageLog()->isVisibleTo(&Frame()));
    EXPECT_TRUE(fs::is_directory(strDoc + ".recovery"));
    EXPECT_FALSE(Doc().GetData().GetRawWhois(CWhoisdProcess::kAddress).empty());
}

TEST_F(CMainFrameRecoveryTest, SettingsTheWindowCannotUseAreLoggedOnceWithTheDefaultUsed)
{
    std::string ini = ReadFileBytes(m_strIni);
    ini.replace(ini.find("[Settings]\n"), 11,
                "[Settings]\nRescan%20Gap=soon\nCheckpoint%20Seconds=0\nCheckpoint%20Results=1\n");
    ini.replace(ini.find("Idle%20Timeout=2000"), 19, "Idle%20Timeout=abc");
    WriteFileBytes(m_strIni, ini);
    MakeFrame();
    // The settings are read again on the way: still one message each.
    m_pFrame->OnTimer();
    ASSERT_NE(Frame().GetMessageLog(), nullptr);
    const QStringList messages = Frame().GetMessageLog()->GetMessages();
    const std::vector<std::pair<QString, QString>> expected = {
        {QStringLiteral("Rescan Gap"), QStringLiteral("1440")},
        {QStringLiteral("Checkpoint Seconds"), QStringLiteral("30")},
        {QStringLiteral("Idle Timeout"), QString()},
    };
    for (const auto& [strName, strDefault] : expected) {
        const QStringList found = messages.filter(strName);
        ASSERT_EQ(found.size(), 1) << strName.toStdString() << ": " << messages.join(QStringLiteral("|")).toStdString();
        EXPECT_TRUE(found[0].startsWith(QStringLiteral("settings: "))) << found[0].toStdString();
        EXPECT_TRUE(found[0].contains(strDefault)) << found[0].toStdString();
    }
    EXPECT_EQ(messages.filter(QStringLiteral("Checkpoint Results")).size(), 0);
    EXPECT_TRUE(Frame().GetMessageLog()->isVisibleTo(&Frame()));
}
