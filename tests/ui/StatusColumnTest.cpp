// The Details table and the table exports say what became of each lookup.

#include "LoopbackFileServer.h"
#include "MainFrameFixture.h"

#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"
#include "cache/DelegationFile.h"
#include "cache/DelegationStore.h"
#include "sched/LookupRun.h"
#include "support/DelegationFiles.h"
#include "ui/frame/MessageLogBar.h"
#include "ui/frame/TextResultView.h"

#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"

#include <nlohmann/json.hpp>

#include <ctime>

namespace {

constexpr int kCmdReportAll = 32850;
constexpr int kCmdExportTableJson = 32861;

const std::string kAddress = CWhoisdProcess::kAddress;

// The window's settings name strCache as the answer cache.
void UseCacheFile(const std::string& strIni, const std::string& strCache)
{
    std::string strText = ReadFileBytes(strIni);
    strText.replace(strText.find("[Settings]\n"), 11, "[Settings]\nAnswer%20Cache=" + strCache + "\n");
    WriteFileBytes(strIni, strText);
}

} // namespace

TEST_F(CMainFrameTest, StatusColumnAndExportsNameRangeMismatchAndRowsNeverLookedUp)
{
    TypeAndLookup(QString::fromStdString(kAddress));
    ASSERT_TRUE(WaitForWhois(kAddress));
    AddRows({"192.0.2.1"}, {});
    Frame().OnCommand(FrameTexts::kCmdModeDetails);
    CDetailsModel& model = *Frame().GetIPListBar()->GetDetailsView()->GetModel();
    model.Refresh();
    ASSERT_EQ(model.GetShownCount(), 2);
    EXPECT_EQ(model.ColumnTitle(CDetailsModel::kStatus), std::string("Status"));
    std::map<std::string, std::string> status;
    for (int nRow = 0; nRow < 2; ++nRow)
        status[model.CellText(nRow, CDetailsModel::kAddress)] = model.CellText(nRow, CDetailsModel::kStatus);
    EXPECT_EQ(status[kAddress], "range-mismatch"); // RIPE answered for 128.79.0.0 - 128.79.63.0
    EXPECT_EQ(status["192.0.2.1"], "not-looked-up");

    Trigger(kCmdReportAll);
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.json"));
    Trigger(kCmdExportTableJson);
    const nlohmann::json json = nlohmann::json::parse(ReadFileBytes(m_dir.File("table.json")), nullptr, false);
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 2u);
    for (const auto& row : json)
        EXPECT_EQ(row["status"], status[row["address"].get<std::string>()]) << row.dump();
}

TEST_F(CMainFrameTest, ARunAnsweredFromTheSharedCacheSaysCachedInTheTableTheCaptionAndTheExport)
{
    // An earlier run (another document, another process) left RIPE's answer for 192.0.2.0/24.
    const std::string strCache = m_dir.File("cache/answers.sqlite");
    {
        CCacheDatabase db;
        ASSERT_TRUE(db.Open(strCache, int64_t(std::time(nullptr))).m_bOpen);
        CAnswerCache cache(db, CAnswerCacheLimits());
        CAnswerCachePut put;
        put.m_asked = *CCacheAddress::Parse("192.0.2.1");
        put.m_first = *CCacheAddress::Parse("192.0.2.0");
        put.m_last = *CCacheAddress::Parse("192.0.2.255");
        put.m_strSource = "whois";
        put.m_strServer = "RIPE";
        put.m_strAnswer = "192.0.2.1\r\n\r\ninetnum: 192.0.2.0 - 192.0.2.255\r\nnetname: EXAMPLE-NET\r\n"
                          "descr: Example Networks Ltd\r\ncountry: NL\r\nsource: RIPE\r\n";
        put.m_nFetched = int64_t(std::time(nullptr)) - 3600;
        ASSERT_EQ(cache.Put(put, int64_t(std::time(nullptr))).m_outcome, ECachePut::kStored);
    }
    UseCacheFile(m_strIni, strCache);
    MakeFrame();

    AddRows({"192.0.2.77"}, {});
    CLookupChoice choice;
    choice.m_bSkipFresh = false;
    Frame().GetRun().Queue({"192.0.2.77"}, choice);
    EXPECT_FALSE(Doc().HasPendingLookups()); // answered at once, nothing asked
    EXPECT_EQ(Doc().GetData().GetCountry("192.0.2.77"), "NL");
    EXPECT_EQ(Doc().GetData().GetRawWhois("192.0.2.77").rfind("192.0.2.77\r\n", 0), 0u);

    Frame().OnCommand(FrameTexts::kCmdModeDetails);
    CDetailsModel& model = *Frame().GetIPListBar()->GetDetailsView()->GetModel();
    model.Refresh();
    ASSERT_EQ(model.GetShownCount(), 1);
    EXPECT_EQ(model.CellText(0, CDetailsModel::kStatus), "cached");
    Doc().SelectIP("192.0.2.77");
    EXPECT_EQ(Frame().GetView()->GetCaptionNote(), FrameTexts::kNoteFromCache);

    Trigger(kCmdReportAll);
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.json"));
    Trigger(kCmdExportTableJson);
    const nlohmann::json json = nlohmann::json::parse(ReadFileBytes(m_dir.File("table.json")), nullptr, false);
    ASSERT_TRUE(json.is_array() && json.size() == 1u) << json.dump();
    EXPECT_EQ(json[0]["status"], "cached");
    EXPECT_EQ(json[0]["reusedFrom"], "cache");
}

TEST_F(CMainFrameTest, DelegationDataFillsRegistryAllocatedAndTheCountryUntilAnAnswerNamesOne)
{
    const std::string strCache = m_dir.File("cache/answers.sqlite");
    {
        CCacheDatabase db;
        ASSERT_TRUE(db.Open(strCache, int64_t(std::time(nullptr))).m_bOpen);
        const CDelegationFile file = ParseDelegationFile(
            ReadFileBytes(TestDataPath("delegated/netblockfinder-2013-delegated-ripencc-latest-head")));
        ASSERT_TRUE(CDelegationStore(db).Replace(file, int64_t(std::time(nullptr))).m_bOk);
    }
    UseCacheFile(m_strIni, strCache);
    MakeFrame();
    AddRows({"2.33.1.1", "192.0.2.1"}, {});
    Frame().OnCommand(FrameTexts::kCmdModeDetails);
    CDetailsModel& model = *Frame().GetIPListBar()->GetDetailsView()->GetModel();
    model.Refresh();
    ASSERT_EQ(model.GetShownCount(), 2);
    EXPECT_EQ(model.ColumnTitle(CDetailsModel::kRegistry), std::string("Registry"));
    EXPECT_EQ(model.ColumnTitle(CDetailsModel::kAllocated), std::string("Allocated"));
    const struct {
        int m_nColumn;
        const char* m_pszFirst;
        const char* m_pszSecond;
    } kCells[] = {
        {CDetailsModel::kCountry, "IT (delegation)", ""},
        {CDetailsModel::kRegistry, "RIPE", ""},
        {CDetailsModel::kAllocated, "2010-04-29", ""},
    };
    for (const auto& c : kCells) {
        EXPECT_EQ(model.CellText(0, c.m_nColumn), c.m_pszFirst);
        EXPECT_EQ(model.CellText(1, c.m_nColumn), c.m_pszSecond);
    }
    // The filter and the sort read the same cells.
    model.SetFilter("delegation");
    EXPECT_EQ(model.GetShownCount(), 1);
    model.SetFilter("");
    model.sort(CDetailsModel::kAllocated, Qt::DescendingOrder);
    EXPECT_EQ(model.CellText(0, CDetailsModel::kAddress), "2.33.1.1");
}

TEST_F(CMainFrameTest, UpdateRegistryDataDownloadsTheFilesAndTheTableShowsThemAtOnce)
{
    CLoopbackFileServer server;
    const std::string strRipe = GeneratedDelegationFile("ripencc", 40, 2, 0, 31);
    server.SetFile("delegated-ripencc-extended-latest", strRipe);
    server.SetFile("delegated-ripencc-extended-latest.md5",
                   "MD5 (delegated-ripencc-extended-latest) = " + Md5Hex(strRipe) + "\n");
    ASSERT_TRUE(server.Start());
    const std::string strCache = m_dir.File("cache/answers.sqlite");
    UseCacheFile(m_strIni, strCache);
    WriteFileBytes(m_strIni, ReadFileBytes(m_strIni) + "\n[Delegation%20Files]\nRIPE%20NCC=" +
                                 server.Url("ok", "delegated-ripencc-extended-latest") +
                                 "\nARIN=\nAPNIC=\nLACNIC=\nAFRINIC=" + server.Url("cut", "none") + "\n");
    MakeFrame();
    AddRows({"31.0.0.7"}, {});
    Frame().OnCommand(FrameTexts::kCmdModeDetails);
    CDetailsModel& model = *Frame().GetIPListBar()->GetDetailsView()->GetModel();
    model.Refresh();
    EXPECT_EQ(model.CellText(0, CDetailsModel::kRegistry), "");

    Trigger(FrameTexts::kCmdUpdateRegistryData);
    model.Refresh();
    EXPECT_EQ(model.CellText(0, CDetailsModel::kRegistry), "RIPE");
    EXPECT_EQ(model.CellText(0, CDetailsModel::kCountry), "FR (delegation)");
    const QStringList messages = Frame().GetMessageLog()->GetMessages();
    ASSERT_GE(messages.size(), 3) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages.contains(QStringLiteral("RIPE NCC: imported 42 blocks (serial 20260101)")))
        << messages.join('\n').toStdString();
    EXPECT_TRUE(messages.last() == QStringLiteral("Registry data: 1 registries updated, 1 failed."))
        << messages.join('\n').toStdString();
}
