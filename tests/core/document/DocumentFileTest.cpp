// Reading document files, good and hostile.

#include "core/document/Archive.h"
#include "core/record/IPDataArray.h"

#include "support/ArchiveBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Loaded {
    std::vector<std::string> addresses;
    std::vector<std::string> messages;
};

Loaded Load(const std::string& data, CIPDataArray* pInto = nullptr)
{
    CIPDataArray local;
    CIPDataArray& coll = pInto ? *pInto : local;
    CMemoryByteSource src(data);
    Loaded out;
    CArchive ar(src, "doc.qdl", [&](const std::string& m) { out.messages.push_back(m); });
    coll.Serialize(ar);
    for (int i = 0; i < coll.GetSize(); ++i)
        out.addresses.push_back(coll.GetIPAddressAt(i));
    return out;
}

std::string Records(int n, uint32_t nCount)
{
    std::string s = bytes::U32(nCount);
    for (int i = 0; i < n; ++i)
        s += (i == 0 ? bytes::NewClassTag() : bytes::ClassRefTag()) + bytes::FreshRecord("10.0.0." + std::to_string(i));
    return s;
}

const std::string kEnd = "An attempt was made to access doc.qdl past its end.";
const std::string kSchema = "doc.qdl contains an incorrect schema.";
const std::string kClass = "doc.qdl contained an unexpected object.";
const std::string kFormat = "doc.qdl has a bad format.";

} // namespace

TEST(DocumentFile, ReadsWhatItWrites)
{
    const Loaded l = Load(Records(3, 3));
    EXPECT_EQ(l.addresses, (std::vector<std::string> {"10.0.0.0", "10.0.0.1", "10.0.0.2"}));
    EXPECT_TRUE(l.messages.empty());
}

TEST(DocumentFile, CountBeyondTheDataLoadsWhatIsThereAndReportsOnce)
{
    const Loaded l = Load(Records(3, 5));
    EXPECT_EQ(l.addresses.size(), 3u);
    EXPECT_EQ(l.messages, std::vector<std::string> {kEnd});
    // A count of four billion with nothing behind it: no hang, no huge reservation.
    const Loaded huge = Load(bytes::U32(0xFFFFFFFFu));
    EXPECT_TRUE(huge.addresses.empty());
    EXPECT_EQ(huge.messages, std::vector<std::string> {kEnd});
}

TEST(DocumentFile, EndInsideARecordKeepsThePartialRecordAndReportsOnce)
{
    std::string data = Records(2, 3);
    data.resize(data.size() - 50);
    const Loaded l = Load(data);
    EXPECT_EQ(l.addresses, (std::vector<std::string> {"10.0.0.0", "10.0.0.1"}));
    EXPECT_EQ(l.messages, std::vector<std::string> {kEnd});
}

TEST(DocumentFile, ShortOrEmptyFile)
{
    for (const std::string& data : {std::string(), std::string("\x01\x00", 2)}) {
        const Loaded l = Load(data);
        EXPECT_TRUE(l.addresses.empty());
        EXPECT_EQ(l.messages, std::vector<std::string> {kEnd});
    }
}

TEST(DocumentFile, LengthPrefixRunningPastTheEnd)
{
    // The second record's whois text claims 2^40 bytes in the 8-byte form.
    std::string data = Records(1, 2) + bytes::ClassRefTag() + bytes::Str("10.0.0.9") + bytes::NullDate() +
                       bytes::NullDate() + std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7) + bytes::U64(1ull << 40) +
                       "short";
    const Loaded l = Load(data);
    EXPECT_EQ(l.addresses, (std::vector<std::string> {"10.0.0.0", "10.0.0.9"}));
    EXPECT_EQ(l.messages, std::vector<std::string> {kEnd});
}

TEST(DocumentFile, BadEntriesStopReadingAndKeepWhatWasRead)
{
    const std::string one = Records(1, 2);
    struct Case {
        std::string tail;
        std::string message;
    } cases[] = {
        {std::string("\xFF\xFF\x02\x00\x0E\x00", 6) + "CIPAddressData", kSchema},
        {std::string("\xFF\xFF\x01\x00\x0B\x00", 6) + "CUnknownOne", kClass},
        {std::string("\xFF\xFF\x01\x00\x0C\x00", 6) + "CIPDataArray", kClass},
        {std::string("\x05\x80", 2), kFormat}, // class reference to nothing
        {std::string("\x02\x00", 2), kFormat}, // back-reference to the first record
        {std::string("\x00\x00", 2), kFormat}, // null entry
        {std::string("\x12\x34\x56\x78garbage", 11), kFormat},
    };
    for (const Case& c : cases) {
        const Loaded l = Load(one + c.tail);
        EXPECT_EQ(l.addresses, std::vector<std::string> {"10.0.0.0"}) << c.message;
        EXPECT_EQ(l.messages, std::vector<std::string> {c.message});
    }
    // The same faults in the first entry leave the collection empty.
    const Loaded l = Load(bytes::U32(1) + std::string("\xFF\xFF\x09\x00\x0E\x00", 6) + "CIPAddressData");
    EXPECT_TRUE(l.addresses.empty());
    EXPECT_EQ(l.messages, std::vector<std::string> {kSchema});
}

TEST(DocumentFile, ReadingReplacesTheCollection)
{
    CIPDataArray coll;
    coll.FindOrAdd("192.0.2.99");
    Load(Records(2, 2), &coll);
    EXPECT_EQ(coll.GetSize(), 2);
    EXPECT_EQ(coll.IndexOfIP("192.0.2.99"), -1);
    EXPECT_EQ(coll.IndexOfIP("10.0.0.1"), 1);
}

TEST(DocumentFile, RepeatedAddressesKeepTheirOrderAndTheFirstWins)
{
    std::string data = bytes::U32(3) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.1") + bytes::ClassRefTag() +
                       bytes::FreshRecord("10.0.0.2") + bytes::ClassRefTag() + bytes::FreshRecord("10.0.0.1");
    CIPDataArray coll;
    Load(data, &coll);
    ASSERT_EQ(coll.GetSize(), 3);
    EXPECT_EQ(coll.IndexOfIP("10.0.0.1"), 0);
    EXPECT_TRUE(coll.RemoveByIP("10.0.0.1"));
    EXPECT_EQ(coll.IndexOfIP("10.0.0.1"), 1);
}

TEST(DocumentFile, BigObjectTagsAreAccepted)
{
    std::string data = bytes::U32(2) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.1") +
                       std::string("\xFF\x7F", 2) + bytes::U32(0x80000001u) + bytes::FreshRecord("10.0.0.2");
    const Loaded l = Load(data);
    EXPECT_EQ(l.addresses.size(), 2u);
    EXPECT_TRUE(l.messages.empty());
}

// A hostile file may repeat one address (or leave it empty) in every record. Only
// the first copy is indexed; the others must still come forward one by one as
// earlier ones are removed, through holes and compaction.
TEST(DocumentFile, ManyCopiesOfOneAddressStayFindableInOrder)
{
    const int nCopies = 20000;
    std::string data = bytes::U32(uint32_t(2 * nCopies + 1)) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.9");
    for (int i = 0; i < nCopies; ++i)
        data += bytes::ClassRefTag() + bytes::FreshRecord("1.2.3.4") + bytes::ClassRefTag() + bytes::FreshRecord("");
    CIPDataArray coll;
    const Loaded l = Load(data, &coll);
    ASSERT_TRUE(l.messages.empty());
    ASSERT_EQ(coll.GetSize(), 2 * nCopies + 1);
    EXPECT_EQ(coll.IndexOfIP(""), -1);
    EXPECT_EQ(coll.IndexOfIP("10.0.0.9"), 0);
    for (int i = 0; i < nCopies; ++i) {
        ASSERT_EQ(coll.IndexOfIP("1.2.3.4"), 1 + i) << i;
        ASSERT_TRUE(coll.RemoveByIP("1.2.3.4"));
    }
    EXPECT_EQ(coll.IndexOfIP("1.2.3.4"), -1);
    EXPECT_EQ(coll.GetSize(), nCopies + 1);
    EXPECT_EQ(coll.IndexOfIP("10.0.0.9"), 0);
    // Adding the address again now makes a new record at the end.
    coll.FindOrAdd("1.2.3.4");
    EXPECT_EQ(coll.IndexOfIP("1.2.3.4"), nCopies + 1);
}

// Every entry declaring the class anew, then every one referring to the latest
// declaration: each reference must find its class without scanning them all.
TEST(DocumentFile, ManyClassDeclarationsAndReferences)
{
    const int n = 3000;
    std::string data = bytes::U32(uint32_t(2 * n));
    for (int i = 0; i < n; ++i)
        data += bytes::NewClassTag() +
                bytes::FreshRecord("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    // The last declaration took object index 2n - 1 (each record takes one more).
    const uint16_t wRef = uint16_t(0x8000 | (2 * n - 1));
    for (int i = 0; i < n; ++i)
        data +=
            std::string {char(wRef & 0xFF), char(wRef >> 8)} + bytes::FreshRecord("10.1.0." + std::to_string(i % 256));
    CIPDataArray coll;
    const Loaded l = Load(data, &coll);
    EXPECT_TRUE(l.messages.empty()) << l.messages.front();
    EXPECT_EQ(coll.GetSize(), 2 * n);
}
