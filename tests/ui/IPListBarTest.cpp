#include "ui/lists/IPListBar.h"

#include "core/document/NetloreDoc.h"
#include "core/document/ViewNotifier.h"
#include "core/settings/MemorySettingsStore.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/BigListModel.h"
#include "ui/lists/ListTexts.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

class CViewRecorder : public CViewNotifier
{
public:
    int m_nUpdates = 0;
    bool m_bLastHadHint = false;
    void UpdateAllViews(const std::string* pHint) override
    {
        ++m_nUpdates;
        m_bLastHadHint = pHint != nullptr;
    }
};

struct CIPListBarFixture : ::testing::Test {
    CMemorySettingsStore store;
    CNetloreDoc doc;
    CViewRecorder views;
    std::unique_ptr<CIPListBar> pBar;

    void SetUp() override { doc.SetViewNotifier(&views); }
    CIPListBar& Bar()
    {
        if (!pBar) {
            pBar = std::make_unique<CIPListBar>(store, "IP List", nullptr);
            pBar->SetDocument(&doc);
        }
        return *pBar;
    }
    void Add(std::initializer_list<const char*> addresses)
    {
        for (const char* psz : addresses)
            doc.AddIP(psz);
    }
};

constexpr uint32_t kAddr1 = 1;
constexpr uint32_t kAddr192 = (192u << 24) | (168u << 16) | (1u << 8) | 1u;
constexpr uint32_t kAddrMax = 0xFFFFFFFFu;

} // namespace

TEST(IPListFormat, BinaryGroupsNibblesAndTagsAlternateOctets)
{
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr192, "192.168.1.1", ListTexts::kModeBinary),
              "1100 0000  <#!1>1010 1000  <#!0>0000 0001  <#!1>0000 0001");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "0.0.0.1", ListTexts::kModeBinary),
              "0000 0000  <#!1>0000 0000  <#!0>0000 0000  <#!1>0000 0001");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddrMax, "255.255.255.255", ListTexts::kModeBinary),
              "1111 1111  <#!1>1111 1111  <#!0>1111 1111  <#!1>1111 1111");
}

TEST(IPListFormat, HexDecimalAndQuad)
{
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "0.0.0.1", ListTexts::kModeHex), "00000001");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr192, "192.168.1.1", ListTexts::kModeHex), "C0A80101");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddrMax, "255.255.255.255", ListTexts::kModeHex), "FFFFFFFF");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "0.0.0.1", ListTexts::kModeDecimal), "1");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr192, "192.168.1.1", ListTexts::kModeDecimal), "3232235777");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddrMax, "255.255.255.255", ListTexts::kModeDecimal), "4294967295");
    // The quad is the address as the user typed it.
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "000.0.0.01", ListTexts::kModeQuad), "000.0.0.01");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "0.0.0.1", 0), "");
    EXPECT_EQ(CIPListBar::FormatAddress(kAddr1, "0.0.0.1", 32802), "");
}

TEST_F(CIPListBarFixture, RowsFollowTheDocumentInTheStoredMode)
{
    store.WriteProfileInt("Settings", "IP Address Display Mode", ListTexts::kModeDecimal);
    Add({"0.0.0.1", "192.168.1.1", "255.255.255.255"});
    Bar().RefreshList();
    CBigListCtrl* pList = Bar().GetList();
    ASSERT_EQ(pList->GetRowCount(), 3);
    EXPECT_EQ(pList->GetModel()->GetCellText(2, 0), "4294967295");
    EXPECT_EQ(pList->GetModel()->GetCellText(1, 1), "");
    Bar().SetDisplayMode(ListTexts::kModeHex);
    EXPECT_EQ(pList->GetModel()->GetCellText(1, 0), "C0A80101");
    EXPECT_EQ(Bar().GetRowText(3), "");
    EXPECT_EQ(Bar().GetRowText(-1), "");
    Bar().SetDocument(nullptr);
    EXPECT_EQ(Bar().GetRowText(0), "");
}

TEST_F(CIPListBarFixture, UnknownStoredModeShowsEveryRowEmpty)
{
    store.WriteProfileInt("Settings", "IP Address Display Mode", 12345);
    Add({"10.0.0.1", "10.0.0.2"});
    Bar().RefreshList();
    EXPECT_EQ(Bar().GetList()->GetRowCount(), 2);
    EXPECT_EQ(Bar().GetRowText(0), "");
    EXPECT_EQ(Bar().GetList()->BuildCopyText(false), "");
}

TEST_F(CIPListBarFixture, ModeIsReadAtConstructionAndWrittenAtDestruction)
{
    EXPECT_EQ(Bar().GetDisplayMode(), ListTexts::kModeQuad);
    EXPECT_FALSE(store.Contains("Settings", "IP Address Display Mode"));
    Bar().SetDisplayMode(ListTexts::kModeBinary);
    pBar.reset();
    EXPECT_EQ(store.GetProfileInt("Settings", "IP Address Display Mode", 0), ListTexts::kModeBinary);
}

TEST_F(CIPListBarFixture, EmptyDocumentShowsNoEntries)
{
    Bar().RefreshList();
    EXPECT_EQ(Bar().GetList()->GetRowCount(), 0);
    EXPECT_EQ(Bar().GetList()->GetEmptyText(), "No Entries");
    EXPECT_EQ(Bar().GetList()->GetColumnCount(), 1);
    EXPECT_EQ(Bar().GetList()->GetModel()->GetColumnTitle(0), "List Entries");
}

TEST_F(CIPListBarFixture, SelectingARowMakesItTheCurrentRecord)
{
    Add({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    doc.SetCurrentIndex(-1);
    Bar().RefreshList();
    EXPECT_EQ(Bar().GetList()->GetSelectedCount(), 0);
    Bar().resize(200, 300);
    Bar().show();
    CBigListCtrl* pList = Bar().GetList();
    const QPoint pt = pList->visualRect(pList->GetModel()->index(1, 0)).center();
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, {}, pt);
    EXPECT_EQ(doc.GetCurrentIndex(), 1);
    EXPECT_EQ(views.m_nUpdates, 1);
    EXPECT_FALSE(views.m_bLastHadHint);
}

TEST_F(CIPListBarFixture, RefreshSelectsTheCurrentRecordAndScrollsToIt)
{
    for (int i = 0; i < 500; ++i) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "10.0.%d.%d", i / 256, i % 256);
        doc.AddIP(sz);
    }
    Bar().resize(200, 300);
    Bar().show();
    Bar().RefreshList();
    doc.SetCurrentIndex(450);
    Bar().RefreshList();
    CBigListCtrl* pList = Bar().GetList();
    EXPECT_EQ(pList->GetSelectedRows(), std::vector<int> {450});
    EXPECT_GE(450, pList->GetTopRow());
    EXPECT_LT(450, pList->GetTopRow() + pList->GetVisibleRowCount());
    EXPECT_EQ(doc.GetCurrentIndex(), 450);

    // Fewer records: the rows shrink with the document.
    doc.DeleteIP("10.0.0.0");
    doc.SetCurrentIndex(0);
    Bar().RefreshList();
    EXPECT_EQ(pList->GetRowCount(), 499);
    EXPECT_EQ(pList->GetSelectedRows(), std::vector<int> {0});
}

TEST_F(CIPListBarFixture, CopySelectedRowsInBinaryDropsTheTags)
{
    store.WriteProfileInt("Settings", "IP Address Display Mode", ListTexts::kModeBinary);
    Add({"0.0.0.1", "1.2.3.4", "192.168.1.1"});
    Bar().RefreshList();
    Bar().GetList()->SelectRow(0);
    Bar().GetList()->SelectRow(2);
    ASSERT_TRUE(Bar().GetCopySelectedRowsAction()->isEnabled());
    Bar().GetCopySelectedRowsAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "0000 0000  0000 0000  0000 0000  0000 0001\r\n"
                                                    "1100 0000  1010 1000  0000 0001  0000 0001");
}

TEST_F(CIPListBarFixture, ContextMenuOffersCopyAndTheFramesLookup)
{
    QAction lookup("IP &Lookup Selected");
    QSignalSpy triggered(&lookup, &QAction::triggered);
    Bar().SetLookupAction(&lookup);
    QMenu* pMenu = Bar().GetContextMenu();
    ASSERT_EQ(pMenu->actions().size(), 4);
    EXPECT_EQ(pMenu->actions()[0]->text(), "Copy Selected Rows");
    EXPECT_EQ(pMenu->actions()[1]->text(), "Copy Table");
    EXPECT_TRUE(pMenu->actions()[2]->isSeparator());
    EXPECT_EQ(pMenu->actions()[3]->text(), "IP &Lookup Selected\tF5");
    EXPECT_EQ(Bar().GetList()->GetContextMenu(), pMenu);

    // Nothing to copy in an empty list.
    Bar().RefreshList();
    EXPECT_FALSE(Bar().GetCopySelectedRowsAction()->isEnabled());
    EXPECT_FALSE(Bar().GetCopyTableAction()->isEnabled());
    Add({"10.0.0.1"});
    Bar().RefreshList();
    EXPECT_TRUE(Bar().GetCopyTableAction()->isEnabled());
    EXPECT_FALSE(Bar().GetCopySelectedRowsAction()->isEnabled());

    lookup.setEnabled(false);
    emit pMenu->aboutToShow();
    EXPECT_FALSE(Bar().GetLookupMenuAction()->isEnabled());
    lookup.setEnabled(true);
    emit pMenu->aboutToShow();
    ASSERT_TRUE(Bar().GetLookupMenuAction()->isEnabled());
    Bar().GetLookupMenuAction()->trigger();
    EXPECT_EQ(triggered.count(), 1);
}

TEST_F(CIPListBarFixture, ColumnFillsTheBarsWidth)
{
    Add({"10.0.0.1"});
    Bar().RefreshList();
    Bar().resize(260, 300);
    Bar().show();
    QApplication::processEvents();
    EXPECT_EQ(Bar().GetList()->GetColumnWidth(0), Bar().GetList()->viewport()->width());
}

TEST_F(CIPListBarFixture, AMillionRowsRenderAndScrollToTheEnd)
{
    doc.GetData().DeleteAll();
    for (int i = 0; i < 1000000; ++i) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "10.%d.%d.%d", (i >> 16) & 255, (i >> 8) & 255, i & 255);
        doc.AddIP(sz);
    }
    QMainWindow frame;
    pBar = std::make_unique<CIPListBar>(store, "IP List", &frame);
    pBar->SetDocument(&doc);
    frame.addDockWidget(Qt::LeftDockWidgetArea, pBar.get());
    frame.resize(600, 400);
    frame.show();
    QAbstractItemModelTester tester(pBar->GetList()->GetModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    pBar->RefreshList();
    CBigListCtrl* pList = pBar->GetList();
    ASSERT_EQ(pList->GetRowCount(), 1000000);
    EXPECT_FALSE(pList->viewport()->grab().isNull());

    pList->setFocus();
    QTest::keyClick(pList, Qt::Key_End);
    EXPECT_EQ(pList->currentIndex().row(), 999999);
    EXPECT_EQ(pList->GetTopRow() + pList->GetVisibleRowCount(), 1000000);
    EXPECT_EQ(doc.GetCurrentIndex(), 999999);
    const QRect rcLast = pList->visualRect(pList->GetModel()->index(999999, 0));
    EXPECT_TRUE(pList->viewport()->rect().contains(rcLast));
    EXPECT_EQ(pList->indexAt(rcLast.center()).row(), 999999);
    EXPECT_EQ(pList->GetModel()->GetCellText(999999, 0), "10.15.66.63");
    EXPECT_FALSE(pList->viewport()->grab().isNull());
    pBar.reset();
}
