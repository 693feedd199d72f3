// Edit/Undo brings back the rows the last Delete removed.

#include "MainFrameFixture.h"

#include "core/record/OleDateTime.h"
#include "ui/frame/FrameTexts.h"

#include <QKeySequence>

namespace {

using namespace FrameTexts;

class CMainFrameUndoTest : public CMainFrameTest
{
protected:
    std::vector<std::string> Addresses()
    {
        std::vector<std::string> out;
        for (int i = 0; i < Doc().GetData().GetSize(); ++i)
            out.push_back(Doc().GetData().GetIPAddressAt(i));
        return out;
    }
    bool CanUndo()
    {
        Frame().UpdateCommandStates();
        return Frame().GetAction(kCmdEditUndo)->isEnabled();
    }
};

const std::vector<std::string> kFive = {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4", "192.0.2.5"};

} // namespace

TEST_F(CMainFrameUndoTest, TheLastDeletionComesBackInPlaceWithItsResults)
{
    EXPECT_EQ(Frame().GetAction(kCmdEditUndo)->shortcut(), QKeySequence(QKeySequence::Undo));
    AddRows(kFive, {1, 3});
    Doc().GetData().SetNoteByIP("192.0.2.4", 0, "checked");
    Doc().SetWhoisText("192.0.2.2", "NetRange: 192.0.2.0 - 192.0.2.255\nOrgName: Example Org\n");
    Doc().SetModifiedFlag(false);
    EXPECT_FALSE(CanUndo());

    Trigger(kCmdDelete);
    EXPECT_EQ(Addresses(), (std::vector<std::string> {"192.0.2.1", "192.0.2.3", "192.0.2.5"}));
    EXPECT_TRUE(Doc().IsModified());
    ASSERT_TRUE(CanUndo());
    Trigger(kCmdEditUndo);
    EXPECT_EQ(Addresses(), kFive);
    EXPECT_EQ(List().GetRowCount(), 5);
    EXPECT_EQ(Doc().GetData().GetNote("192.0.2.4", 0), "checked");
    EXPECT_EQ(Doc().GetData().GetOwner("192.0.2.2"), "Example Org");
    EXPECT_FALSE(Doc().IsModified()); // nothing else changed
    EXPECT_FALSE(CanUndo()); // one deletion, undone once
}

TEST_F(CMainFrameUndoTest, AnAddressAResultRecreatedKeepsItsNewerRecord)
{
    AddRows(kFive, {0, 4});
    Doc().SetModifiedFlag(false);
    Trigger(kCmdDelete);
    ASSERT_EQ(Doc().GetData().GetSize(), 3);
    // A whois answer for a deleted address arrives and re-creates its record.
    Doc().GetData().SetWhoisResult("192.0.2.5", "OrgName: Newer Org\n", COleDateTime::GetCurrentTime());
    Doc().SetModifiedFlag();
    Trigger(kCmdEditUndo);
    EXPECT_EQ(Addresses(),
              (std::vector<std::string> {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4", "192.0.2.5"}));
    EXPECT_EQ(Doc().GetData().GetSize(), 5);
    EXPECT_EQ(Doc().GetData().GetOwner("192.0.2.5"), "Newer Org");
    EXPECT_TRUE(Doc().IsModified()); // the answer changed the document
}

TEST_F(CMainFrameUndoTest, ANewDocumentForgetsTheDeletion)
{
    AddRows(kFive, {2});
    Trigger(kCmdDelete);
    ASSERT_TRUE(CanUndo());
    m_prompts.m_answer = CFramePrompts::kNo;
    Trigger(kCmdFileNew);
    EXPECT_FALSE(CanUndo());
    Trigger(kCmdEditUndo);
    EXPECT_EQ(Doc().GetData().GetSize(), 0);
}
