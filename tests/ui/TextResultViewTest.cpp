#include "ui/frame/TextResultView.h"

#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/NetloreDoc.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

namespace {

class CFixedClock : public CClock
{
public:
    COleDateTime Now() const override { return COleDateTime::FromComponents(2026, 12, 7, 13, 5, 9); }
};

struct CTextResultViewFixture : ::testing::Test {
    CFixedClock clock;
    CNetloreDoc doc {&clock};
    CTextResultView view {&doc};

    void SetUp() override
    {
        doc.SetViewNotifier(&view);
        view.resize(500, 300);
        view.OnInitialUpdate();
    }
    QString Text() const { return view.GetTextBox()->toPlainText(); }
};

} // namespace

TEST_F(CTextResultViewFixture, EmptyDocumentShowsTheQuickStart)
{
    EXPECT_EQ(Text(),
              "QUICK START\n-----------------\n\n1. Type an IP address in to the drop-down box.\n2. Click Lookup\n");
    EXPECT_EQ(view.GetCaptionAddress(), "");
    EXPECT_EQ(view.GetCaptionTime(), "");
    EXPECT_EQ(CTextResultView::CaptionLabel(""), "IP Whois Data");
    EXPECT_EQ(CTextResultView::CaptionLabel("192.0.2.1"), " : IP Whois Data");
}

TEST_F(CTextResultViewFixture, RecordNeverLookedUpShowsNothingAndADash)
{
    doc.AddIP("192.0.2.1");
    doc.SetCurrentIndex(0);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(view.GetCaptionAddress(), "192.0.2.1");
    EXPECT_EQ(view.GetCaptionTime(), "-");

    // Records but none current: an empty box, no address.
    doc.SetCurrentIndex(-1);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(view.GetCaptionAddress(), "");
}

TEST_F(CTextResultViewFixture, WhoisResultOfTheCurrentRecordIsShownWithItsTime)
{
    doc.AddIP("192.0.2.1");
    doc.AddIP("192.0.2.2");
    doc.SetCurrentIndex(1);
    doc.StoreWhoisResult("192.0.2.2", "NetRange: 192.0.2.0 - 192.0.2.255\r\nOrgName: Example\r\n");
    EXPECT_EQ(Text(), "NetRange: 192.0.2.0 - 192.0.2.255\nOrgName: Example\n");
    EXPECT_EQ(view.GetCaptionTime(), FormatDateTimeText(clock.Now()));
    EXPECT_NE(view.GetCaptionTime(), "-");

    // An answer in Latin-1 keeps its letters.
    doc.StoreWhoisResult("192.0.2.2", "descr: Z\xFCrich");
    EXPECT_EQ(Text(), QString::fromUtf8("descr: Zürich"));

    // A view ignores the update it sent itself.
    doc.SetWhoisText("192.0.2.2", "changed");
    view.OnUpdate(nullptr, &view);
    EXPECT_EQ(Text(), QString::fromUtf8("descr: Zürich"));
    view.OnUpdate(nullptr, nullptr);
    EXPECT_EQ(Text(), "changed");
}

TEST_F(CTextResultViewFixture, CopyTakesTheSelectionAndNothingChangesTheText)
{
    doc.AddIP("192.0.2.1");
    doc.SetCurrentIndex(0);
    doc.StoreWhoisResult("192.0.2.1", "OrgName: Example");
    QPlainTextEdit* pBox = view.GetTextBox();
    QTextCursor cursor = pBox->textCursor();
    cursor.setPosition(9);
    cursor.setPosition(16, QTextCursor::KeepAnchor);
    pBox->setTextCursor(cursor);
    view.OnEditCopy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Example");

    QGuiApplication::clipboard()->setText("pasted");
    view.OnEditCut();
    view.OnEditPaste();
    view.show();
    pBox->setFocus();
    QTest::keyClicks(pBox, "typed");
    QTest::keyClick(pBox, Qt::Key_Delete);
    QTest::keyClick(pBox, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(pBox, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(), "OrgName: Example");
}

TEST_F(CTextResultViewFixture, TextBoxSitsInsideTheEdgesBelowTheCaption)
{
    view.show();
    view.resize(400, 300);
    EXPECT_FALSE(view.IsLayoutPending());
    EXPECT_EQ(view.GetTextBox()->geometry(), QRect(8, 24 + 8, 400 - 16, 300 - 24 - 16));
    EXPECT_EQ(view.GetTextBox()->document()->documentMargin(), 10);

    // Too small for a margin: the box keeps its whole formatting area.
    view.resize(40, 200);
    EXPECT_EQ(view.GetTextBox()->document()->documentMargin(), 0);
}

TEST_F(CTextResultViewFixture, CaptionNamesTheSourceOfTheShownText)
{
    doc.AddIP("192.0.2.1");
    doc.SetCurrentIndex(0);
    doc.StoreWhoisResult("192.0.2.1", "192.0.2.1\r\n\r\nNetRange: 192.0.2.0 - 192.0.2.255\r\n");
    EXPECT_FALSE(view.IsRdapText());
    doc.StoreWhoisResult("192.0.2.1", "192.0.2.1\r\n\r\nNetName:        X\r\nRDAP URL:       https://rdap.example/ip/"
                                      "192.0.2.1\r\n\r\n{\"objectClassName\": \"ip network\"}");
    EXPECT_TRUE(view.IsRdapText());
    EXPECT_EQ(CTextResultView::CaptionLabel("192.0.2.1", true), " : RDAP");
    EXPECT_EQ(CTextResultView::CaptionLabel("", true), "RDAP");
    // The JSON is shown as text, never as markup.
    EXPECT_TRUE(Text().endsWith("{\"objectClassName\": \"ip network\"}"));
}
