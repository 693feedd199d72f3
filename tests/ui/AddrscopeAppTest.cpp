#include "ui/frame/AddrscopeApp.h"
#include "core/document/NetloreDoc.h"
#include "core/settings/MemorySettingsStore.h"
#include "support/TestFiles.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/MainFrame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>

#include <filesystem>

namespace {

class CQuietPrompts : public CFramePrompts
{
public:
    int m_nMessages = 0;
    EAnswer AskYesNoCancel(QWidget*, const QString&) override { return kNo; }
    void ShowMessage(QWidget*, const QString&) override { ++m_nMessages; }
};

class CAddrscopeAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strMarkers = QString::fromStdString(m_dir.File("markers"));
        m_services.m_pPrompts = &m_prompts;
        m_services.m_nTrayAvailable = 0;
        // A saved document, remembered as the most recent one.
        CNetloreDoc doc;
        doc.AddIP("192.0.2.1");
        ASSERT_TRUE(doc.OnSaveDocument(m_dir.File("last.qdl")));
        m_store.WriteProfileString("Recent File List", "File1", m_dir.File("last.qdl"));
    }

    std::unique_ptr<CAddrscopeApp> Start(const QStringList& files = {})
    {
        auto pApp = std::make_unique<CAddrscopeApp>(m_store, m_strMarkers, m_services);
        EXPECT_TRUE(pApp->InitInstance(files));
        return pApp;
    }

    static std::string OpenPath(CAddrscopeApp& app) { return app.GetMainFrame()->GetDocument().GetPathName(); }

    CTempDir m_dir;
    CMemorySettingsStore m_store;
    CQuietPrompts m_prompts;
    CFrameServices m_services;
    QString m_strMarkers;
};

} // namespace

TEST_F(CAddrscopeAppTest, CleanRunsReopenTheLastDocumentAndRemoveTheMarker)
{
    auto pApp = Start();
    EXPECT_FALSE(pApp->WasUncleanExit());
    EXPECT_EQ(OpenPath(*pApp), m_dir.File("last.qdl"));
    EXPECT_EQ(pApp->GetMainFrame()->GetDocument().GetData().GetSize(), 1);
    EXPECT_TRUE(QFile::exists(pApp->GetMarkerPath()));
    pApp->ExitInstance();
    EXPECT_FALSE(QFile::exists(pApp->GetMarkerPath()));
}

TEST_F(CAddrscopeAppTest, AKilledRunTurnsAutoLoadOffUntilARunEndsNormally)
{
    auto pKilled = Start();
    pKilled.reset(); // no ExitInstance: the marker stays, as after a crash

    auto pNext = Start();
    EXPECT_TRUE(pNext->WasUncleanExit());
    EXPECT_TRUE(OpenPath(*pNext).empty());
    EXPECT_EQ(pNext->GetMainFrame()->GetDocument().GetData().GetSize(), 0);
    pNext->ExitInstance();
    pNext.reset();

    auto pAfter = Start();
    EXPECT_FALSE(pAfter->WasUncleanExit());
    EXPECT_EQ(OpenPath(*pAfter), m_dir.File("last.qdl"));
    pAfter->ExitInstance();
}

TEST_F(CAddrscopeAppTest, ANamedFileIsOpenedInsteadOfTheLastOne)
{
    CNetloreDoc other;
    other.AddIP("198.51.100.1");
    other.AddIP("198.51.100.2");
    ASSERT_TRUE(other.OnSaveDocument(m_dir.File("named.qdl")));
    auto pApp = Start({QString::fromStdString(m_dir.File("named.qdl"))});
    EXPECT_EQ(OpenPath(*pApp), m_dir.File("named.qdl"));
    EXPECT_EQ(pApp->GetMainFrame()->GetDocument().GetData().GetSize(), 2);
    pApp->ExitInstance();
}

TEST_F(CAddrscopeAppTest, AMissingLastDocumentIsSkippedSilently)
{
    std::filesystem::remove(m_dir.File("last.qdl"));
    auto pApp = Start();
    EXPECT_TRUE(OpenPath(*pApp).empty());
    EXPECT_EQ(m_prompts.m_nMessages, 0);
    EXPECT_TRUE(pApp->GetMainFrame()->isVisible());
    pApp->ExitInstance();
}

TEST_F(CAddrscopeAppTest, TheAutoLoadToggleIsWrittenAtOnce)
{
    auto pApp = Start();
    QAction* pToggle = pApp->GetMainFrame()->GetAction(FrameTexts::kCmdAutoLoad);
    ASSERT_NE(pToggle, nullptr);
    EXPECT_TRUE(pToggle->isChecked());
    pToggle->trigger();
    EXPECT_EQ(m_store.GetProfileInt("Settings", "Enable Auto DocLoad", -1), 0);
    EXPECT_FALSE(pToggle->isChecked());
    pApp->ExitInstance();
    pApp.reset();

    auto pOff = Start();
    EXPECT_TRUE(OpenPath(*pOff).empty());
    pOff->GetMainFrame()->GetAction(FrameTexts::kCmdAutoLoad)->trigger();
    EXPECT_EQ(m_store.GetProfileInt("Settings", "Enable Auto DocLoad", -1), 1);
    pOff->ExitInstance();
}
