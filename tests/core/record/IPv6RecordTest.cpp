#include "core/document/Archive.h"
#include "core/record/IPDataArray.h"

#include "support/ArchiveBytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

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

std::vector<std::string> ReadBack(const std::string& file, CIPDataArray& data,
                                  std::vector<std::string>* pErrors = nullptr)
{
    CMemoryByteSource source(file);
    CArchive ar(source, "doc.qdl", [&](const std::string& s) {
        if (pErrors)
            pErrors->push_back(s);
    });
    data.Serialize(ar);
    std::vector<std::string> addresses;
    for (int i = 0; i < data.GetSize(); ++i)
        addresses.push_back(data.GetIPAddressAt(i));
    return addresses;
}

// The fields of an IPv6 record that holds only its address, written out by hand:
// the address and the range's ends are 16 bytes each in network order.
std::string FreshIPv6Record(const std::string& address16, const std::string& first16 = std::string(16, '\0'),
                            const std::string& last16 = std::string(16, '\0'))
{
    using namespace bytes;
    std::string r = address16 + NullDate() + NullDate();
    r += Str("") + Str("") + Str("") + Str("");
    r += NullDate() + Dbl(0.0) + U32(0) + U32(0) + NullDate();
    r += Str("") + Str("") + Str("") + Str("");
    r += first16 + last16 + Str("") + NullDate() + NullDate();
    r += Str("") + Str("") + Str("") + Str("");
    return r;
}

const std::string kNewIPv6ClassTag = std::string("\xFF\xFF\x01\x00\x10\x00", 6) + "CIPv6AddressData";
// 2001:db8::1 and 2001:db8::2
const std::string kDb8One("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\0\x01", 16);
const std::string kDb8Two("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\0\x02", 16);

} // namespace

TEST(IPv6Records, AddressesAreKeptInCanonicalFormAndFoundInAnyForm)
{
    struct Case {
        const char* typed;
        const char* stored;
        bool bIPv6;
    };
    const Case cases[] = {
        {"2001:DB8:0:0:0:0:0:1", "2001:db8::1", true},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1", true},
        {"64:ff9b::192.0.2.1", "64:ff9b::c000:201", true},
        {"::ffff:192.0.2.9", "192.0.2.9", false},
        {"10.0.0.1", "10.0.0.1", false},
    };
    CIPDataArray data;
    for (const Case& c : cases) {
        CIPAddressData* pRecord = data.FindOrAdd(c.typed);
        EXPECT_EQ(pRecord->GetIPAddress(), c.stored) << c.typed;
        EXPECT_EQ(pRecord->IsIPv6(), c.bIPv6) << c.typed;
        EXPECT_EQ(data.FindByIP(c.stored), pRecord) << c.typed;
        EXPECT_EQ(data.FindOrAdd(c.typed), pRecord) << c.typed;
    }
    EXPECT_EQ(data.GetSize(), 5);
    EXPECT_EQ(data.FindByIP("::ffff:10.0.0.1"), data.GetAt(4));
    EXPECT_EQ(data.FindByIP("2001:0db8::0001"), data.GetAt(0));
    EXPECT_EQ(data.FindByIP("2001:db8::1%eth0"), nullptr);
    EXPECT_EQ(data.GetIPAddressNumberAt(0), 0u);
    EXPECT_EQ(data.GetIPAddressNumberAt(3), 0xC0000209u);

    // Deleting and waiting work by any form as well.
    EXPECT_TRUE(data.QueueHostNameLookup("2001:db8::1"));
    EXPECT_TRUE(data.RemoveByIP("2001:DB8::0:1"));
    EXPECT_EQ(data.FindByIP("2001:db8::1"), nullptr);
    EXPECT_EQ(data.GetIPAddressAt(0), "2001:db8::1:0:0:1");
}

TEST(IPv6Records, WhoisTextGivesTheIPv6RangeByTheFirstLabel)
{
    struct Case {
        const char* file;
        const char* address;
        const char* range;
    };
    const Case cases[] = {
        {"whois6/arin/ipwhois-google-2001-4860-4860--8888.txt", "2001:4860:4860::8888",
         "2001:4860:: - 2001:4860:ffff:ffff:ffff:ffff:ffff:ffff"},
        {"whois6/ripe/ipwhois-bt-2a00-2381-ffff--1.txt", "2a00:2381:ffff::1",
         "2a00:2381:ffff:: - 2a00:2381:ffff:0:ffff:ffff:ffff:ffff"},
        {"whois6/lacnic/ipwhois-uco-crlf-2801-10-c000--.txt",
         "2801:10:c000::", "2801:10:c000:: - 2801:10:c000:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const Case& c : cases) {
        CIPDataArray data;
        data.SetWhoisResult(c.address, ReadFileBytes(TestDataPath(c.file)), COleDateTime(46000.0, COleDateTime::valid));
        EXPECT_EQ(data.GetRangeText(c.address), c.range) << c.file;
        EXPECT_FALSE(data.GetOwner(c.address).empty()) << c.file;
    }
    // An IPv4 network in the answer is no range of an IPv6 record, nor the other way.
    CIPAddressData v6("2001:db8::1");
    v6.SetRawWhois("NetRange: 192.0.2.0 - 192.0.2.255\n");
    EXPECT_EQ(v6.GetRangeText(), "");
    CIPAddressData v4("192.0.2.1");
    v4.SetRawWhois("inetnum: 2001:db8::/32\n");
    EXPECT_EQ(v4.GetRangeText(), "");
    v6.SetRawWhois("inet6num: 2001:db8::/48\n");
    EXPECT_EQ(v6.GetRangeText(), "2001:db8:: - 2001:db8:0:ffff:ffff:ffff:ffff:ffff");
    // The first label with a value counts, as for IPv4, even when it holds no range.
    CIPAddressData v6b("2001:db8::1");
    v6b.SetRawWhois("inet6num: 2001:db8::/48\nNetRange: 2001:db8::/129\n");
    EXPECT_EQ(v6b.GetRangeText(), "");
}

TEST(IPv6Records, OneIPv6RecordFileByteForByte)
{
    CIPDataArray data;
    data.FindOrAdd("2001:db8::1");
    const std::string expected = bytes::U32(1) + kNewIPv6ClassTag + FreshIPv6Record(kDb8One);
    ASSERT_EQ(FreshIPv6Record(kDb8One).size(), 149u);
    EXPECT_EQ(Serialized(data), expected);

    CIPDataArray back;
    EXPECT_EQ(ReadBack(expected, back), std::vector<std::string>({"2001:db8::1"}));
    EXPECT_TRUE(back.GetAt(0)->IsIPv6());
}

TEST(IPv6Records, MixedFileWritesIPv4FirstThenIPv6UnderItsOwnClass)
{
    CIPDataArray data;
    data.FindOrAdd("2001:db8::1")
        ->SetRange(CIPAddress::FromIPv6(0x20010db800000000ull, 0),
                   CIPAddress::FromIPv6(0x20010db800000000ull, 0xffffull));
    data.FindOrAdd("10.0.0.1");
    data.FindOrAdd("2001:db8::2");
    data.FindOrAdd("10.0.0.2");
    EXPECT_EQ(data.GetRangeText("2001:db8::1"), "2001:db8:: - 2001:db8::ffff");

    // Two IPv4 records take indexes 1 (their class) to 3, so the IPv6 class is 4.
    const std::string first16("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    const std::string last16("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\xff\xff", 16);
    const std::string expected = bytes::U32(4) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.1") +
                                 bytes::ClassRefTag() + bytes::FreshRecord("10.0.0.2") + kNewIPv6ClassTag +
                                 FreshIPv6Record(kDb8One, first16, last16) + std::string("\x04\x80", 2) +
                                 FreshIPv6Record(kDb8Two);
    const std::string file = Serialized(data);
    EXPECT_EQ(file, expected);

    CIPDataArray back;
    std::vector<std::string> errors;
    EXPECT_EQ(ReadBack(file, back, &errors),
              std::vector<std::string>({"10.0.0.1", "10.0.0.2", "2001:db8::1", "2001:db8::2"}));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(back.GetRangeText("2001:db8::1"), "2001:db8:: - 2001:db8::ffff");
    // Written again, the same bytes.
    EXPECT_EQ(Serialized(back), file);

    // A reader that asks for IPv4 records only keeps them and stops at the first
    // IPv6 entry with the unexpected-object message.
    CMemoryByteSource source(file);
    CArchive ar(source, "doc.qdl", [&](const std::string& s) { errors.push_back(s); });
    ar.ReadU32();
    int nRead = 0;
    try {
        for (;; ++nRead) {
            ar.ReadObjectClass(CArchiveClass::classCIPAddressData);
            CIPAddressData rec;
            rec.Serialize(ar);
        }
    } catch (const CArchiveException& e) {
        ar.ReportError(e);
    }
    EXPECT_EQ(nRead, 2);
    EXPECT_EQ(errors, std::vector<std::string>({"doc.qdl contained an unexpected object."}));
}

TEST(IPv6Records, IPv6ClassPastTheShortTagsIsReferredToInTheBigForm)
{
    // 0x7FFF IPv4 records put the IPv6 class at index 0x8001.
    constexpr uint32_t kIPv4 = 0x7FFF;
    CIPDataArray data;
    for (uint32_t i = 0; i < kIPv4; ++i)
        data.FindOrAdd("10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." +
                       std::to_string(i & 255));
    data.FindOrAdd("2001:db8::1");
    data.FindOrAdd("2001:db8::2");
    const std::string file = Serialized(data);
    const std::string tail = kNewIPv6ClassTag + FreshIPv6Record(kDb8One) + std::string("\xFF\x7F", 2) +
                             bytes::U32(0x80000000u | (kIPv4 + 2)) + FreshIPv6Record(kDb8Two);
    ASSERT_GT(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
    EXPECT_EQ(file.substr(0, 4), bytes::U32(kIPv4 + 2));

    CIPDataArray back;
    const std::vector<std::string> addresses = ReadBack(file, back);
    ASSERT_EQ(addresses.size(), kIPv4 + 2);
    EXPECT_EQ(addresses[kIPv4 - 1], "10.0.127.254");
    EXPECT_EQ(addresses[kIPv4 + 1], "2001:db8::2");
}

TEST(IPv6Records, DamagedIPv6EntriesKeepWhatWasRead)
{
    CIPDataArray data;
    data.FindOrAdd("2001:db8::1");
    data.FindOrAdd("2001:db8::2");
    const std::string file = Serialized(data);

    struct Case {
        std::string file;
        std::vector<std::string> addresses;
        size_t nErrors;
    };
    // An IPv4-mapped value is the IPv4 address; a reversed range is dropped.
    std::string mapped = file;
    mapped.replace(4 + kNewIPv6ClassTag.size(), 16, std::string("\0\0\0\0\0\0\0\0\0\0\xff\xff\xc0\0\x02\x01", 16));
    std::string reversed = file;
    reversed.replace(4 + kNewIPv6ClassTag.size() + 88, 16, std::string(16, '\xff'));
    const Case cases[] = {
        {file.substr(0, file.size() - 10), {"2001:db8::1", "2001:db8::2"}, 1},
        {file.substr(0, 4 + kNewIPv6ClassTag.size() + 8), {""}, 1},
        {mapped, {"192.0.2.1", "2001:db8::2"}, 0},
        {reversed, {"2001:db8::1", "2001:db8::2"}, 0},
    };
    for (const Case& c : cases) {
        CIPDataArray back;
        std::vector<std::string> errors;
        EXPECT_EQ(ReadBack(c.file, back, &errors), c.addresses);
        EXPECT_EQ(errors.size(), c.nErrors);
        EXPECT_EQ(back.GetRangeText(c.addresses[0]), "");
    }
}
