// The Details display mode in the real window: the table of the records' facts,
// its sorting, filter, columns and the commands acting on the rows it shows.

#include "MainFrameFixture.h"

#include "core/record/DottedQuad.h"
#include "core/record/OleDateTime.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTableView>
#include <QToolBar>

namespace {

using namespace FrameTexts;
using M = CDetailsModel;

// A RIPE-like answer naming a holder and a country for a /24.
std::string Answer(const std::string& strNet, const std::string& strHolder, const std::string& strCountry)
{
    return "inetnum: " + strNet + ".0 - " + strNet + ".255\norg: ORG-X\n\norganisation: ORG-X\norg-name: " + strHolder +
           "\ncountry: " + strCountry + "\nabuse-mailbox: abuse@" + strCountry + ".example\n";
}

} // namespace

class CDetailsModeTest : public CMainFrameTest
{
protected:
    CIPListBar& Bar() { return *Frame().GetIPListBar(); }
    CDetailsView& Details() { return *Bar().GetDetailsView(); }
    QTableView& Table() { return *Details().GetTable(); }
    CDetailsModel& Model() { return *Details().GetModel(); }
    QHeaderView& Header() { return *Table().horizontalHeader(); }

    // The addresses of the shown rows, top to bottom.
    std::vector<std::string> ShownAddresses()
    {
        std::vector<std::string> shown;
        for (int r = 0; r < Model().rowCount(); ++r)
            shown.push_back(Model().CellText(r, M::kAddress));
        return shown;
    }

    // Records with holders, countries, host names and whois times out of every order.
    void AddRecords()
    {
        const COleDateTime dtBase = COleDateTime::FromComponents(2026, 3, 1, 12, 0, 0);
        const struct {
            const char* pszAddress;
            const char* pszHolder;
            const char* pszCountry;
            const char* pszHost;
            int nDay; // whois time: the base day plus this; 0 never looked up
        } records[] = {
            {"10.0.0.9", "beta GmbH", "DE", "alpha.example", 3},
            {"9.0.0.1", "Alpha Ltd", "FR", "_host.example", 1},
            {"10.0.0.10", "alpha ltd", "FR", "Beta.example", 0},
            {"192.0.2.1", "_Underscore", "NL", "", 2},
        };
        for (const auto& r : records) {
            const std::string strAddress = r.pszAddress;
            const std::string strNet = strAddress.substr(0, strAddress.rfind('.'));
            Doc().AddIP(strAddress);
            if (r.nDay > 0) {
                const COleDateTime dt(dtBase.GetDays() + r.nDay, COleDateTime::valid);
                Doc().GetData().SetWhoisResult(strAddress, Answer(strNet, r.pszHolder, r.pszCountry), dt);
            }
            if (*r.pszHost)
                Doc().GetData().SetHostNameResult(strAddress, r.pszHost);
        }
        // The one never looked up still has a holder to sort by: its answer came without a time.
        Doc().GetData().SetWhoisResult("10.0.0.10", Answer("10.0.0", "alpha ltd", "FR"), COleDateTime());
        Frame().OnCommand(kCmdRefreshIPList);
    }

    void SelectRows(const std::vector<int>& rows)
    {
        Table().clearSelection();
        // As clicks do it: the row clicked last is the current one.
        for (int nRow : rows)
            Table().selectionModel()->setCurrentIndex(Model().index(nRow, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Frame().UpdateCommandStates();
    }
};

TEST_F(CDetailsModeTest, SwitchingShowsTheFactsOfARealAnswerBelowTheViewAndBack)
{
    TypeAndLookup(QString::fromStdString(CWhoisdProcess::kAddress));
    ASSERT_TRUE(WaitForWhois(CWhoisdProcess::kAddress));
    EXPECT_EQ(Frame().dockWidgetArea(&Bar()), Qt::LeftDockWidgetArea);

    Trigger(kCmdModeDetails);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Bar().IsDetailsMode());
    EXPECT_TRUE(Frame().GetAction(kCmdModeDetails)->isChecked());
    EXPECT_FALSE(Frame().GetAction(kCmdModeQuad)->isChecked());
    EXPECT_TRUE(Table().isVisible());
    EXPECT_FALSE(List().isVisible());
    // The table takes the window's width below the whois view.
    EXPECT_EQ(Frame().dockWidgetArea(&Bar()), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(Bar().isAreaAllowed(Qt::BottomDockWidgetArea));
    EXPECT_GT(Bar().width(), Frame().width() / 2);
    EXPECT_TRUE(Frame().GetOptionsToolBar()->actions().contains(Frame().GetAction(kCmdModeDetails)));

    ASSERT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(Model().columnCount(), 12);
    const char* const titles[] = {"Address", "Holder",     "Country", "Range",  "Abuse",    "Host Name",
                                  "Ping",    "Whois Time", "Notes",   "Status", "Registry", "Allocated"};
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(Model().headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(titles[c]));
    const struct {
        int nColumn;
        std::string strText;
    } cells[] = {
        {M::kAddress, CWhoisdProcess::kAddress},
        {M::kHolder, "BOUYGTEL-ISP-CABLE"},
        {M::kCountry, "FR"},
        {M::kRange, "128.79.0.0 - 128.79.63.0"}, // as the answer writes it
        {M::kPing, ""},
        {M::kNotes, ""},
    };
    for (const auto& cell : cells)
        EXPECT_EQ(Model().data(Model().index(0, cell.nColumn)).toString().toStdString(), cell.strText) << cell.nColumn;
    const std::string strTime = Model().CellText(0, M::kWhoisTime);
    EXPECT_EQ(strTime.size(), 19u) << strTime;
    EXPECT_EQ(strTime.substr(0, 4), std::to_string(COleDateTime::GetCurrentTime().GetYear()));
    // The row of the current record is selected, as in the list.
    EXPECT_EQ(Details().GetSelectedRecords(), std::vector<int> {0});

    Trigger(kCmdModeQuad);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Bar().IsDetailsMode());
    EXPECT_TRUE(List().isVisible());
    EXPECT_FALSE(Table().isVisible());
    EXPECT_EQ(Frame().dockWidgetArea(&Bar()), Qt::LeftDockWidgetArea);
    EXPECT_FALSE(Bar().isAreaAllowed(Qt::BottomDockWidgetArea)); // a list of addresses stays at the side
    EXPECT_EQ(Bar().GetRowText(0), CWhoisdProcess::kAddress);
}

TEST_F(CDetailsModeTest, EachColumnSortsByItsKindStablyBothWays)
{
    AddRecords();
    Trigger(kCmdModeDetails);
    QAbstractItemModelTester tester(&Model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    const std::vector<std::string> documentOrder = {"10.0.0.9", "9.0.0.1", "10.0.0.10", "192.0.2.1"};
    ASSERT_EQ(ShownAddresses(), documentOrder);
    const struct {
        int nColumn;
        Qt::SortOrder order;
        std::vector<std::string> expected;
    } cases[] = {
        // Numerically, never as text (which puts 10.0.0.10 before 10.0.0.9 and 9.0.0.1 last).
        {M::kAddress, Qt::AscendingOrder, {"9.0.0.1", "10.0.0.9", "10.0.0.10", "192.0.2.1"}},
        {M::kAddress, Qt::DescendingOrder, {"192.0.2.1", "10.0.0.10", "10.0.0.9", "9.0.0.1"}},
        // Letters without case: "Alpha Ltd" and "alpha ltd" are equal and keep their document
        // order both ways; "_" sorts before the letters (it lies between the capitals and
        // the small letters in byte order).
        {M::kHolder, Qt::AscendingOrder, {"192.0.2.1", "9.0.0.1", "10.0.0.10", "10.0.0.9"}},
        {M::kHolder, Qt::DescendingOrder, {"10.0.0.9", "9.0.0.1", "10.0.0.10", "192.0.2.1"}},
        {M::kCountry, Qt::AscendingOrder, {"10.0.0.9", "9.0.0.1", "10.0.0.10", "192.0.2.1"}},
        {M::kCountry, Qt::DescendingOrder, {"192.0.2.1", "9.0.0.1", "10.0.0.10", "10.0.0.9"}},
        // Empty first, then "_host" before "alpha" and "Beta".
        {M::kHostName, Qt::AscendingOrder, {"192.0.2.1", "9.0.0.1", "10.0.0.9", "10.0.0.10"}},
        // As times: never looked up first, then day 1, 2, 3.
        {M::kWhoisTime, Qt::AscendingOrder, {"10.0.0.10", "9.0.0.1", "192.0.2.1", "10.0.0.9"}},
        {M::kWhoisTime, Qt::DescendingOrder, {"10.0.0.9", "192.0.2.1", "9.0.0.1", "10.0.0.10"}},
        // By range start: 9.0.0.0, then the two in 10.0.0.0/24 in document order, then 192.0.2.0.
        {M::kRange, Qt::AscendingOrder, {"9.0.0.1", "10.0.0.9", "10.0.0.10", "192.0.2.1"}},
        {M::kRange, Qt::DescendingOrder, {"192.0.2.1", "10.0.0.9", "10.0.0.10", "9.0.0.1"}},
        // All equal (no pings): the document order.
        {M::kPing, Qt::DescendingOrder, documentOrder},
    };
    for (const auto& c : cases) {
        // As the user does it: the header's sort indicator drives the table.
        Header().setSortIndicator(c.nColumn, c.order);
        EXPECT_EQ(ShownAddresses(), c.expected) << M::ColumnTitle(c.nColumn) << " " << int(c.order);
    }
    // A click on the header sorts too, and the current record stays selected.
    Doc().SetCurrentIndex(1);
    Frame().OnCommand(kCmdRefreshIPList);
    QTest::mouseClick(Header().viewport(), Qt::LeftButton, {},
                      QPoint(Header().sectionViewportPosition(M::kAddress) + 5, Header().height() / 2));
    const std::vector<std::string> shown = ShownAddresses();
    EXPECT_TRUE(shown.front() == "9.0.0.1" || shown.front() == "192.0.2.1");
    EXPECT_EQ(Header().sortIndicatorSection(), M::kAddress);
    EXPECT_EQ(Details().GetSelectedRecords(), std::vector<int> {1});
}

TEST_F(CDetailsModeTest, FilterKeepsRowsContainingTheTextInShownColumnsAndDisplayCountsThem)
{
    AddRecords();
    Doc().GetData().SetHostNameResult("192.0.2.1", "<b>bold</b>.example");
    Trigger(kCmdModeDetails);
    Frame().OnTimer();
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 4"));
    const struct {
        const char* pszFilter;
        std::vector<std::string> expected;
    } cases[] = {
        {"fr", {"9.0.0.1", "10.0.0.10"}}, // country, without case
        {"ALPHA", {"10.0.0.9", "9.0.0.1", "10.0.0.10"}}, // holders and a host name
        {"10.0.0.1", {"10.0.0.10"}}, // address text
        {"9.0.0.0 - ", {"9.0.0.1"}}, // range
        {"-03-04", {"10.0.0.9"}}, // whois time (day 3 after March 1)
        {"abuse@nl", {"192.0.2.1"}},
        {"<b>", {"192.0.2.1"}}, // markup is text like any other
        {"nothing like it", {}},
        {"", {"10.0.0.9", "9.0.0.1", "10.0.0.10", "192.0.2.1"}},
    };
    for (const auto& c : cases) {
        Details().GetFilterBox()->setText(QString::fromLatin1(c.pszFilter));
        EXPECT_EQ(ShownAddresses(), c.expected) << c.pszFilter;
        EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: %1").arg(c.expected.size()))
            << c.pszFilter;
        EXPECT_EQ(Frame().GetTotalPane()->text(), QStringLiteral("Total: 4"));
    }
    // The cell holds the markup as plain text, and nothing but a display text.
    const QModelIndex host = Model().index(3, M::kHostName);
    EXPECT_EQ(Model().data(host).toString(), QStringLiteral("<b>bold</b>.example"));
    EXPECT_FALSE(Model().data(host, Qt::ToolTipRole).isValid());

    // A hidden column takes no part; shown again, it does.
    Details().GetFilterBox()->setText(QStringLiteral("_host"));
    EXPECT_EQ(ShownAddresses(), std::vector<std::string> {"9.0.0.1"});
    Details().SetColumnHidden(M::kHostName, true);
    EXPECT_TRUE(ShownAddresses().empty());
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 0"));
    Details().SetColumnHidden(M::kHostName, false);
    EXPECT_EQ(ShownAddresses(), std::vector<std::string> {"9.0.0.1"});

    // In the other modes Display is the total again.
    Trigger(kCmdModeQuad);
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 4"));
}

TEST_F(CDetailsModeTest, CommandsActOnTheShownRows)
{
    AddRecords();
    Trigger(kCmdModeDetails);
    Header().setSortIndicator(M::kAddress, Qt::DescendingOrder);
    Details().GetFilterBox()->setText(QStringLiteral("10.0.0."));
    ASSERT_EQ(ShownAddresses(), (std::vector<std::string> {"10.0.0.10", "10.0.0.9"}));

    // Commands see the shown rows, mapped to their records.
    Trigger(kCmdReportAll);
    EXPECT_EQ(Frame().CollectRows(false), (std::vector<std::string> {"10.0.0.10", "10.0.0.9"}));
    SelectRows({0});
    EXPECT_EQ(Frame().CollectRows(true), std::vector<std::string> {"10.0.0.10"});
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(Doc().GetCurrentIndex()), "10.0.0.10");
    ASSERT_TRUE(Frame().GetAction(kCmdLookupSelected)->isEnabled());
    Trigger(kCmdLookupSelected);
    ASSERT_EQ(Doc().GetData().GetWaitingList(0).GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetWaitingList(0).GetString(0), "10.0.0.10");
    Trigger(kCmdStopAll);

    // Copy keys and the copy commands copy the shown rows, cells tab-separated.
    SelectRows({0, 1});
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Table().setFocus();
    QTest::keyClick(&Table(), Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(copied.size(), 2);
    EXPECT_TRUE(copied[0].startsWith(QStringLiteral("10.0.0.10\talpha ltd\tFR\t10.0.0.0 - 10.0.0.255\t")))
        << copied[0].toStdString();
    EXPECT_TRUE(copied[1].startsWith(QStringLiteral("10.0.0.9\tbeta GmbH\t"))) << copied[1].toStdString();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Bar().GetCopyTableAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(QStringLiteral("\r\n")), 1);

    // The Delete key deletes only the selected shown rows.
    SelectRows({1});
    QTest::keyClick(&Table(), Qt::Key_Delete);
    EXPECT_EQ(Doc().GetData().GetSize(), 3);
    EXPECT_EQ(Doc().GetData().IndexOfIP("10.0.0.9"), -1);
    EXPECT_EQ(ShownAddresses(), std::vector<std::string> {"10.0.0.10"});
    Frame().OnTimer();
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 1"));
    EXPECT_EQ(Frame().GetTotalPane()->text(), QStringLiteral("Total: 3"));
    // Select all selects the shown rows only.
    Table().setFocus();
    QTest::keyClick(&Table(), Qt::Key_A, Qt::ControlModifier);
    Frame().UpdateCommandStates();
    Trigger(kCmdDelete);
    EXPECT_EQ(Doc().GetData().GetSize(), 2);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), "9.0.0.1");
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(1), "192.0.2.1");
}

TEST_F(CDetailsModeTest, ModeColumnsAndPlaceSurviveARestart)
{
    AddRecords();
    Trigger(kCmdModeDetails);
    Details().SetColumnHidden(M::kNotes, true);
    Header().moveSection(Header().visualIndex(M::kCountry), 0);
    Header().resizeSection(M::kHolder, 321);
    Header().setSortIndicator(M::kHolder, Qt::DescendingOrder);
    // The user floats the table: that is where it goes from now on.
    Bar().setFloating(true);
    QCoreApplication::processEvents();
    ASSERT_TRUE(Frame().close());

    MakeFrame();
    AddRecords();
    EXPECT_TRUE(Bar().IsDetailsMode());
    EXPECT_TRUE(Frame().GetAction(kCmdModeDetails)->isChecked());
    EXPECT_TRUE(Bar().isFloating());
    EXPECT_TRUE(Header().isSectionHidden(M::kNotes));
    EXPECT_EQ(Header().logicalIndex(0), M::kCountry);
    EXPECT_EQ(Header().sectionSize(M::kHolder), 321);
    EXPECT_EQ(Header().sortIndicatorSection(), M::kHolder);
    EXPECT_EQ(ShownAddresses(), (std::vector<std::string> {"10.0.0.9", "9.0.0.1", "10.0.0.10", "192.0.2.1"}));
    // The header's context menu lists every column, checked while shown.
    Details().GetHeaderMenu()->popup(QPoint(0, 0));
    const QList<QAction*> items = Details().GetHeaderMenu()->actions();
    ASSERT_EQ(items.size(), 12);
    EXPECT_FALSE(items[M::kNotes]->isChecked());
    EXPECT_TRUE(items[M::kAddress]->isChecked());
    Details().GetHeaderMenu()->hide();

    // Back to an address mode: the list returns to its side.
    Trigger(kCmdModeBinary);
    EXPECT_FALSE(Bar().isFloating());
    EXPECT_EQ(Frame().dockWidgetArea(&Bar()), Qt::LeftDockWidgetArea);
    ASSERT_TRUE(Frame().close());

    // Damaged column settings leave the columns as they come.
    m_pFrame.reset();
    m_pStore.reset();
    {
        CQtSettingsStore store(QString::fromStdString(m_strIni));
        store.WriteProfileString("Settings", "Details Columns", "not a header state \x01\xff");
        store.WriteProfileInt("Settings", "IP Address Display Mode", kCmdModeDetails);
        store.WriteProfileInt("Settings", "Details Place", 7);
    }
    MakeFrame();
    EXPECT_TRUE(Bar().IsDetailsMode());
    EXPECT_EQ(Header().hiddenSectionCount(), 0);
    EXPECT_EQ(Header().logicalIndex(0), M::kAddress);
    EXPECT_EQ(Frame().dockWidgetArea(&Bar()), Qt::BottomDockWidgetArea);
}

// Past 100,000 records a refilter costs a noticeable moment, so the table waits for a
// pause in typing (or Enter) instead of filtering after every keystroke.
TEST_F(CDetailsModeTest, ALargeTableIsFilteredWhenTypingPauses)
{
    for (uint32_t i = 0; i <= 100000; ++i)
        Doc().GetData().FindOrAdd(FormatDottedQuad(0x0A000000u + i));
    Frame().OnCommand(kCmdRefreshIPList);
    Trigger(kCmdModeDetails);
    ASSERT_EQ(Model().rowCount(), 100001);

    Details().GetFilterBox()->setText(QStringLiteral("10.1.134.159"));
    EXPECT_EQ(Model().rowCount(), 100001) << "not after every keystroke";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Model().rowCount() == 1; }, 5000));
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 1"));

    Details().GetFilterBox()->setText(QStringLiteral("10.1.134.1"));
    QTest::keyClick(Details().GetFilterBox(), Qt::Key_Return);
    // At once: 10.1.134.1, .10 to .19 and .100 to .160.
    EXPECT_EQ(Model().rowCount(), 1 + 10 + 61);
}

TEST_F(CDetailsModeTest, IPv6RecordsInEveryModeSortAfterIPv4AndFilterOnTheirText)
{
    for (const char* psz : {"2001:db8::10", "10.0.0.2", "2001:DB8::9", "2001:db8:1::1", "9.0.0.1"})
        Doc().AddIP(psz);
    Doc().GetData().SetWhoisResult("2001:db8::10", "inet6num: 2001:db8::/32\norg-name: Six Net\ncountry: NL\n",
                                   COleDateTime::FromComponents(2026, 3, 1, 12, 0, 0));
    Frame().OnCommand(kCmdRefreshIPList);

    // No one reads 128-bit numbers: every address notation shows the RFC 5952 text.
    for (const int nMode : {kCmdModeBinary, kCmdModeHex, kCmdModeQuad, kCmdModeDecimal}) {
        Trigger(nMode);
        EXPECT_EQ(Bar().GetRowText(0), "2001:db8::10") << nMode;
        EXPECT_EQ(Bar().GetRowText(2), "2001:db8::9") << nMode;
    }
    Trigger(kCmdModeQuad);
    EXPECT_EQ(Bar().GetRowText(1), "10.0.0.2");

    Trigger(kCmdModeDetails);
    EXPECT_EQ(Model().CellText(0, M::kRange), "2001:db8:: - 2001:db8:ffff:ffff:ffff:ffff:ffff:ffff");
    const struct {
        int nColumn;
        Qt::SortOrder order;
        std::vector<std::string> expected;
    } cases[] = {
        {M::kAddress, Qt::AscendingOrder, {"9.0.0.1", "10.0.0.2", "2001:db8::9", "2001:db8::10", "2001:db8:1::1"}},
        {M::kAddress, Qt::DescendingOrder, {"2001:db8:1::1", "2001:db8::10", "2001:db8::9", "10.0.0.2", "9.0.0.1"}},
        // Only one has a range; the others keep the document order.
        {M::kRange, Qt::DescendingOrder, {"2001:db8::10", "10.0.0.2", "2001:db8::9", "2001:db8:1::1", "9.0.0.1"}},
    };
    for (const auto& c : cases) {
        Header().setSortIndicator(c.nColumn, c.order);
        EXPECT_EQ(ShownAddresses(), c.expected) << M::ColumnTitle(c.nColumn) << " " << int(c.order);
    }
    Header().setSortIndicator(M::kAddress, Qt::AscendingOrder);
    Details().GetFilterBox()->setText(QStringLiteral("DB8::1"));
    EXPECT_EQ(ShownAddresses(), std::vector<std::string> {"2001:db8::10"});
    Details().GetFilterBox()->setText(QStringLiteral("2001:db8:: - "));
    EXPECT_EQ(ShownAddresses(), std::vector<std::string> {"2001:db8::10"});
    Details().GetFilterBox()->setText(QString());
    // The address column is wide enough for the longest text.
    EXPECT_GE(Header().sectionSize(M::kAddress),
              Table().fontMetrics().horizontalAdvance(QStringLiteral("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff")));
}
