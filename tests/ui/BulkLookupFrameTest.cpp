// F8 "Lookup (With Options)", lookups after an import, and the run's progress in
// the status bar and the tray, driven through the real window against the
// loopback whois server.

#include "MainFrameFixture.h"

#include "core/record/DottedQuad.h"
#include "core/record/LookupKind.h"
#include "facts/WhoisFacts.h"
#include "support/FakeClock.h"
#include "ui/frame/LogFileImportDlg.h"
#include "ui/frame/LookupOptionsDlg.h"
#include "ui/frame/SystemTray.h"
#include "ui/frame/TextResultView.h"
#include "ui/lists/ListTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int kCmdLookupWithOptions = 32775;
constexpr int kCmdStopAll = 32784;
constexpr int kCmdImportText = 32772;
constexpr int kCmdImportLog = 32849;

const std::string kAddress = CWhoisdProcess::kAddress;

class CBulkLookupFrameTest : public CMainFrameTest
{
protected:
    // Answers the next modal dialog of type T once it is up.
    template <class T> void AnswerDialog(std::function<void(T&)> fnAnswer)
    {
        QTimer::singleShot(0, [fnAnswer] {
            if (auto* pDialog = qobject_cast<T*>(QApplication::activeModalWidget()))
                fnAnswer(*pDialog);
        });
    }

    std::vector<std::string> Waiting(int nKind) const
    {
        std::vector<std::string> result;
        const CSerStringArray& waiting = m_pFrame->GetDocument().GetData().GetWaitingList(nKind);
        for (int i = 0; i < waiting.GetSize(); ++i)
            result.push_back(waiting.GetString(i));
        return result;
    }

    QString RunText() { return Frame().GetRunPane()->text(); }
};

} // namespace

TEST_F(CBulkLookupFrameTest, F8QueuesTheSelectedRowsForSeveralKindsAndShowsTheRunToItsEnd)
{
    AddRows({"192.0.2.1", kAddress, "192.0.2.3"}, {1});
    ASSERT_TRUE(Frame().GetAction(kCmdLookupWithOptions)->isEnabled());
    CLookupChoice seen;
    AnswerDialog<CLookupOptionsDlg>([&](CLookupOptionsDlg& dlg) {
        dlg.GetKindCheck(lookupHostName)->setChecked(true);
        seen = dlg.GetChoice();
        dlg.accept();
    });
    Trigger(kCmdLookupWithOptions);
    EXPECT_EQ(seen.m_eRows, CLookupChoice::rowsSelected);
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {kAddress});
    EXPECT_EQ(Waiting(lookupHostName), std::vector<std::string> {kAddress});
    EXPECT_EQ(RunText(), QStringLiteral("Whois: Looking up 0 of 1; Host name: Looking up 0 of 1"));
    EXPECT_TRUE(Frame().GetTray()->GetIcon()->toolTip().contains(QStringLiteral("Whois: Looking up 0 of 1")));

    ASSERT_TRUE(WaitForWhois(kAddress));
    EXPECT_EQ(Doc().GetData().GetCountry(kAddress), "FR");
    Frame().OnTimer();
    EXPECT_EQ(RunText(), QString());
    EXPECT_EQ(Frame().GetTray()->GetIcon()->toolTip(), QStringLiteral("Addrscope"));
}

TEST_F(CBulkLookupFrameTest, F8WithNothingSelectedOffersAllRowsAndKeepsFreshResults)
{
    AddRows({"192.0.2.1", "192.0.2.2", "192.0.2.3"}, {});
    Doc().GetData().SetWhoisResult("192.0.2.2", "192.0.2.2\r\n\r\nnetname: KEPT",
                                   Frame().GetConnSettings().m_dwRescanGap > 0 ? COleDateTime::GetCurrentTime()
                                                                               : COleDateTime());
    bool bSelectedEnabled = true;
    AnswerDialog<CLookupOptionsDlg>([&](CLookupOptionsDlg& dlg) {
        bSelectedEnabled = dlg.GetRowsButton(CLookupChoice::rowsSelected)->isEnabled();
        dlg.GetRowsButton(CLookupChoice::rowsSelected)->click(); // disabled: no effect
        dlg.accept();
    });
    Trigger(kCmdLookupWithOptions);
    EXPECT_FALSE(bSelectedEnabled);
    EXPECT_EQ(Waiting(lookupWhois), (std::vector<std::string> {"192.0.2.1", "192.0.2.3"}));
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 2"));

    // Stop All ends the run at once.
    Trigger(kCmdStopAll);
    EXPECT_TRUE(Waiting(lookupWhois).empty());
    EXPECT_EQ(RunText(), QString());

    // Cancel queues nothing.
    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.reject(); });
    Trigger(kCmdLookupWithOptions);
    EXPECT_FALSE(Doc().HasPendingLookups());
}

TEST_F(CBulkLookupFrameTest, ImportsQueueWhatTheyAddWhenAsked)
{
    const std::string strLog = TestDataPath("logs/elastic-examples-apache_logs-first600.log");
    m_files.m_strAnswer = QString::fromStdString(strLog);
    m_pStore->WriteProfileInt("Settings", "Log File Error", 1);
    bool bOffAtFirst = true;
    AnswerDialog<CLogFileImportDlg>([&](CLogFileImportDlg& dlg) {
        bOffAtFirst = !dlg.GetLookupCheck()->isChecked();
        dlg.GetLookupCheck()->setChecked(true);
        dlg.accept();
    });
    Trigger(kCmdImportLog);
    EXPECT_TRUE(bOffAtFirst);
    ASSERT_EQ(Doc().GetData().GetSize(), 4); // the visitors who got a 404
    EXPECT_EQ(Waiting(lookupWhois).size(), 4u);
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 4"));
    EXPECT_EQ(m_pStore->GetProfileInt("Settings", "Lookup After Import", 0), 1);
    Trigger(kCmdStopAll);

    // The text import has no dialog: the choice made last holds, and only what it adds is queued.
    Trigger(kCmdImportText);
    ASSERT_EQ(Doc().GetData().GetSize(), 123);
    EXPECT_EQ(Waiting(lookupWhois).size(), 119u);
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 119"));
    Trigger(kCmdStopAll);

    m_pStore->WriteProfileInt("Settings", "Lookup After Import", 0);
    while (Doc().GetData().GetSize() > 0)
        Doc().DeleteIP(Doc().GetData().GetIPAddressAt(0));
    Trigger(kCmdImportText);
    EXPECT_EQ(Doc().GetData().GetSize(), 123);
    EXPECT_FALSE(Doc().HasPendingLookups());
}

TEST_F(CBulkLookupFrameTest, F8AnswersAddressesInsideAFreshKnownRangeWithoutAQueryUnlessTurnedOff)
{
    AddRows({kAddress, "130.66.9.9", "130.68.0.1"}, {});
    const COleDateTime dtAnswer = COleDateTime::GetCurrentTime();
    const std::string strAnswer = kAddress + "\r\n\r\ninetnum:        130.66.0.0 - 130.67.255.255\r\n";
    Doc().GetData().SetWhoisResult(kAddress, strAnswer, dtAnswer);
    CWhoisFacts facts;
    facts.m_bHasRange = true;
    facts.m_dwRangeStart = ParseDottedQuad("130.66.0.0");
    facts.m_dwRangeEnd = ParseDottedQuad("130.67.255.255");
    facts.m_strRegistry = "RIPE";
    Frame().GetRangeReuse().NoteKnownRange(kAddress, facts, dtAnswer);

    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {"130.68.0.1"});
    EXPECT_EQ(Doc().GetData().GetRawWhois("130.66.9.9"),
              "130.66.9.9\r\n\r\ninetnum:        130.66.0.0 - 130.67.255.255\r\n");
    EXPECT_EQ(Doc().GetData().GetWhoisTime("130.66.9.9"), dtAnswer);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 1 of 2"));
    Doc().SelectIP("130.66.9.9");
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "answered from the range of " + kAddress);
    Doc().SelectIP(kAddress);
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "");
    Trigger(kCmdStopAll);

    // "Reuse Known Ranges" off: every address asks the servers.
    m_pStore->WriteProfileInt("Settings", "Reuse Known Ranges", 0);
    Doc().GetData().SetWhoisResult("130.66.9.9", "", COleDateTime());
    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);
    EXPECT_EQ(Waiting(lookupWhois), (std::vector<std::string> {"130.66.9.9", "130.68.0.1"}));
    Trigger(kCmdStopAll);
}

TEST_F(CBulkLookupFrameTest, OneQueryAnswersTheWholeNetworkAndAnAddressNobodyAnswersEndsAfterThreeTries)
{
    // 128.79.1.1's chain: ARIN hands it to RIPE, whose answer holds 128.79.0.0 - 128.79.63.0.
    // The other addresses have no answer on the servers at all.
    WriteFileBytes(m_dir.File("arin/128.79.1.1"),
                   ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
    WriteFileBytes(m_dir.File("ripe/128.79.1.1"),
                   ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
    CConnSettings settings = Frame().GetConnSettings();
    settings.m_nWhoisLimit = 1; // one at a time: the first answer arrives before the others start
    Frame().GetSession().SetSettings(settings);
    AddRows({"128.79.1.1", "128.79.2.2", "128.79.63.0", "128.79.63.1", "192.0.2.77"}, {});

    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);
    EXPECT_EQ(RunText(), QStringLiteral("Looking up 0 of 5"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return !Doc().HasPendingLookups();
        },
        30000));

    const CIPDataArray& data = Doc().GetData();
    for (const char* psz : {"128.79.2.2", "128.79.63.0"}) {
        EXPECT_EQ(data.GetRawWhois(psz).rfind(std::string(psz) + "\r\n", 0), 0u) << psz;
        EXPECT_NE(data.GetRawWhois(psz).find("128.79.0.0 - 128.79.63.0"), std::string::npos) << psz;
        EXPECT_EQ(data.GetWhoisTime(psz), data.GetWhoisTime("128.79.1.1")) << psz;
        EXPECT_EQ(Frame().GetRangeReuse().GetReusedFrom(psz), "128.79.1.1") << psz;
    }
    EXPECT_EQ(Frame().GetRangeReuse().GetReusedFrom("128.79.1.1"), "");
    EXPECT_EQ(data.GetOwner("128.79.2.2"), data.GetOwner("128.79.1.1"));
    // Outside the range, and nobody's answer: given up after three empty answers.
    for (const char* psz : {"128.79.63.1", "192.0.2.77"})
        EXPECT_EQ(data.GetRawWhois(psz), "") << psz;

    Doc().SelectIP("128.79.2.2");
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "answered from the range of 128.79.1.1");
    Doc().SelectIP("192.0.2.77");
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "No answer (3 tries)");
    Frame().OnTimer();
    EXPECT_EQ(RunText(), QString());

    // The list draws the rows given up in a colour of their own, in every display mode.
    CIPListBar& bar = *Frame().GetIPListBar();
    const QColor clrNoAnswer(0xB0, 0x3A, 0x2E);
    for (const int nMode : {ListTexts::kModeBinary, ListTexts::kModeHex, ListTexts::kModeQuad}) {
        bar.SetDisplayMode(nMode);
        for (int nRow = 0; nRow < 5; ++nRow) {
            const auto pieces =
                List().SplitTaggedText(QString::fromStdString(bar.GetRowText(nRow)), List().GetFontColor(), false);
            ASSERT_FALSE(pieces.empty()) << nMode << " " << nRow;
            const bool bGaveUp = nRow == 3 || nRow == 4;
            EXPECT_EQ(pieces.size() == 1 && pieces[0].m_clr == clrNoAnswer, bGaveUp) << nMode << " " << nRow;
        }
    }

    // F5 tries it again.
    List().DeselectAll();
    List().SelectRow(4);
    Trigger(32774);
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {"192.0.2.77"});
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "");
    EXPECT_EQ(bar.GetRowText(4),
              CIPListBar::FormatAddress(ParseDottedQuad("192.0.2.77"), "192.0.2.77", bar.GetDisplayMode()));
    Trigger(kCmdStopAll);
}

TEST_F(CBulkLookupFrameTest, ARegistrysQueryLimitPausesItInTheStatusBarWhileOthersGoOnUntilStopAll)
{
    // 193.0.0.0/8 is RIPE's: ARIN hands 193.0.0.1 on, and RIPE says "query limit".
    // 8.8.8.8 is ARIN's own.
    WriteFileBytes(m_dir.File("arin/193.0.0.1"),
                   ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
    WriteFileBytes(m_dir.File("ripe/193.0.0.1"), "% Your query limit has been exceeded. Try again later.\n");
    WriteFileBytes(m_dir.File("arin/8.8.8.8"), "NetRange:       8.0.0.0 - 8.255.255.255\nOrgName:        Level 3\n");
    CConnSettings settings = Frame().GetConnSettings();
    settings.m_nWhoisLimit = 1;
    Frame().GetSession().SetSettings(settings);
    AddRows({"193.0.0.1", "8.8.8.8", kAddress}, {});

    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return !Doc().GetData().GetRawWhois("8.8.8.8").empty() && RunText().contains(QStringLiteral("RIPE"));
        },
        30000))
        << RunText().toStdString();
    EXPECT_TRUE(RunText().contains(QStringLiteral("Query limit: RIPE paused until "))) << RunText().toStdString();
    EXPECT_NE(Doc().GetData().GetRawWhois("8.8.8.8").find("Level 3"), std::string::npos);
    // The RIPE address waits without a failed try; so does the ARIN address ARIN hands to RIPE.
    QTest::qWait(300);
    Frame().OnTimer();
    EXPECT_EQ(Doc().GetData().GetRawWhois("193.0.0.1"), "");
    EXPECT_EQ(Doc().GetData().GetRawWhois(kAddress), "");
    EXPECT_TRUE(Doc().HasPendingLookups());
    EXPECT_EQ(Frame().GetSession().GetCounts(Doc(), lookupWhois).m_nFailed, 0);
    Doc().SelectIP("193.0.0.1");
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), "");

    // Stop All ends the run, pause or not.
    Trigger(kCmdStopAll);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return Doc().GetData().GetRunningList(lookupWhois).empty();
        },
        15000));
    EXPECT_FALSE(Doc().HasPendingLookups());
    Frame().OnTimer();
    EXPECT_EQ(RunText(), QString());
}

// Answers whose range must answer nobody else: each neighbour asks the servers itself.
TEST_F(CBulkLookupFrameTest, RangesThatCannotBeTrustedAreNeverReused)
{
    const std::string strRipe = ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt"));
    // The answer with its network's range replaced, and its route object's range
    // with it, so that no narrower range remains.
    const auto withLine = [&](const std::string& strFrom, const std::string& strTo,
                              const std::string& strRoute = "128.78.0.0/15") {
        std::string s = strRipe;
        for (const auto& [from, to] :
             {std::pair(strFrom, strTo),
              std::pair(std::string("route:          128.78.0.0/15"), "route:          " + strRoute)}) {
            const size_t at = s.find(from);
            if (at == std::string::npos)
                return std::string();
            s.replace(at, from.size(), to);
        }
        return s;
    };
    const struct {
        const char* m_pszCase;
        std::string m_strAnswer;
    } kCases[] = {
        {"a registry stub", withLine("BOUYGTEL-ISP-CABLE", "NON-RIPE-NCC-MANAGED-ADDRESS-BLOCK")},
        {"the whole address space", withLine("inetnum:        128.79.0.0 - 128.79.63.0",
                                             "inetnum:        0.0.0.0 - 255.255.255.255", "0.0.0.0/0")},
        {"start above end",
         withLine("inetnum:        128.79.0.0 - 128.79.63.0", "inetnum:        128.79.63.0 - 128.79.0.0", "none")},
    };
    CConnSettings settings = Frame().GetConnSettings();
    settings.m_nWhoisLimit = 1; // the neighbours wait while the first is asked
    Frame().GetSession().SetSettings(settings);
    const std::string strReferral =
        ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
    int nCase = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_pszCase);
        ASSERT_FALSE(c.m_strAnswer.empty());
        // Addresses of their own per case, inside 128.79.0.0/18.
        const std::vector<std::string> addresses = {"128.79." + std::to_string(10 + nCase) + ".1",
                                                    "128.79." + std::to_string(10 + nCase) + ".2"};
        ++nCase;
        for (const std::string& a : addresses) {
            WriteFileBytes(m_dir.File("arin/" + a), strReferral);
            WriteFileBytes(m_dir.File("ripe/" + a), c.m_strAnswer);
        }
        AddRows(addresses, {});
        List().SelectRow(Doc().GetData().GetSize() - 2);
        List().SelectRow(Doc().GetData().GetSize() - 1);
        AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) {
            dlg.GetRowsButton(CLookupChoice::rowsSelected)->click();
            dlg.accept();
        });
        Trigger(kCmdLookupWithOptions);
        ASSERT_EQ(Waiting(lookupWhois), addresses);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                Frame().OnTimer();
                return !Doc().HasPendingLookups();
            },
            30000));
        for (const std::string& a : addresses) {
            EXPECT_EQ(Doc().GetData().GetRawWhois(a).rfind(a + "\r\n", 0), 0u) << a;
            EXPECT_EQ(Frame().GetRangeReuse().GetReusedFrom(a), "") << a;
        }
    }
}

// The answer of an address deleted while its lookup ran brings its record back (a
// result is never thrown away), the list follows, and it still answers the
// neighbour waiting inside its range.
TEST_F(CBulkLookupFrameTest, AResultForAnAddressDeletedMeanwhile)
{
    WriteFileBytes(m_dir.File("arin/128.79.1.1"),
                   ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
    WriteFileBytes(m_dir.File("ripe/128.79.1.1"),
                   ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
    CConnSettings settings = Frame().GetConnSettings();
    settings.m_nWhoisLimit = 1;
    Frame().GetSession().SetSettings(settings);
    AddRows({"128.79.1.1", "128.79.2.2"}, {});
    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);
    // The tick starts 128.79.1.1; its completion cannot arrive before the event loop runs.
    Frame().OnTimer();
    ASSERT_EQ(Doc().GetData().GetRunningList(lookupWhois).size(), 1u);
    ASSERT_TRUE(Doc().DeleteIP("128.79.1.1"));
    Frame().OnCommand(FrameTexts::kCmdRefreshIPList);
    ASSERT_EQ(List().GetRowCount(), 1);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return !Doc().HasPendingLookups();
        },
        30000));
    EXPECT_NE(Doc().GetData().GetRawWhois("128.79.1.1").find("128.79.0.0 - 128.79.63.0"), std::string::npos);
    EXPECT_EQ(List().GetRowCount(), Doc().GetData().GetSize());
    EXPECT_EQ(Frame().GetRangeReuse().GetReusedFrom("128.79.2.2"), "128.79.1.1");
}

// With a clock the test moves: a limit answer on an address's last try spends no
// try, and a registry that falls silent after its limit leaves the answer of the
// server that referred it there.
TEST_F(CBulkLookupFrameTest, ALimitOnTheLastTryAndARegistryThatDisappearsAfterItsLimit)
{
    CFakeClock clock(COleDateTime::GetCurrentTime());
    m_pClock = &clock;
    MakeFrame();
    Frame().GetTimer().stop(); // the test ticks
    const std::string strReferral =
        ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
    const std::string strRipe = ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt"));
    const std::string strLimit = "% Your query limit has been exceeded. Try again later.\n";
    // One try: a tick starts the lookup, and its completion is merged.
    const auto tryOnce = [&] {
        Frame().OnTimer();
        if (Doc().GetData().GetRunningList(lookupWhois).size() != 1)
            return false;
        return QTest::qWaitFor([&] { return Doc().GetData().GetRunningList(lookupWhois).empty(); }, 30000);
    };
    const auto note = [&](const std::string& strAddress) {
        Doc().SelectIP(strAddress);
        return Frame().GetView()->GetCaptionNote();
    };

    const std::string strLast = "193.0.0.1"; // RIPE's
    AddRows({strLast}, {0});
    Trigger(32774); // F5
    // Two tries in which ARIN has no answer at all.
    ASSERT_TRUE(tryOnce());
    ASSERT_TRUE(tryOnce());
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {strLast});
    // The third meets RIPE's limit: no try spent, the address waits for the pause.
    WriteFileBytes(m_dir.File("arin/" + strLast), strReferral);
    WriteFileBytes(m_dir.File("ripe/" + strLast), strLimit);
    ASSERT_TRUE(tryOnce());
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {strLast});
    EXPECT_EQ(note(strLast), "");
    EXPECT_TRUE(RunText().contains(QStringLiteral("Query limit: RIPE paused until"))) << RunText().toStdString();
    Frame().OnTimer();
    EXPECT_TRUE(Doc().GetData().GetRunningList(lookupWhois).empty()); // paused: not started
    WriteFileBytes(m_dir.File("ripe/" + strLast), strRipe);
    clock.AdvanceSeconds(61);
    ASSERT_TRUE(tryOnce());
    EXPECT_NE(Doc().GetData().GetRawWhois(strLast).find("128.79.0.0 - 128.79.63.0"), std::string::npos);
    EXPECT_EQ(note(strLast), "");
    EXPECT_FALSE(Doc().HasPendingLookups());

    // Limited, then gone: after the pause ARIN's answer is what is left.
    const std::string strGone = "193.0.0.2";
    WriteFileBytes(m_dir.File("arin/" + strGone), strReferral);
    WriteFileBytes(m_dir.File("ripe/" + strGone), strLimit);
    AddRows({strLast, strGone}, {1});
    Trigger(32774);
    ASSERT_TRUE(tryOnce());
    EXPECT_EQ(Waiting(lookupWhois), std::vector<std::string> {strGone});
    std::filesystem::remove(m_dir.File("ripe/" + strGone));
    clock.AdvanceSeconds(61);
    ASSERT_TRUE(tryOnce());
    EXPECT_NE(Doc().GetData().GetRawWhois(strGone).find("ReferralServer"), std::string::npos);
    EXPECT_FALSE(Doc().HasPendingLookups());
    Frame().OnTimer();
    EXPECT_EQ(RunText(), QString());
}

// Paced per registry: one tick starts an ARIN and a RIPE address side by side
// although only one lookup may run at a time and the interval is a minute, and
// RIPE's address is asked at RIPE, not at ARIN (which has no answer for it).
TEST_F(CBulkLookupFrameTest, F8PacedPerRegistryAsksEachRegistrySideBySide)
{
    Frame().GetTimer().stop(); // the test ticks
    CConnSettings settings = Frame().GetConnSettings();
    settings.m_bPacePerRegistry = true;
    settings.m_nWhoisInterval = 60;
    settings.m_nWhoisLimit = 1;
    Frame().GetSession().SetSettings(settings);
    const std::pair<const char*, const char*> kRows[] = {{"arin", "8.8.8.1"}, {"ripe", "193.0.6.1"}};
    for (const auto& [pszServer, pszAddress] : kRows)
        WriteFileBytes(m_dir.File(std::string(pszServer) + "/" + pszAddress),
                       std::string("inetnum:        ") + pszAddress + " - " + pszAddress + "\nnetname:        PACED-" +
                           pszServer + "\ncountry:        NL\n");
    AddRows({"8.8.8.1", "193.0.6.1"}, {});
    AnswerDialog<CLookupOptionsDlg>([](CLookupOptionsDlg& dlg) { dlg.accept(); });
    Trigger(kCmdLookupWithOptions);

    Frame().OnTimer();
    EXPECT_EQ(Doc().GetData().GetRunningList(lookupWhois).size(), 2u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Doc().GetData().GetRunningList(lookupWhois).empty(); }, 30000));
    for (const auto& [pszServer, pszAddress] : kRows)
        EXPECT_NE(Doc().GetData().GetRawWhois(pszAddress).find(std::string("PACED-") + pszServer), std::string::npos)
            << pszAddress;
    EXPECT_FALSE(Doc().HasPendingLookups());
}
