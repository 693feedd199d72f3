// The window's "Export Table as CSV..." and "Export Table as JSON..." commands
// against the loopback whois server.

#include "MainFrameFixture.h"

#include <nlohmann/json.hpp>

namespace {

constexpr int kCmdReportSelected = 32845;
constexpr int kCmdReportAll = 32850;
constexpr int kCmdExportTableCsv = 32860;
constexpr int kCmdExportTableJson = 32861;

const std::string kAddress = CWhoisdProcess::kAddress;

} // namespace

TEST_F(CMainFrameTest, TableExportsFollowTheRowsRuleAndThePrompt)
{
    TypeAndLookup(QString::fromStdString(kAddress));
    ASSERT_TRUE(WaitForWhois(kAddress));
    AddRows({"192.0.2.1"}, {});
    const std::vector<std::string> rows = Frame().CollectRows(false);
    ASSERT_EQ(rows.size(), 2u);
    const int nLookedUp = rows[0] == kAddress ? 0 : 1;

    // Only the selected row; the menu holds both commands.
    List().SelectRow(nLookedUp);
    Trigger(kCmdReportSelected);
    ASSERT_TRUE(Frame().GetAction(kCmdExportTableCsv)->isEnabled());
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.csv"));
    Trigger(kCmdExportTableCsv);
    ASSERT_EQ(m_files.m_nAsked, 1);
    const std::string csv = ReadFileBytes(m_dir.File("table.csv"));
    EXPECT_EQ(csv.rfind("address,hostName,holder,country,range,abuse,netName,originAS,registry,whoisTime,ping,notes,"
                        "status,reusedFrom,reason,allocated,countrySource\r\n"
                        "" + kAddress +
                            ",,BOUYGTEL-ISP-CABLE,FR,",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find("abuse_box@bouyguestelecom.fr,BOUYGTEL-ISP-CABLE,AS5410,RIPE,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);
    EXPECT_EQ(m_pStore->GetProfileString("File Path", "csv"), m_dir.Path().string() + "/*.csv");

    // All rows as JSON, the row never looked up with empty facts.
    Trigger(kCmdReportAll);
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("table.json"));
    Trigger(kCmdExportTableJson);
    ASSERT_EQ(m_files.m_nAsked, 2);
    const nlohmann::json json = nlohmann::json::parse(ReadFileBytes(m_dir.File("table.json")), nullptr, false);
    ASSERT_TRUE(json.is_array()) << ReadFileBytes(m_dir.File("table.json"));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[nLookedUp]["holder"], "BOUYGTEL-ISP-CABLE");
    EXPECT_EQ(json[1 - nLookedUp]["address"], "192.0.2.1");
    EXPECT_EQ(json[1 - nLookedUp]["holder"], "");
    EXPECT_EQ(json[1 - nLookedUp]["whoisTime"], "");

    // A file that cannot be written is said so.
    m_files.m_strAnswer = QString::fromStdString(m_dir.File("missing/folder/table.csv"));
    Trigger(kCmdExportTableCsv);
    ASSERT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_TRUE(m_prompts.m_messages[0].contains(QStringLiteral("missing/folder/table.csv")));

    // Without rows the commands are disabled and, issued anyway, ask nothing.
    List().DeselectAll();
    Trigger(kCmdReportSelected);
    EXPECT_FALSE(Frame().GetAction(kCmdExportTableJson)->isEnabled());
    Frame().OnCommand(kCmdExportTableJson);
    EXPECT_EQ(m_files.m_nAsked, 3);
}
