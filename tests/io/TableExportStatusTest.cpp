#include "io/TableExport.h"

#include "core/record/IPDataArray.h"
#include "core/record/OleDateTime.h"

#include <gtest/gtest.h>

// Every record row says what became of its lookup, so that a failed or never
// looked-up row does not read like an answer.
TEST(TableExportStatus, EveryRowSaysWhatBecameOfItsLookup)
{
    CIPDataArray data;
    const COleDateTime dt = COleDateTime::FromComponents(2026, 12, 7, 9, 30, 0);
    data.FindOrAdd("192.0.2.1");
    data.SetWhoisResult("192.0.2.2", "192.0.2.2\r\n\r\nNetRange: 192.0.2.0 - 192.0.2.255\r\nOrgName: Example\r\n", dt);
    data.SetWhoisResult("130.66.76.222",
                        "130.66.76.222\r\n\r\ninetnum: 128.79.0.0 - 128.79.63.0\r\nnetname: X\r\nsource: RIPE\r\n", dt);
    data.SetWhoisResult("192.0.2.3", "192.0.2.3\r\n\r\nNetRange: 192.0.2.0 - 192.0.2.255\r\nOrgName: Example\r\n", dt);
    const std::vector<std::string> addresses = {"192.0.2.1", "192.0.2.2", "130.66.76.222", "192.0.2.3"};

    int nRows = 0;
    const std::string json = BuildTableExport(data, addresses, ETableFormat::kJson, ETableRows::kRecords, nRows);
    ASSERT_EQ(nRows, 4);
    for (const char* psz : {R"("address": "192.0.2.1")", R"("status": "not-looked-up", "reusedFrom": "", "reason": "")",
                            R"("status": "ok")", R"("status": "range-mismatch")"})
        EXPECT_NE(json.find(psz), std::string::npos) << psz << "\n" << json;

    // What the run knows wins: a reused answer, a give-up with its reason.
    const TableStatusFn fnRun = [](const CIPAddressData& record, const CWhoisFacts& facts) {
        CRecordStatus s;
        s.m_eStatus = RecordStatusOf(record, facts);
        if (record.IPAddressView() == "192.0.2.3") {
            s.m_eStatus = ERecordStatus::kReused;
            s.m_strReusedFrom = "192.0.2.2";
        } else if (record.IPAddressView() == "192.0.2.1") {
            s.m_eStatus = ERecordStatus::kGaveUp;
            s.m_strReason = "no answer";
        }
        return s;
    };
    const std::string csv = BuildTableExport(data, addresses, ETableFormat::kCsv, ETableRows::kRecords, nRows, fnRun);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "address,hostName,holder,country,range,abuse,netName,originAS,registry,whoisTime,ping,notes,status,"
              "reusedFrom,reason,allocated,countrySource");
    EXPECT_NE(csv.find(",gave-up,,no answer,,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",reused,192.0.2.2,,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",range-mismatch,,,"), std::string::npos) << csv;
}
