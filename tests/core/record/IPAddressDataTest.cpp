#include "core/record/IPAddressData.h"

#include "core/document/Archive.h"
#include "core/record/DottedQuad.h"

#include "support/ArchiveBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Serialized(CIPAddressData& rec)
{
    CStringByteSink sink;
    CArchive ar(sink);
    rec.Serialize(ar);
    EXPECT_TRUE(ar.Flush());
    return sink.Bytes();
}

} // namespace

TEST(IPAddressData, FreshRecordIs110Bytes)
{
    CIPAddressData rec;
    const std::string s = Serialized(rec);
    EXPECT_EQ(s.size(), 110u);
    EXPECT_EQ(s, bytes::FreshRecord(""));
}

TEST(IPAddressData, FieldsGoInFileOrder)
{
    CIPAddressData rec("192.0.2.7");
    rec.SetRawWhois(std::string(300, 'w'));
    rec.SetHostName("h.example");
    rec.SetTraceData("trace");
    rec.SetTraceDone(COleDateTime(40000.5, COleDateTime::valid));
    rec.SetWhoisDone(COleDateTime(40001.25, COleDateTime::valid));
    rec.SetPingTime(12);
    rec.SetPingTries(3);
    rec.SetPingFailures(1);
    rec.SetPingDone(COleDateTime(40002, COleDateTime::invalid));
    rec.SetOwner("Own");
    rec.SetCountry("US");
    rec.SetRange(1, 2);
    rec.SetNote(0, "a");
    rec.SetNote(3, "d");
    rec.SetNote(4, "ignored");

    using namespace bytes;
    std::string expected = Str("192.0.2.7") + Date(0, 40001.25) + NullDate();
    expected += std::string("\xFF\x2C\x01", 3) + std::string(300, 'w') + Str("h.example") + Str("") + Str("trace");
    expected += Date(0, 40000.5) + Dbl(12) + U32(3) + U32(1) + Date(1, 40002);
    expected += Str("Own") + Str("US") + Str("") + Str("") + U32(1) + U32(2) + Str("") + NullDate() + NullDate();
    expected += Str("a") + Str("") + Str("") + Str("d");
    EXPECT_EQ(Serialized(rec), expected);
}

TEST(IPAddressData, ReadsBackEveryFieldIncludingSpares)
{
    using namespace bytes;
    std::string data = Str("10.0.0.9") + Date(0, 1.5) + Date(1, 2.5) + Str("whois") + Str("host") + Str("sp1") +
                       Str("tr") + Date(0, 3.5) + Dbl(7) + U32(4) + U32(2) + Date(0, 4.5) + Str("own") + Str("NL") +
                       Str("sp2") + Str("sp3") + U32(10) + U32(20) + Str("sp4") + Date(0, 5.5) + Date(2, 6.5) +
                       Str("n0") + Str("n1") + Str("n2") + Str("n3");
    CMemoryByteSource src(data);
    std::vector<std::string> errors;
    CArchive ar(src, "f", [&](const std::string& m) { errors.push_back(m); });
    CIPAddressData rec;
    rec.Serialize(ar);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(rec.GetIPAddress(), "10.0.0.9");
    EXPECT_EQ(rec.GetIPAddressNumber(), ParseDottedQuad("10.0.0.9"));
    EXPECT_EQ(rec.GetWhoisDone(), COleDateTime(1.5, COleDateTime::valid));
    EXPECT_EQ(rec.GetDtSpare(1), COleDateTime(2.5, COleDateTime::invalid));
    EXPECT_EQ(rec.GetRawWhois(), "whois");
    EXPECT_EQ(rec.GetOwner(), "own"); // read as stored, not re-extracted
    EXPECT_EQ(rec.GetSpare(1), "sp1");
    EXPECT_EQ(rec.GetSpare(4), "sp4");
    EXPECT_EQ(rec.GetDtSpare(3), COleDateTime(6.5, COleDateTime::null));
    EXPECT_EQ(rec.GetPingTries(), 4u);
    EXPECT_EQ(rec.GetRangeEnd(), 20u);
    EXPECT_EQ(rec.GetNote(3), "n3");
    // Written again, the same bytes.
    EXPECT_EQ(Serialized(rec), data);
}

TEST(IPAddressData, TruncatedRecordKeepsWhatWasRead)
{
    using namespace bytes;
    const std::string data = Str("10.0.0.9") + Date(0, 1.5) + Date(2, 0) + Str("whois") + Str("ho");
    CMemoryByteSource src(std::string_view(data).substr(0, data.size() - 1));
    std::vector<std::string> errors;
    CArchive ar(src, "f.qdl", [&](const std::string& m) { errors.push_back(m); });
    CIPAddressData rec;
    rec.Serialize(ar);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "An attempt was made to access f.qdl past its end.");
    EXPECT_EQ(rec.GetIPAddress(), "10.0.0.9");
    EXPECT_EQ(rec.GetIPAddressNumber(), ParseDottedQuad("10.0.0.9"));
    EXPECT_EQ(rec.GetRawWhois(), "whois");
    EXPECT_EQ(rec.GetHostName(), "");
    EXPECT_EQ(rec.GetPingDone().GetStatus(), COleDateTime::null);
}

TEST(IPAddressData, AddressNumberFollowsText)
{
    CIPAddressData rec("10.0.0.1");
    EXPECT_EQ(rec.GetIPAddressNumber(), (10u << 24) + 1);
    rec.SetIPAddress("255.255.255.255");
    EXPECT_EQ(rec.GetIPAddressNumber(), 0xFFFFFFFFu);
    // Long texts (not valid addresses, but possible in a file) are kept whole.
    const std::string longText(40, '7');
    rec.SetIPAddress(longText);
    EXPECT_EQ(rec.GetIPAddress(), longText);
}

TEST(IPAddressData, RangeText)
{
    CIPAddressData rec("192.0.2.1");
    EXPECT_EQ(rec.GetRangeText(), "");
    rec.SetRange(ParseDottedQuad("192.0.2.0"), ParseDottedQuad("192.0.2.255"));
    EXPECT_EQ(rec.GetRangeText(), "192.0.2.0 - 192.0.2.255");
    rec.SetRange(5, 5);
    EXPECT_EQ(rec.GetRangeText(), "");
}

TEST(IPAddressData, PingText)
{
    CIPAddressData rec("192.0.2.1");
    EXPECT_EQ(rec.GetPingText(), ""); // never pinged
    rec.SetPingDone(COleDateTime(45000, COleDateTime::valid));
    rec.SetPingTries(3);
    rec.SetPingFailures(3);
    EXPECT_EQ(rec.GetPingText(), "Failed");
    rec.SetPingFailures(1);
    rec.SetPingTime(25.0);
    EXPECT_EQ(rec.GetPingText(), "25 ms");
    rec.SetPingTime(4999);
    EXPECT_EQ(rec.GetPingText(), "4999 ms");
    rec.SetPingTime(6000);
    EXPECT_EQ(rec.GetPingText(), "");
    rec.SetPingTime(0);
    rec.SetPingTries(0);
    rec.SetPingFailures(0);
    EXPECT_EQ(rec.GetPingText(), "0 ms"); // zero tries is not a failure
}
