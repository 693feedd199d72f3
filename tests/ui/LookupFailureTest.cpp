// A whois lookup that fails says why, wherever the window tells what became of it:
// the Details Status column, the table export, the Messages log and the run's
// summary in the status bar.

#include "MainFrameFixture.h"

#include "ui/frame/MessageLogBar.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"

#include <nlohmann/json.hpp>

#include <QLabel>
#include <QStatusBar>

namespace {

constexpr int kCmdReportAll = 32850;
constexpr int kCmdExportTableJson = 32861;

struct CFailureCase {
    const char* pszCase;
    const char* pszArin; // the ARIN server of the settings
    const char* pszArinMode; // how addrscope-whoisd's ARIN behaves; null: as it should
    const char* pszAddress;
    const char* pszStatus; // the Status cell
    const char* pszMessage; // a line of the Messages log
    const char* pszSummary;
    bool bLogShown = true; // the Messages log came into view
};

const CFailureCase kCases[] = {
    // Nothing listens on 127.0.0.20.
    {"refused", "127.0.0.20", nullptr, "128.79.1.1", "failed (connection refused)",
     "128.79.1.1: whois lookup failed after 3 tries: connection refused", "Looked up 1: 1 failed \u2014 see Messages"},
    {"silent", "127.0.0.2", "silent", "128.79.1.1", "failed (time-out)",
     "128.79.1.1: whois lookup failed after 3 tries: time-out", "Looked up 1: 1 failed \u2014 see Messages"},
    {"10 MiB answer", "127.0.0.2", "huge", "128.79.1.1", "failed (cut at Max Answer Size)",
     "128.79.1.1: whois lookup failed after 3 tries: cut at Max Answer Size",
     "Looked up 1: 1 failed \u2014 see Messages"},
    // The referral arrives with a zero byte in its middle: the text lacks part of it.
    {"zero byte", "127.0.0.2", "zero", CWhoisdProcess::kAddress, nullptr,
     "130.66.76.222: its whois answer held a zero byte: what followed it in that piece of the answer was dropped",
     "Looked up 1: 1 ok"},
    // A run that went well says so without bringing the log into view.
    {"answered", "127.0.0.2", nullptr, CWhoisdProcess::kAddress, "range-mismatch", "Looked up 1: 1 ok",
     "Looked up 1: 1 ok", false},
};

class CLookupFailureTest : public CMainFrameTest, public ::testing::WithParamInterface<CFailureCase>
{ };

} // namespace

TEST_P(CLookupFailureTest, TheReasonShowsInStatusExportMessagesAndTheRunSummary)
{
    const CFailureCase& c = GetParam();
    // A server of its own for the case, and settings that ask it.
    CWhoisdProcess whoisd;
    QStringList modes;
    if (c.pszArinMode)
        modes << QStringLiteral("--mode") << QStringLiteral("127.0.0.2=%1").arg(QLatin1String(c.pszArinMode));
    ASSERT_TRUE(whoisd.Start(m_dir, modes));
    const std::string port = std::to_string(whoisd.Port());
    WriteFileBytes(m_strIni,
                   "[Settings]\nIP%20Whois%20Interval=0\n\n[Whois%20Servers]\nARIN=" + std::string(c.pszArin) +
                       "\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                       "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\nWhois%20Port=" +
                       port + "\nRWhois%20Port=" + port +
                       "\nConnect%20Timeout=2000\nIdle%20Timeout=150\nMax%20Answer%20Size=65536\n");
    MakeFrame();

    AddRows({c.pszAddress}, {0});
    Trigger(FrameTexts::kCmdLookupSelected);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Frame().OnTimer();
            return !Doc().HasPendingLookups();
        },
        30000));
    Frame().OnTimer(); // the run ends

    Frame().OnCommand(FrameTexts::kCmdModeDetails);
    CDetailsModel& model = *Frame().GetIPListBar()->GetDetailsView()->GetModel();
    model.Refresh();
    ASSERT_EQ(model.GetShownCount(), 1);
    const std::string strStatus = model.CellText(0, CDetailsModel::kStatus);
    if (c.pszStatus) {
        EXPECT_EQ(strStatus, c.pszStatus);
    } else {
        EXPECT_EQ(strStatus.find("failed"), std::string::npos) << strStatus;
    }

    const QStringList& messages = Frame().GetMessageLog()->GetMessages();
    EXPECT_TRUE(messages.contains(QString::fromUtf8(c.pszMessage))) << messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.last().toStdString(), c.pszSummary);
    EXPECT_EQ(Frame().statusBar()->currentMessage().toStdString(), c.pszSummary);
    EXPECT_EQ(Frame().GetMessageLog()->isVisible(), c.bLogShown);

    Trigger(kCmdReportAll);
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.json"));
    Trigger(kCmdExportTableJson);
    const nlohmann::json json = nlohmann::json::parse(ReadFileBytes(m_dir.File("table.json")), nullptr, false);
    ASSERT_TRUE(json.is_array() && json.size() == 1u) << json.dump();
    const std::string strToken = strStatus.substr(0, strStatus.find(' '));
    EXPECT_EQ(json[0].value("status", ""), strToken);
    const std::string strReason = json[0].value("reason", "");
    EXPECT_EQ(strReason.empty() ? strToken : strToken + " (" + strReason + ")", strStatus);
}

INSTANTIATE_TEST_SUITE_P(Failures, CLookupFailureTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CFailureCase>& info) {
                             std::string name = info.param.pszCase;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST_F(CMainFrameTest, AtTheDefaultWidthTheStatusTextGivesWayAndTheCountPanesKeepTheirPlace)
{
    Frame().resize(750, 600);
    QCoreApplication::processEvents();
    QWidget* pTotal = Frame().GetTotalPane()->parentWidget();
    QWidget* pDisplay = Frame().GetDisplayPane()->parentWidget();
    const QRect total = pTotal->geometry();
    const QRect display = pDisplay->geometry();
    const QString strLong = QStringLiteral("Looking up 1,234 of 100,000 (whois); 3 failed; about 2 h 15 min left; "
                                           "Query limit: RIPE paused until 06:12:30, ARIN paused until 06:40:00");
    // A run's progress, a short one, a message, nothing: the panes stay where they are.
    const struct {
        QString strRun;
        QString strMessage;
    } kSteps[] = {{strLong, {}}, {QStringLiteral("x"), {}}, {strLong, strLong + strLong}, {{}, {}}, {strLong, {}}};
    for (const auto& step : kSteps) {
        SCOPED_TRACE(step.strRun.toStdString() + " / " + step.strMessage.toStdString());
        Frame().GetRunPane()->setText(step.strRun);
        if (step.strMessage.isEmpty())
            Frame().statusBar()->clearMessage();
        else
            Frame().LogMessage(step.strMessage);
        AddRows({"192.0.2." + std::to_string(Doc().GetData().GetSize() + 1)}, {});
        QCoreApplication::processEvents();
        EXPECT_EQ(pTotal->geometry(), total);
        EXPECT_EQ(pDisplay->geometry(), display);
        EXPECT_EQ(Frame().width(), 750);
        // Nothing is cut off without a sign: a text wider than its room ends in "...".
        if (Frame().GetRunPane()->isVisible()) {
            EXPECT_LE(Frame().GetRunPane()->minimumSizeHint().width(), Frame().GetRunPane()->width());
        }
    }
    // The whole text stays the pane's and the log's; only the drawing is cut.
    EXPECT_EQ(Frame().GetRunPane()->text(), strLong);
    Frame().LogMessage(strLong + strLong);
    EXPECT_TRUE(Frame().statusBar()->currentMessage().endsWith(QChar(0x2026)))
        << Frame().statusBar()->currentMessage().toStdString();
    EXPECT_EQ(Frame().GetMessageLog()->GetMessages().last(), strLong + strLong);
}
