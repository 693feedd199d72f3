// The Details table and the table exports say what became of each lookup.

#include "MainFrameFixture.h"

#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"

#include <nlohmann/json.hpp>

namespace {

constexpr int kCmdReportAll = 32850;
constexpr int kCmdExportTableJson = 32861;

const std::string kAddress = CWhoisdProcess::kAddress;

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
