// The window as a person uses it: clicks, keys and the parts they look at.

#include "MainFrameFixture.h"

#include "core/record/OleDateTime.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/ProgressDlg.h"
#include "ui/frame/TextResultView.h"
#include "ui/lists/BigListModel.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kCmdModeBinary = 32798;
constexpr int kCmdModeQuad = 32800;
constexpr int kCmdReportSelected = 32845;
constexpr int kCmdReportAll = 32850;

// Asks a menu how it would draw an item.
class CMenuProbe : public QMenu
{
public:
    QStyleOptionMenuItem Option(QAction* pAction)
    {
        QStyleOptionMenuItem option;
        initStyleOption(&option, pAction);
        return option;
    }
};

QString Clipboard()
{
    return QGuiApplication::clipboard()->text();
}

} // namespace

class CMainFrameUseTest : public CMainFrameTest
{
protected:
    // Rows with an answer each ("answer N" for row N - 1).
    void AddAnsweredRows(int nRows)
    {
        std::vector<std::string> addresses;
        for (int i = 1; i <= nRows; ++i)
            addresses.push_back("192.0.2." + std::to_string(i));
        AddRows(addresses, {});
        for (int i = 1; i <= nRows; ++i)
            Doc().GetData().SetWhoisResult(addresses[size_t(i - 1)], "answer " + std::to_string(i) + "\r\r\n",
                                           COleDateTime::GetCurrentTime());
    }
    void ClickRow(int nRow)
    {
        const QRect rc = List().visualRect(List().GetModel()->index(nRow, 0));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, rc.center());
    }
    QString ShownText() { return Frame().GetView()->GetTextBox()->toPlainText(); }
    QLabel* IdlePane() { return Frame().statusBar()->findChild<QLabel*>(QStringLiteral("status-idle")); }
};

TEST_F(CMainFrameUseTest, ClickingOneRowOfASelectedRangeShowsThatRow)
{
    AddAnsweredRows(4);
    ClickRow(0);
    QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      List().visualRect(List().GetModel()->index(2, 0)).center());
    ASSERT_EQ(List().GetSelectedRows(), (std::vector<int> {0, 1, 2}));

    ClickRow(1);
    EXPECT_EQ(List().GetSelectedRows(), std::vector<int> {1});
    EXPECT_EQ(Doc().GetCurrentIndex(), 1);
    EXPECT_EQ(Frame().GetView()->GetCaptionAddress(), "192.0.2.2");
    EXPECT_EQ(ShownText(), QStringLiteral("answer 2\n"));

    // The same for the row the range started from, and a click outside it.
    ClickRow(0);
    QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      List().visualRect(List().GetModel()->index(3, 0)).center());
    ClickRow(0);
    EXPECT_EQ(Frame().GetView()->GetCaptionAddress(), "192.0.2.1");
    ClickRow(3);
    EXPECT_EQ(ShownText(), QStringLiteral("answer 4\n"));
}

TEST_F(CMainFrameUseTest, StatusPanesShowWholeCountsAndTheMessagePaneSaysReadyWhenIdle)
{
    ASSERT_NE(IdlePane(), nullptr);
    EXPECT_TRUE(IdlePane()->isVisible());
    EXPECT_EQ(IdlePane()->text(), QStringLiteral("Ready"));
    EXPECT_TRUE(Frame().statusBar()->currentMessage().isEmpty());

    char sz[32];
    for (int i = 0; i < 600010; ++i) {
        std::snprintf(sz, sizeof sz, "10.%d.%d.%d", (i >> 16) & 255, (i >> 8) & 255, i & 255);
        Doc().AddIP(sz);
    }
    Frame().OnTimer();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    for (QLabel* pPane : {Frame().GetTotalPane(), Frame().GetDisplayPane()}) {
        EXPECT_GE(pPane->contentsRect().width(), pPane->fontMetrics().horizontalAdvance(pPane->text()))
            << pPane->text().toStdString();
        EXPECT_TRUE(pPane->isVisible());
    }
    EXPECT_EQ(Frame().GetTotalPane()->text(), QStringLiteral("Total: 600010"));
    EXPECT_EQ(Frame().GetDisplayPane()->text(), QStringLiteral("Display: 600010"));
}

TEST_F(CMainFrameUseTest, CopyKeysCopyFromTheFocusedPart)
{
    AddAnsweredRows(3);
    List().DeselectAll();
    List().SelectRow(0);
    List().SelectRow(2);
    const std::string strRows = List().BuildCopyText(true);
    ASSERT_NE(strRows.find("192.0.2.1"), std::string::npos);
    ASSERT_NE(strRows.find("192.0.2.3"), std::string::npos);

    const struct {
        Qt::Key key;
        const char* pszName;
    } keys[] = {{Qt::Key_C, "Ctrl+C"}, {Qt::Key_Insert, "Ctrl+Insert"}};
    for (const auto& k : keys) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        List().setFocus();
        QTest::keyClick(&List(), k.key, Qt::ControlModifier);
        EXPECT_EQ(Clipboard(), QString::fromStdString(strRows)) << k.pszName;

        // The whois view copies its own selection.
        QPlainTextEdit* pBox = Frame().GetView()->GetTextBox();
        QTextCursor cursor = pBox->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(6, QTextCursor::KeepAnchor);
        pBox->setTextCursor(cursor);
        pBox->setFocus();
        QTest::keyClick(pBox, k.key, Qt::ControlModifier);
        EXPECT_EQ(Clipboard(), QStringLiteral("answer")) << k.pszName;
    }
    EXPECT_EQ(Doc().GetData().GetSize(), 3);
}

TEST_F(CMainFrameUseTest, DeleteKeyInTheListDeletesTheSelectedRows)
{
    AddAnsweredRows(3);
    List().DeselectAll();
    List().SelectRow(0);
    List().SelectRow(1);
    List().setFocus();
    QTest::keyClick(&List(), Qt::Key_Delete);
    ASSERT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), "192.0.2.3");
    EXPECT_EQ(List().GetRowCount(), 1);
    EXPECT_TRUE(Doc().IsModified());

    // Delete in the quick lookup box edits the box and nothing else.
    QComboBox* pCombo = Frame().GetEntryBar()->GetComboBox();
    pCombo->setEditText(QStringLiteral("192.0.2.99"));
    pCombo->setFocus();
    pCombo->lineEdit()->setCursorPosition(0);
    QTest::keyClick(pCombo->lineEdit(), Qt::Key_Delete);
    EXPECT_EQ(pCombo->currentText(), QStringLiteral("92.0.2.99"));
    EXPECT_EQ(Doc().GetData().GetSize(), 1);
}

TEST_F(CMainFrameUseTest, TextNamingNoAddressIsReportedAndNotRemembered)
{
    TypeAndLookup(QStringLiteral("192.0.2.1"));
    ASSERT_EQ(m_pStore->GetProfileInt("IP Entry List", "Count", 0), 1);

    TypeAndLookup(QStringLiteral("no-such-host.example.test"));
    EXPECT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Frame().statusBar()->currentMessage(),
              QStringLiteral("No IP address or resolvable host name in \"no-such-host.example.test\""));
    EXPECT_FALSE(IdlePane()->isVisible());
    EXPECT_EQ(m_pStore->GetProfileInt("IP Entry List", "Count", 0), 1);
    EXPECT_EQ(m_pStore->GetProfileString("IP Entry List", "1"), "192.0.2.1");
    QComboBox* pCombo = Frame().GetEntryBar()->GetComboBox();
    EXPECT_EQ(pCombo->count(), 1);
    // The text stays in the box for correcting.
    EXPECT_EQ(pCombo->currentText(), QStringLiteral("no-such-host.example.test"));

    // A malformed IPv6 address is no host name either.
    TypeAndLookup(QStringLiteral("2001:db8::1%eth0"));
    EXPECT_EQ(pCombo->count(), 1);
    EXPECT_EQ(Doc().GetData().GetSize(), 1);

    // A name that resolves is kept.
    m_resolver.AddHost("www.example.test", 0xC0000207);
    TypeAndLookup(QStringLiteral("www.example.test"));
    EXPECT_EQ(Doc().GetData().GetSize(), 2);
    EXPECT_EQ(m_pStore->GetProfileString("IP Entry List", "1"), "www.example.test");
    EXPECT_EQ(m_pStore->GetProfileInt("IP Entry List", "Count", 0), 2);
}

TEST_F(CMainFrameUseTest, ListBarFitsTheWidestTextOfTheModeAndFloatsAtASensibleSize)
{
    AddRows({"255.255.255.255"}, {0});
    Trigger(kCmdModeBinary);
    QCoreApplication::processEvents();
    CIPListBar* pBar = Frame().GetIPListBar();
    const QString strRow = QString::fromStdString(CBigListCtrl::StripCellTags(pBar->GetRowText(0)));
    const QFontMetrics fm(List().GetListFont());
    // The list draws its text 1.5 blanks in from the column's edges.
    const int nNeeded = fm.horizontalAdvance(strRow) + 3 * fm.horizontalAdvance(QLatin1Char(' '));
    EXPECT_GE(List().GetColumnWidth(0), nNeeded);
    EXPECT_LT(pBar->width(), Frame().width());

    // Back to dotted quads: the bar gives the room back to the view.
    Trigger(kCmdModeQuad);
    QCoreApplication::processEvents();
    EXPECT_LT(pBar->width(), nNeeded);
    EXPECT_GE(List().GetColumnWidth(0), fm.horizontalAdvance(QStringLiteral("255.255.255.255")));

    Trigger(kCmdModeBinary);
    pBar->setFloating(true);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_GE(List().GetColumnWidth(0), nNeeded);
    EXPECT_GE(pBar->height(), 10 * List().GetRowHeight());
}

TEST_F(CMainFrameUseTest, MenusDrawTheReportChoiceAsRadioButtonsAndTheModeWithACheckMark)
{
    CMenuProbe menu;
    Trigger(kCmdModeBinary);
    for (int nId : {kCmdModeBinary, kCmdModeQuad}) {
        QAction* pAction = Frame().GetAction(nId);
        menu.addAction(pAction);
        const QStyleOptionMenuItem option = menu.Option(pAction);
        EXPECT_EQ(option.checkType, QStyleOptionMenuItem::NonExclusive) << nId;
        // A picture in its place would hide the mark.
        EXPECT_TRUE(option.icon.isNull()) << nId;
        EXPECT_EQ(option.checked, nId == kCmdModeBinary) << nId;
    }
    // The toolbar keeps the pictures.
    EXPECT_FALSE(Frame().GetAction(kCmdModeBinary)->icon().isNull());

    for (int nId : {kCmdReportSelected, kCmdReportAll}) {
        QAction* pAction = Frame().GetAction(nId);
        menu.addAction(pAction);
        EXPECT_EQ(menu.Option(pAction).checkType, QStyleOptionMenuItem::Exclusive) << nId;
    }
    Trigger(kCmdReportAll);
    EXPECT_FALSE(Frame().IsReportSelected());
    EXPECT_TRUE(Frame().GetAction(kCmdReportAll)->isChecked());
    EXPECT_FALSE(Frame().GetAction(kCmdReportSelected)->isChecked());
    EXPECT_EQ(m_pStore->GetProfileInt("Settings", "Selected Row Report", -1), 0);
}

TEST_F(CMainFrameUseTest, OnlyAWellFormedAbuseAddressOfAHostileAnswerBecomesALink)
{
    // The window reads the answers' facts itself.
    const std::string strHostile = "inetnum:        192.0.2.0 - 192.0.2.255\r\n"
                                   "org-name:       <b>Evil</b> <a href=\"javascript:alert(1)\">Corp</a>\r\n"
                                   "descr:          <img src=x onerror=alert(1)> mailto:boss@example.net\r\n"
                                   "abuse-mailbox:  ";
    AddRows({"192.0.2.1", "192.0.2.2"}, {});
    Doc().GetData().SetWhoisResult("192.0.2.1",
                                   "192.0.2.1\r\n\r\n" + strHostile + "<a href=\"javascript:alert(1)\">x@y</a>\r\n",
                                   COleDateTime::GetCurrentTime());
    Doc().GetData().SetWhoisResult("192.0.2.2",
                                   "192.0.2.2\r\n\r\n" + strHostile + "mailto:abuse@isp.test?cc=boss@isp.test\r\n",
                                   COleDateTime::GetCurrentTime());
    CTextResultView* pView = Frame().GetView();
    QLabel* pLink = pView->GetAbuseLink();

    ClickRow(0);
    EXPECT_FALSE(pLink->isVisible());
    EXPECT_TRUE(ShownText().contains(QStringLiteral("<b>Evil</b>"))); // shown as the text it is

    ClickRow(1);
    ASSERT_TRUE(pLink->isVisible());
    EXPECT_EQ(pLink->text().count(QStringLiteral("<a ")), 1);
    EXPECT_FALSE(pLink->text().contains(QStringLiteral("javascript"), Qt::CaseInsensitive));
    EXPECT_FALSE(pLink->text().contains(QStringLiteral("boss")));
    QTest::mouseClick(pLink, Qt::LeftButton, {}, QPoint(pLink->width() - 5, pLink->height() / 2));
    ASSERT_EQ(m_openedUrls.size(), 1u);
    EXPECT_EQ(m_openedUrls[0].toEncoded(), "mailto:abuse@isp.test?subject=192.0.2.2");

    // No other label of the window takes markup, whatever text reaches it.
    for (QLabel* pLabel : Frame().findChildren<QLabel*>()) {
        if (pLabel == pLink || pLabel->text().isEmpty())
            continue;
        EXPECT_FALSE(pLabel->text().contains(QStringLiteral("Evil"))) << pLabel->objectName().toStdString();
    }
}

TEST(FramePromptsPlainText, MessagesAndProgressLinesShowMarkupAsWritten)
{
    CFramePrompts prompts;
    Qt::TextFormat format = Qt::AutoText;
    QString strShown;
    QTimer::singleShot(0, [&] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = pBox->textFormat();
            strShown = pBox->text();
            pBox->accept();
        }
    });
    prompts.ShowMessage(nullptr, QStringLiteral("Failed to open <b>x</b>.qdl"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(strShown, QStringLiteral("Failed to open <b>x</b>.qdl"));

    CProgressDlg progress;
    progress.Show("<a href=\"javascript:x\">name</a>");
    for (QLabel* pLabel : progress.findChildren<QLabel*>())
        EXPECT_EQ(pLabel->textFormat(), Qt::PlainText);
    progress.Close();
}

TEST_F(CMainFrameUseTest, TheAddressBoxTakesIPv6AndNamesWhatIsWrongWithAMalformedOne)
{
    TypeAndLookup(QStringLiteral("[2001:DB8::1]:443"));
    ASSERT_EQ(Doc().GetData().GetSize(), 1);
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(0), "2001:db8::1");
    EXPECT_EQ(Doc().GetCurrentIndex(), 0);
    // Typed again in another form: the same record, selected.
    TypeAndLookup(QStringLiteral("2001:db8:0::1"));
    EXPECT_EQ(Doc().GetData().GetSize(), 1);
    TypeAndLookup(QStringLiteral("::ffff:192.0.2.1"));
    EXPECT_EQ(Doc().GetData().GetIPAddressAt(1), "192.0.2.1");

    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"fe80::1%eth0", "zone ids are not accepted"},
        {"1:2:3:4:5:6:7:8:9", "more than 8 groups"},
        {"2001::db8::1", "more than one \"::\""},
        {"64:ff9b::192.0.2.300", "a bad embedded IPv4 address"},
    };
    for (const auto& c : cases) {
        TypeAndLookup(QString::fromLatin1(c.text));
        EXPECT_EQ(Doc().GetData().GetSize(), 2) << c.text;
        EXPECT_EQ(Frame().statusBar()->currentMessage(),
                  QStringLiteral("\"%1\" is not an IP address: %2")
                      .arg(QString::fromLatin1(c.text), QString::fromLatin1(c.reason)));
    }
}
