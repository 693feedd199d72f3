#include "ui/frame/TextResultView.h"

#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/DateTimeText.h"
#include "core/record/IPAddressData.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <string>
#include <vector>

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

TEST_F(CTextResultViewFixture, EveryKindOfLineEndIsOneLineBreakAndTheStoredTextStaysAsReceived)
{
    doc.AddIP("192.0.2.1");
    doc.SetCurrentIndex(0);
    const struct {
        const char* pszStored;
        const char* pszShown;
    } cases[] = {
        {"a\r\r\nb\r\r\n", "a\nb\n"}, // a CR LF answer as stored
        {"a\r\nb\r\n", "a\nb\n"}, // CR LF
        {"a\nb\n", "a\nb\n"}, // LF
        {"a\rb", "a\nb"}, // a lone CR still ends a line
        {"a\r\r\n\r\r\nb", "a\n\nb"}, // a blank line stays one blank line
        {"a\r\n\r\nb\nc\r\r\n", "a\n\nb\nc\n"}, // mixed
    };
    for (const auto& c : cases) {
        doc.StoreWhoisResult("192.0.2.1", c.pszStored);
        EXPECT_EQ(Text(), QString::fromLatin1(c.pszShown)) << c.pszStored;
        EXPECT_EQ(doc.GetData().GetRawWhois("192.0.2.1"), c.pszStored);
    }
}

TEST(AbuseMailAddress, OnlyAPlainAddressIsWellFormed)
{
    const struct {
        const char* pszText;
        bool bWellFormed;
    } cases[] = {
        {"abuse@example.net", true},
        {"Abuse.Team+ip_4%x-y@mail-1.example.co.uk", true},
        {"a@b.c", true},
        {"", false},
        {"abuse", false},
        {"@example.net", false},
        {"abuse@", false},
        {"abuse@example", false}, // one label only
        {"abuse@example..net", false}, // empty label
        {"abuse@.example.net", false},
        {"abuse@example.net.", false},
        {"abuse@ex_ample.net", false},
        {"ab use@example.net", false},
        {"abuse@example.net ", false},
        {"a@b@example.net", false},
        {"mailto:abuse@example.net", false},
        {"javascript:alert(1)//@example.net", false},
        {"<b>abuse</b>@example.net", false},
        {"abuse@example.net?cc=boss@example.net", false},
        {"abuse@example.net\">x", false},
        {"abus\xE9@example.net", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTextResultView::IsWellFormedMailAddress(c.pszText), c.bWellFormed) << c.pszText;
    EXPECT_TRUE(CTextResultView::IsWellFormedMailAddress(std::string(240, 'a') + "@example.net"));
    EXPECT_FALSE(CTextResultView::IsWellFormedMailAddress(std::string(250, 'a') + "@example.net"));
}

TEST(AbuseMailAddress, TheLinkIsPercentEncodedAndItsLabelEscaped)
{
    const QUrl url = CTextResultView::AbuseMailUrl("abuse+ip%team@example.net", "192.0.2.1");
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.toEncoded(), "mailto:abuse%2Bip%25team@example.net?subject=192.0.2.1");
    EXPECT_EQ(url.path(), "abuse+ip%team@example.net");
    EXPECT_EQ(
        CTextResultView::AbuseLinkHtml("abuse+ip%team@example.net", "192.0.2.1"),
        "Abuse: <a href=\"mailto:abuse%2Bip%25team@example.net?subject=192.0.2.1\">abuse+ip%team@example.net</a>");
    // The subject is the record's address as stored, encoded whatever it holds.
    EXPECT_EQ(CTextResultView::AbuseMailUrl("a@b.c", "192.0.2.1&cc=x").toEncoded(),
              "mailto:a@b.c?subject=192.0.2.1%26cc%3Dx");
    EXPECT_TRUE(CTextResultView::AbuseLinkHtml("<a href=x>@b.c", "192.0.2.1").isEmpty());
    EXPECT_FALSE(CTextResultView::AbuseMailUrl("javascript:x@b.c", "192.0.2.1").isValid());
}

TEST_F(CTextResultViewFixture, TheCaptionLinksTheAbuseAddressOfTheShownRecordOnly)
{
    std::vector<QUrl> opened;
    view.SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    // Reads "abuse-mailbox:" as given, so the view sees whatever the answer holds.
    view.SetAbuseReader([](const CIPAddressData& record) {
        const std::string_view text = record.RawWhoisView();
        const size_t nAt = text.find("abuse-mailbox:");
        if (nAt == std::string_view::npos)
            return std::string();
        std::string_view rest = text.substr(nAt + 14);
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        return std::string(rest.substr(0, rest.find_first_of("\r\n")));
    });
    view.show();
    QLabel* pLink = view.GetAbuseLink();
    doc.AddIP("192.0.2.1");
    doc.AddIP("192.0.2.2");
    doc.SetCurrentIndex(0);
    doc.StoreWhoisResult("192.0.2.1", "inetnum: 192.0.2.0 - 192.0.2.255\r\nabuse-mailbox: abuse@example.net\r\n");
    ASSERT_TRUE(pLink->isVisible());
    EXPECT_EQ(pLink->textFormat(), Qt::RichText);
    EXPECT_TRUE(pLink->text().contains("mailto:abuse@example.net?subject=192.0.2.1"));
    // After the caption's own text, inside the band.
    EXPECT_GT(pLink->geometry().left(), QFontMetrics(pLink->font()).horizontalAdvance("192.0.2.1 : IP Whois Data"));
    EXPECT_LE(pLink->geometry().bottom(), CTextResultView::kCaptionHeight + 1);

    QTest::mouseClick(pLink, Qt::LeftButton, {}, QPoint(pLink->width() - 5, pLink->height() / 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toEncoded(), "mailto:abuse@example.net?subject=192.0.2.1");

    // Too narrow for the whole address: the label says it is shortened, the link stays whole.
    view.resize(520, 300);
    EXPECT_TRUE(pLink->text().contains(QChar(0x2026)));
    EXPECT_FALSE(pLink->text().contains(">abuse@example.net<"));
    EXPECT_TRUE(pLink->text().contains("href=\"mailto:abuse@example.net?subject=192.0.2.1\""));
    EXPECT_LE(pLink->geometry().right(), view.width());
    view.resize(250, 300);
    EXPECT_FALSE(pLink->isVisible()); // no room for even a part of it
    view.resize(800, 300);
    EXPECT_TRUE(pLink->isVisible());
    EXPECT_TRUE(pLink->text().contains(">abuse@example.net<"));

    // Another record, without an abuse address: no link.
    doc.SetCurrentIndex(1);
    doc.StoreWhoisResult("192.0.2.2", "inetnum: 192.0.2.0 - 192.0.2.255\r\n");
    EXPECT_FALSE(pLink->isVisible());

    // Hostile abuse fields never become a link, and nothing of them is shown.
    for (const char* pszAbuse :
         {"<a href=\"javascript:alert(1)\">abuse@example.net</a>", "javascript:alert(1)", "mailto:abuse@example.net",
          "abuse@example.net<img src=x>", "abuse@example.net?body=rm%20-rf"}) {
        doc.StoreWhoisResult("192.0.2.2", std::string("netname: <b>X</b>\r\nabuse-mailbox: ") + pszAbuse + "\r\n");
        EXPECT_FALSE(pLink->isVisible()) << pszAbuse;
        EXPECT_TRUE(pLink->text().isEmpty()) << pszAbuse;
    }
    EXPECT_EQ(opened.size(), 1u);
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
