#include "ui/lists/BigListCtrl.h"

#include "core/settings/MemorySettingsStore.h"
#include "ui/TextConv.h"
#include "ui/lists/BigListModel.h"
#include "ui/lists/BigListOwner.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <string>
#include <vector>

namespace {

class CTableOwner : public CBigListOwner
{
public:
    std::vector<std::vector<std::string>> m_rows;
    std::string GetCellText(int nRow, int nColumn) override
    {
        if (nRow < 0 || size_t(nRow) >= m_rows.size() || nColumn < 0 || size_t(nColumn) >= m_rows[size_t(nRow)].size())
            return {};
        return m_rows[size_t(nRow)][size_t(nColumn)];
    }
};

struct CListFixture : ::testing::Test {
    CTableOwner owner;
    CMemorySettingsStore store;
    CBigListCtrl list;

    void Fill(std::vector<std::vector<std::string>> rows, std::vector<std::string> titles = {"Entries"})
    {
        owner.m_rows = std::move(rows);
        list.SetOwner(&owner);
        list.SetSettingsStore(&store);
        for (const std::string& t : titles)
            list.AddColumn(t, 150);
        list.SetRowCount(int(owner.m_rows.size()));
    }
    QImage Render(QSize sz = QSize(200, 120))
    {
        list.resize(sz);
        list.show();
        return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

bool HasColor(const QImage& img, const QRect& rc, const QColor& clr)
{
    const QRect r = rc.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) == clr)
                return true;
    return false;
}

using Pieces = std::vector<CBigListCtrl::CTextPiece>;

} // namespace

TEST(BigListTags, ColourTagsSplitTheTextAndSwitchColours)
{
    CBigListCtrl list;
    const QColor start(1, 2, 3);
    const QColor cyan(0, 255, 255);
    EXPECT_EQ(list.SplitTaggedText("ab<#!1>cd", start, false), (Pieces {{"ab", start}, {"cd", list.GetTextColor1()}}));
    EXPECT_EQ(list.SplitTaggedText("ab<#!1>cd", start, true), (Pieces {{"ab", start}, {"cd", cyan}}));
    EXPECT_EQ(list.SplitTaggedText("<#!2>x", start, false), (Pieces {{"x", list.GetTextColor2()}}));
    EXPECT_EQ(list.SplitTaggedText("<#!1>x<#!0>y", start, false),
              (Pieces {{"x", list.GetTextColor1()}, {"y", list.GetFontColor()}}));
    const QColor highlightText = list.palette().color(QPalette::HighlightedText);
    EXPECT_EQ(list.SplitTaggedText("<#!0>y", start, true), (Pieces {{"y", highlightText}}));
    // A colour of its own, and cyan on a highlighted row.
    EXPECT_EQ(list.SplitTaggedText("<#123456>zz", start, false), (Pieces {{"zz", QColor(0x12, 0x34, 0x56)}}));
    EXPECT_EQ(list.SplitTaggedText("<#123456>zz", start, true), (Pieces {{"zz", cyan}}));
    // "#!" with another character only changes a highlighted row.
    EXPECT_EQ(list.SplitTaggedText("<#!7>q", start, false), (Pieces {{"q", start}}));
    EXPECT_EQ(list.SplitTaggedText("<#!7>q", start, true), (Pieces {{"q", cyan}}));
}

TEST(BigListTags, UnknownAndUnclosedTagsAreNeverDrawn)
{
    CBigListCtrl list;
    const QColor start(9, 9, 9);
    EXPECT_EQ(list.SplitTaggedText("ab<cd", start, false), (Pieces {{"ab", start}}));
    EXPECT_TRUE(list.SplitTaggedText("<>", start, false).empty());
    EXPECT_TRUE(list.SplitTaggedText("<", start, false).empty());
    EXPECT_EQ(list.SplitTaggedText("<font color=\"#FF0000\">red?", start, false), (Pieces {{"red?", start}}));
    EXPECT_EQ(list.SplitTaggedText("<#12345G>x", start, false), (Pieces {{"x", start}}));
    EXPECT_EQ(list.SplitTaggedText("a>b", start, false), (Pieces {{"a>b", start}}));
}

TEST(BigListTags, StripRemovesOnlyTheListedTags)
{
    EXPECT_EQ(CBigListCtrl::StripCellTags("<font color=\"#FF0000\">a<#!1>b<#!0>c"), "abc");
    EXPECT_EQ(CBigListCtrl::StripCellTags("[{x}]<#!2><#!3><#FF0000><#00FF00><#800000>"), "x");
    EXPECT_EQ(CBigListCtrl::StripCellTags("<#808080><#A0A0A0><#000000><#0000FF><#000080>y"), "y");
    EXPECT_EQ(CBigListCtrl::StripCellTags("<#123456>keep"), "<#123456>keep");
    EXPECT_EQ(CBigListCtrl::StripCellTags("<#!1"), "<#!1");
    // Removal in the fixed order can join the pieces of a later tag.
    EXPECT_EQ(CBigListCtrl::StripCellTags("[<#!0>{z}<#!1>]"), "z");
}

TEST(BigListRowHeight, PercentOfTheFontsLineHeight)
{
    EXPECT_EQ(CBigListCtrl::ComputeRowHeight(16, 0, 150), 25);
    EXPECT_EQ(CBigListCtrl::ComputeRowHeight(16, 2, 100), 19);
    // Hostile settings never give an empty or enormous row.
    EXPECT_EQ(CBigListCtrl::ComputeRowHeight(16, 0, 0), 1);
    EXPECT_EQ(CBigListCtrl::ComputeRowHeight(16, 0, -300), 1);
    EXPECT_LE(CBigListCtrl::ComputeRowHeight(16, 0, INT_MAX), 1024);
}

TEST_F(CListFixture, SettingsDefaultsWithAnEmptySection)
{
    list.SetSettingsStore(&store);
    list.LoadListSettings("Some List");
    EXPECT_EQ(list.GetRowColor1(), QColor(255, 255, 255));
    EXPECT_EQ(list.GetRowColor2(), QColor(240, 255, 255));
    EXPECT_EQ(list.GetFontColor(), QColor(0, 0, 0));
    EXPECT_EQ(list.GetTextColor1(), QColor(255, 0, 0));
    EXPECT_EQ(list.GetTextColor2(), QColor(128, 0, 0));
    EXPECT_EQ(list.GetRowHeightPercent(), 150);
    EXPECT_EQ(list.GetListFont().pixelSize(), 12);
    EXPECT_EQ(list.GetListFont().weight(), QFont::ExtraBold);
    EXPECT_EQ(list.GetListFont().family(), "Arial");
    const QFontMetrics fm(list.GetListFont());
    EXPECT_EQ(list.GetRowHeight(), CBigListCtrl::ComputeRowHeight(fm.height(), fm.leading(), 150));
}

TEST_F(CListFixture, SettingsAreReadFromTheListsSection)
{
    store.WriteProfileInt("L", "Row Color-1", 0x0000FF);
    store.WriteProfileInt("L", "Text Color-2", 0xFF0000);
    store.WriteProfileInt("L", "Font Color", 0x00FF00);
    store.WriteProfileInt("L", "Row Height", 200);
    store.WriteProfileInt("L", "Font lfHeight", -20);
    store.WriteProfileInt("L", "Font lfWeight", 400);
    store.WriteProfileInt("L", "Font lfItalic", 1);
    store.WriteProfileString("L", "Font lfFaceName", std::string(40, 'F'));
    store.WriteProfileInt("Other", "Row Color-2", 0);
    list.SetSettingsStore(&store);
    list.LoadListSettings("L");
    EXPECT_EQ(list.GetRowColor1(), QColor(255, 0, 0));
    EXPECT_EQ(list.GetRowColor2(), QColor(240, 255, 255));
    EXPECT_EQ(list.GetTextColor2(), QColor(0, 0, 255));
    EXPECT_EQ(list.GetFontColor(), QColor(0, 255, 0));
    EXPECT_EQ(list.GetRowHeightPercent(), 200);
    EXPECT_EQ(list.GetListFont().pixelSize(), 20);
    EXPECT_EQ(list.GetListFont().weight(), QFont::Normal);
    EXPECT_TRUE(list.GetListFont().italic());
    EXPECT_EQ(list.GetListFont().family(), QString(31, 'F'));
}

TEST_F(CListFixture, HostileSettingsKeepTheListUsable)
{
    store.WriteProfileString("L", "Row Height", "-7");
    store.WriteProfileInt("L", "Font lfHeight", INT_MIN);
    store.WriteProfileInt("L", "Font lfWeight", INT_MAX);
    store.WriteProfileString("List Column Widths", "Entries", "999999999999");
    list.SetSettingsStore(&store);
    list.LoadListSettings("L");
    EXPECT_GE(list.GetRowHeight(), 1);
    EXPECT_LE(list.GetListFont().pixelSize(), 256);
    Fill({{"a"}, {"b"}});
    EXPECT_GE(list.GetColumnWidth(0), 0);
    EXPECT_FALSE(Render().isNull());
}

TEST_F(CListFixture, ColumnWidthComesFromTheSettingsByTitle)
{
    store.WriteProfileInt("List Column Widths", "Owner", 321);
    list.SetSettingsStore(&store);
    EXPECT_EQ(list.AddColumn("Owner", 80), 0);
    EXPECT_EQ(list.AddColumn("Country", 80), 1);
    EXPECT_EQ(list.GetColumnWidth(0), 321);
    EXPECT_EQ(list.GetColumnWidth(1), 80);
}

TEST_F(CListFixture, CopyTableJoinsRowsWithCrLfAndNoTrailingLineEnd)
{
    Fill({{"first"}, {"second"}});
    EXPECT_EQ(list.BuildCopyText(false), "first\r\nsecond");
    ASSERT_TRUE(list.CopyTable());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first\r\nsecond");
}

TEST_F(CListFixture, CopyDropsEmptyRowsTrailingBlanksAndSkipsHashColumns)
{
    Fill({{"1", "a ", "<#!1>x"}, {"2", "", ""}, {"3", "b", "<#123456>y"}}, {"#", "Name", "Tagged"});
    // Blanks inside a row stay; only the end of each row is trimmed.
    EXPECT_EQ(list.BuildCopyText(false), "a \tx\r\nb\t<#123456>y");

    CTableOwner other;
    other.m_rows = {{"one"}, {""}, {"  two  "}};
    CBigListCtrl single;
    single.SetOwner(&other);
    single.AddColumn("Entries", 100);
    single.SetRowCount(3);
    EXPECT_EQ(single.BuildCopyText(false), "one\r\n  two");
}

TEST_F(CListFixture, CopySelectedRowsTakesSelectedRowsInAscendingOrder)
{
    Fill({{"r0"}, {"r1"}, {"r2"}, {"r3"}});
    EXPECT_FALSE(list.CopySelectedRows());
    list.SelectRow(3);
    list.SelectRow(1);
    EXPECT_EQ(list.BuildCopyText(true), "r1\r\nr3");
    EXPECT_EQ(list.GetSelectedTexts(0), (std::vector<std::string> {"r1", "r3"}));
    EXPECT_TRUE(list.GetSelectedTexts(1).empty());
    EXPECT_TRUE(list.GetSelectedTexts(-1).empty());
}

TEST_F(CListFixture, NewlySelectedRowIsReportedAndRemembered)
{
    Fill({{"r0"}, {"r1"}, {"r2"}});
    list.SetSelectionCommand(502);
    QSignalSpy commands(&list, &CBigListCtrl::commandIssued);
    Render();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.GetModel()->index(2, 0)).center());
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 502);
    EXPECT_EQ(list.GetSelectedRow(), 2);

    // Clicking below the last row clears the selection; the remembered row goes with it.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 2));
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(list.GetSelectedRow(), -1);

    list.SelectRow(0);
    list.SelectRow(1);
    EXPECT_EQ(list.DeselectAll(), 2);
    EXPECT_EQ(list.DeselectAll(), 0);

    list.SetSelectionCommand(0);
    commands.clear();
    list.SelectRow(2);
    EXPECT_EQ(commands.count(), 0);
    EXPECT_EQ(list.GetSelectedRow(), 2);
}

TEST_F(CListFixture, RowsAlternateColoursAndTheHighlightFollowsTheSelection)
{
    list.LoadListSettings("none");
    Fill({{"a"}, {"b"}, {"c"}, {"d"}});
    list.SetShowSelectionAlways(true);
    const QImage img = Render(QSize(200, 200));
    const int h = list.GetRowHeight();
    const int x = 140; // inside the 150-pixel column, right of the text
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(img.pixelColor(x, r * h + h / 2), r % 2 ? QColor(255, 255, 255) : QColor(240, 255, 255)) << r;

    list.SelectRow(1);
    const QImage sel = Render(QSize(200, 200));
    EXPECT_EQ(sel.pixelColor(x, h + h / 2), list.palette().color(QPalette::Highlight));

    // Without show-selection-always a list without focus shows no highlight.
    list.SetShowSelectionAlways(false);
    list.clearFocus();
    const QImage unfocused = Render(QSize(200, 200));
    EXPECT_EQ(unfocused.pixelColor(x, h + h / 2), QColor(255, 255, 255));

    // A disabled list fills nothing.
    list.setEnabled(false);
    const QImage disabled = Render(QSize(200, 200));
    EXPECT_EQ(disabled.pixelColor(x, h / 2), list.palette().color(QPalette::Base));
}

TEST_F(CListFixture, TaggedTextIsDrawnInTheTagsColour)
{
    list.LoadListSettings("none");
    Fill({{"WWWW<#!1>WWWW"}, {"WWWWWWWW"}});
    const QImage img = Render(QSize(300, 120));
    const int h = list.GetRowHeight();
    EXPECT_TRUE(HasColor(img, QRect(0, 0, 250, h), QColor(255, 0, 0)));
    EXPECT_FALSE(HasColor(img, QRect(0, h, 250, h), QColor(255, 0, 0)));

    list.SetShowSelectionAlways(true);
    list.SelectRow(0);
    const QImage sel = Render(QSize(300, 120));
    EXPECT_TRUE(HasColor(sel, QRect(0, 0, 250, h), QColor(0, 255, 255)));
}

TEST_F(CListFixture, EmptyListShowsItsMessageTenPixelsDown)
{
    Fill({});
    const QColor base = list.palette().color(QPalette::Base);
    const QImage img = Render(QSize(200, 100));
    EXPECT_FALSE(HasColor(img, QRect(0, 0, 200, 10), list.palette().color(QPalette::Text)));
    bool bInk = false;
    for (int y = 10; y < 40 && !bInk; ++y)
        for (int x = 0; x < img.width() && !bInk; ++x)
            bInk = img.pixelColor(x, y) != base;
    EXPECT_TRUE(bInk);

    list.SetEmptyText("");
    const QImage blank = Render(QSize(200, 100));
    for (int y = 0; y < blank.height(); y += 3)
        for (int x = 0; x < blank.width(); x += 3)
            ASSERT_EQ(blank.pixelColor(x, y), base) << x << "," << y;
}

TEST_F(CListFixture, ModelStaysConsistentWhileRowsComeAndGo)
{
    QAbstractItemModelTester tester(list.GetModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    Fill({{"a", "1"}, {"b", "2"}, {"c", "3"}}, {"Name", "N"});
    list.SetRowCount(3);
    list.SetRowCount(1);
    list.SetRowCount(0);
    list.SetRowCount(3);
    EXPECT_EQ(list.GetModel()->rowCount(), 3);
    EXPECT_EQ(list.GetModel()->data(list.GetModel()->index(1, 1)).toString(), "2");
    EXPECT_EQ(list.GetModel()->headerData(0, Qt::Horizontal).toString(), "Name");
}

TEST_F(CListFixture, LongCellTextsAreCut)
{
    Fill({{std::string(1000, 'x')}});
    EXPECT_EQ(list.GetModel()->GetCellText(0, 0).size(), size_t(CBigListModel::kCellTextCapacity - 1));
}

TEST_F(CListFixture, ScrollingKeepsTheRowInView)
{
    std::vector<std::vector<std::string>> rows(1000, {"row"});
    Fill(rows);
    Render(QSize(200, 200));
    const int nVisible = list.GetVisibleRowCount();
    list.EnsureRowVisible(999);
    EXPECT_EQ(list.GetTopRow(), 1000 - nVisible);
    EXPECT_EQ(list.indexAt(QPoint(5, (nVisible - 1) * list.GetRowHeight() + 1)).row(), 999);
    list.EnsureRowVisible(10);
    EXPECT_EQ(list.GetTopRow(), 10);
    QTest::keyClick(list.viewport(), Qt::Key_End);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_End);
    EXPECT_EQ(list.currentIndex().row(), 999);
    EXPECT_EQ(list.GetSelectedRow(), 999);
    EXPECT_EQ(list.GetTopRow(), 1000 - nVisible);
}
