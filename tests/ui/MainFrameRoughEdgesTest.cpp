// Small things a user trips over: the About box's version, Ctrl+F, the Messages
// bar across a restart, Delete on an empty list, and what a report holds.

#include "MainFrameFixture.h"

#include "ui/frame/FrameTexts.h"
#include "ui/frame/MessageLogBar.h"
#include "ui/lists/DetailsView.h"

#include <QApplication>
#include <QLineEdit>
#include <QStatusBar>

namespace {

using namespace FrameTexts;

using CMainFrameRoughEdgesTest = CMainFrameTest;

} // namespace

TEST_F(CMainFrameRoughEdgesTest, AboutNamesTheVersion)
{
    Trigger(kCmdAppAbout);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_TRUE(m_prompts.m_messages[0].contains(QStringLiteral("Version 0.1.0")))
        << m_prompts.m_messages[0].toStdString();
}

TEST_F(CMainFrameRoughEdgesTest, CtrlFFocusesTheDetailsFilter)
{
    QApplication::setActiveWindow(&Frame());
    EXPECT_EQ(Frame().GetAction(kCmdEditFind)->shortcut(), QKeySequence(QKeySequence::Find));
    Trigger(kCmdEditFind);
    ASSERT_TRUE(Frame().GetIPListBar()->IsDetailsMode());
    QLineEdit* pFilter = Frame().GetIPListBar()->GetDetailsView()->GetFilterBox();
    EXPECT_TRUE(pFilter->hasFocus() || QApplication::focusWidget() == pFilter);
}

TEST_F(CMainFrameRoughEdgesTest, TheMessagesBarComesBackAsItWasLeft)
{
    EXPECT_TRUE(Frame().GetMessageLog()->isHidden());
    Frame().GetMessageLog()->show();
    ASSERT_TRUE(Frame().close());
    MakeFrame();
    EXPECT_FALSE(Frame().GetMessageLog()->isHidden());
    Frame().GetMessageLog()->hide();
    ASSERT_TRUE(Frame().close());
    MakeFrame();
    EXPECT_TRUE(Frame().GetMessageLog()->isHidden());
}

TEST_F(CMainFrameRoughEdgesTest, DeleteNeedsRowsAndAReportSaysWhichRowsItHolds)
{
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Frame().GetAction(kCmdDelete)->isEnabled());
    TypeAndLookup(QString::fromStdString(CWhoisdProcess::kAddress));
    ASSERT_TRUE(WaitForWhois(CWhoisdProcess::kAddress));
    AddRows({"192.0.2.1", "192.0.2.2"}, {0});
    Frame().UpdateCommandStates();
    EXPECT_TRUE(Frame().GetAction(kCmdDelete)->isEnabled());

    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.csv"));
    Trigger(kCmdExportTableCsv);
    ASSERT_EQ(m_files.m_nAsked, 1);
    EXPECT_EQ(Frame().statusBar()->currentMessage(), QStringLiteral("Wrote 1 of 3 rows (selected rows only) to ") +
                                                         QString::fromStdString(m_dir.File("table.csv")));
}
