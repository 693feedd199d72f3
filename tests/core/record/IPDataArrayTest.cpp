#include "core/record/IPDataArray.h"

#include "core/document/Archive.h"

#include "support/ArchiveBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Serialized(CIPDataArray& data)
{
    CStringByteSink sink;
    CArchive ar(sink);
    data.Serialize(ar);
    EXPECT_TRUE(ar.Flush());
    return sink.Bytes();
}

const COleDateTime kNow(46000.5, COleDateTime::valid);

} // namespace

TEST(IPDataArray, FindOrAddAppendsOnceIgnoringCase)
{
    CIPDataArray data;
    CIPAddressData* a = data.FindOrAdd("10.0.0.1");
    CIPAddressData* b = data.FindOrAdd("10.0.0.2");
    EXPECT_EQ(data.FindOrAdd("10.0.0.1"), a);
    EXPECT_EQ(data.GetSize(), 2);
    EXPECT_EQ(data.IndexOfIP("10.0.0.2"), 1);
    EXPECT_EQ(data.IndexOfRecord(b), 1);
    // Texts compare as they stand: leading zeros make another record.
    EXPECT_EQ(data.FindByIP("010.0.0.1"), nullptr);
    // Case only matters for texts with letters, which a file may hold.
    data.FindOrAdd("Host");
    EXPECT_EQ(data.IndexOfIP("hOST"), 2);
    EXPECT_EQ(data.FindByIP(""), nullptr);
    EXPECT_EQ(data.IndexOfIP(""), -1);
    EXPECT_FALSE(data.RemoveByIP(""));
}

TEST(IPDataArray, RemoveShiftsLaterIndexes)
{
    CIPDataArray data;
    for (int i = 0; i < 5; ++i)
        data.FindOrAdd("10.0.0." + std::to_string(i));
    EXPECT_TRUE(data.RemoveByIP("10.0.0.0"));
    EXPECT_FALSE(data.RemoveByIP("10.0.0.0"));
    EXPECT_EQ(data.GetSize(), 4);
    EXPECT_EQ(data.IndexOfIP("10.0.0.1"), 0);
    EXPECT_EQ(data.GetIPAddressAt(3), "10.0.0.4");
    EXPECT_EQ(data.GetIPAddressAt(4), "");
    EXPECT_EQ(data.GetIPAddressNumberAt(-1), 0u);
    EXPECT_EQ(data.GetRawWhoisAt(9), "");
    EXPECT_EQ(data.IndexOfRecord(nullptr), -1);
    CIPAddressData stranger;
    EXPECT_EQ(data.IndexOfRecord(&stranger), -1);
}

TEST(IPDataArray, ManyRemovalsKeepIndexesRight)
{
    // Against a plain list, through holes, appends between removals and compaction.
    std::mt19937 rng(7);
    CIPDataArray data;
    std::vector<std::string> model;
    int next = 0;
    auto add = [&] {
        const std::string a = "10." + std::to_string(next / 65536) + "." + std::to_string((next / 256) % 256) + "." +
                              std::to_string(next % 256);
        ++next;
        data.FindOrAdd(a);
        model.push_back(a);
    };
    for (int i = 0; i < 5000; ++i)
        add();
    for (int round = 0; round < 6000; ++round) {
        if (rng() % 3 == 0) {
            add();
        } else if (!model.empty()) {
            const size_t k = rng() % model.size();
            ASSERT_TRUE(data.RemoveByIP(model[k]));
            model.erase(model.begin() + std::ptrdiff_t(k));
        }
        if (round % 500 == 0) {
            ASSERT_EQ(data.GetSize(), int(model.size()));
            for (size_t i = 0; i < model.size(); ++i) {
                ASSERT_EQ(data.GetIPAddressAt(int(i)), model[i]);
                ASSERT_EQ(data.IndexOfIP(model[i]), int(i));
                ASSERT_EQ(data.IndexOfRecord(data.GetAt(int(i))), int(i));
            }
        }
    }
    // Remove everything, front to back: the collection ends empty and reusable.
    for (const std::string& a : model)
        ASSERT_TRUE(data.RemoveByIP(a));
    EXPECT_EQ(data.GetSize(), 0);
    data.FindOrAdd("1.2.3.4");
    EXPECT_EQ(data.IndexOfIP("1.2.3.4"), 0);
}

TEST(IPDataArray, ResultSetters)
{
    CIPDataArray data;
    data.SetWhoisResult("192.0.2.1", "OrgName: Ex\r\nCountry: US\r\nNetRange: 192.0.2.0 - 192.0.2.255\r\n", kNow);
    ASSERT_EQ(data.GetSize(), 1);
    EXPECT_EQ(data.GetOwner("192.0.2.1"), "Ex");
    EXPECT_EQ(data.GetCountry("192.0.2.1"), "US");
    EXPECT_EQ(data.GetRangeText("192.0.2.1"), "192.0.2.0 - 192.0.2.255");
    EXPECT_EQ(data.GetWhoisTime("192.0.2.1"), kNow);

    EXPECT_TRUE(data.SetPingResult("192.0.2.1", 12.9, 1, 3, kNow));
    EXPECT_EQ(data.GetAt(0)->GetPingTime(), 12.0);
    EXPECT_EQ(data.GetPingText("192.0.2.1"), "12 ms");
    EXPECT_TRUE(data.SetTraceResult("192.0.2.1", "hops", kNow));
    EXPECT_EQ(data.GetTraceText("192.0.2.1"), "hops");
    EXPECT_EQ(data.GetTraceTextAt(0), "hops");
    EXPECT_EQ(data.GetTraceTime("192.0.2.1"), kNow);
    EXPECT_TRUE(data.SetHostNameResult("192.0.2.1", "h"));
    EXPECT_EQ(data.GetHostName("192.0.2.1"), "h");
    EXPECT_TRUE(data.SetNoteByIP("192.0.2.1", 3, "req"));
    EXPECT_FALSE(data.SetNoteByIP("192.0.2.1", 4, "x"));
    EXPECT_EQ(data.GetNote("192.0.2.1", 3), "req");
    EXPECT_EQ(data.GetNote("192.0.2.1", -1), "");

    // Unknown addresses: nothing added, empty answers.
    EXPECT_FALSE(data.SetHostNameResult("9.9.9.9", "h"));
    EXPECT_FALSE(data.SetPingResult("9.9.9.9", 1, 0, 1, kNow));
    EXPECT_FALSE(data.SetTraceResult("9.9.9.9", "t", kNow));
    EXPECT_FALSE(data.SetNoteByIP("9.9.9.9", 0, "n"));
    EXPECT_FALSE(data.ReExtract("9.9.9.9"));
    EXPECT_EQ(data.GetSize(), 1);
    EXPECT_EQ(data.GetOwner("9.9.9.9"), "");
    EXPECT_EQ(data.GetWhoisTime("9.9.9.9").GetStatus(), COleDateTime::null);
    data.SetWhoisResult("9.9.9.9", "", kNow);
    EXPECT_EQ(data.GetIPAddressAt(1), "9.9.9.9");

    data.GetAt(0)->SetOwner("changed");
    EXPECT_TRUE(data.ReExtract("192.0.2.1"));
    EXPECT_EQ(data.GetOwner("192.0.2.1"), "Ex");
    EXPECT_FALSE(data.ReExtract("9.9.9.9")); // empty whois text
}

TEST(IPDataArray, PendingLists)
{
    CIPDataArray data;
    EXPECT_FALSE(data.HasPending());
    EXPECT_FALSE(data.ClearPending(0));
    EXPECT_FALSE(data.ClearAllPending());
    data.GetWaitingList(lookupPing).AddUnique("1.2.3.4");
    auto* job = reinterpret_cast<CLookupJob*>(&data); // never dereferenced nor deleted
    data.GetRunningList(lookupTrace).push_back(job);
    EXPECT_TRUE(data.HasPending());
    EXPECT_TRUE(data.ClearPending(lookupPing));
    EXPECT_TRUE(data.HasPending());
    EXPECT_TRUE(data.ClearAllPending());
    EXPECT_FALSE(data.HasPending());
    // Never written to the file.
    data.GetWaitingList(lookupWhois).AddUnique("1.2.3.4");
    EXPECT_EQ(Serialized(data), std::string(4, '\0'));
}

TEST(IPDataArray, EmptyCollectionIsFourZeroBytes)
{
    CIPDataArray data;
    EXPECT_EQ(Serialized(data), std::string(4, '\0'));
}

TEST(IPDataArray, TwoRecordFileByteForByte)
{
    CIPDataArray data;
    data.FindOrAdd("10.0.0.1");
    data.FindOrAdd("10.0.0.2");
    const std::string first = bytes::FreshRecord("10.0.0.1");
    ASSERT_EQ(first.size(), 118u);
    const std::string expected =
        bytes::U32(2) + bytes::NewClassTag() + first + bytes::ClassRefTag() + bytes::FreshRecord("10.0.0.2");
    EXPECT_EQ(Serialized(data), expected);
}

TEST(IPDataArray, RemovedRecordsAreNotWritten)
{
    CIPDataArray data;
    for (int i = 0; i < 3; ++i)
        data.FindOrAdd("10.0.0." + std::to_string(i));
    data.RemoveByIP("10.0.0.1");
    EXPECT_EQ(Serialized(data), bytes::U32(2) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.0") +
                                    bytes::ClassRefTag() + bytes::FreshRecord("10.0.0.2"));
}
