#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"

#include "core/record/DottedQuad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {

struct CTextCase {
    const char* input;
    const char* canonical; // nullptr: refused
    const char* reason = ""; // a word the refusal's reason holds
};

// Parse, then print: every accepted form reads back to its canonical text.
const CTextCase kTexts[] = {
    // IPv4 under the dotted conventions, also the lenient pieces they allow.
    {"192.0.2.1", "192.0.2.1"},
    {"010.1.0.1", "10.1.0.1"},
    {"10..0.1", "10.0.0.1"},
    {"0.0.0.0", "0.0.0.0"},
    {"256.1.1.1", nullptr, "not an IPv4"},
    {"1.2.3", nullptr, "not an IPv4"},
    // RFC 5952's own examples (sections 4.1 to 4.3).
    {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:0db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:db8::1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:db8::0:1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:0db8::1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:db8:0:0:1::1", "2001:db8::1:0:0:1"},
    {"2001:DB8:0:0:1::1", "2001:db8::1:0:0:1"},
    {"2001:db8:aaaa:bbbb:cccc:dddd:eeee:0001", "2001:db8:aaaa:bbbb:cccc:dddd:eeee:1"},
    {"2001:db8::0001", "2001:db8::1"},
    {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"}, // one zero group: no "::"
    {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"}, // the longest run
    {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"}, // the first of equal runs
    {"2001:DB8::AbCd", "2001:db8::abcd"},
    // Edges and the compressed forms of RFC 4291.
    {"::", "::"},
    {"::1", "::1"},
    {"1::", "1::"},
    {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},
    {"::2:3:4:5:6:7:8", "0:2:3:4:5:6:7:8"},
    {"0:0:0:0:0:0:0:0", "::"},
    {"fe80:0:0:0:0:0:0:0", "fe80::"},
    {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
    // Embedded IPv4: a translated address is printed in hex, a mapped one is IPv4.
    {"64:ff9b::192.0.2.1", "64:ff9b::c000:201"},
    {"::ffff:192.0.2.1", "192.0.2.1"},
    {"::FFFF:c000:0201", "192.0.2.1"},
    {"0:0:0:0:0:ffff:192.0.2.1", "192.0.2.1"},
    {"::192.0.2.1", "::c000:201"},
    {"1:2:3:4:5:6:1.2.3.4", "1:2:3:4:5:6:102:304"},
    // Refusals and their reasons.
    {"", nullptr, "empty"},
    {"fe80::1%eth0", nullptr, "zone ids are not accepted"},
    {"fe80::1%25eth0", nullptr, "zone ids"},
    {"1:2:3:4:5:6:7:8:9", nullptr, "more than 8 groups"},
    {"1::2:3:4:5:6:7:8", nullptr, "more than 8 groups"},
    {"1:2:3:4:5:6:7:1.2.3.4", nullptr, "more than 8 groups"},
    {"1:2:3:4:5:6:7", nullptr, "fewer than 8"},
    {"1::2::3", nullptr, "more than one"},
    {"::1::", nullptr, "more than one"},
    {"12345::1", nullptr, "more than 4 hex digits"},
    {"2001:db8::1:", nullptr, "empty group"},
    {":2001:db8::1", nullptr, "empty group"},
    {"2001:db8:::1", nullptr, "empty group"},
    {":::", nullptr, "empty group"},
    {"2001:db8::g", nullptr, "not an IPv4 or IPv6"},
    {"2001:db8:: 1", nullptr, "not an IPv4 or IPv6"},
    {"::256.1.1.1", nullptr, "bad embedded IPv4"},
    {"::1.2.3", nullptr, "bad embedded IPv4"},
    {"::1.2.3.4.5", nullptr, "bad embedded IPv4"},
    {"::1..3.4", nullptr, "bad embedded IPv4"},
    {"1.2.3.4::", nullptr, "must come last"},
    {"::1.2.3.4:1", nullptr, "must come last"},
    {"[2001:db8::1]", nullptr, "not an IPv4"}, // brackets only as input
    {"2001:db8:aaaa:bbbb:cccc:dddd:eeee:1111:2222:3333", nullptr, "too long"},
};

TEST(IPAddressTest, ParsesAndPrintsEveryForm)
{
    for (const CTextCase& c : kTexts) {
        const CParseResult<CIPAddress> r = ParseIPAddress(c.input);
        if (!c.canonical) {
            EXPECT_FALSE(r.IsOk()) << "'" << c.input << "' read as " << (r ? r->ToString() : "");
            EXPECT_NE(r.Reason().find(c.reason), std::string::npos)
                << "'" << c.input << "': reason '" << r.Reason() << "', expected it to say '" << c.reason << "'";
            continue;
        }
        ASSERT_TRUE(r.IsOk()) << "'" << c.input << "': " << r.Reason();
        EXPECT_EQ(r->ToString(), c.canonical) << "'" << c.input << "'";
        // The canonical text reads back to the same address.
        const CParseResult<CIPAddress> again = ParseIPAddress(r->ToString());
        ASSERT_TRUE(again.IsOk()) << c.canonical;
        EXPECT_EQ(*again, *r) << c.canonical;
    }
}

// The dotted conventions decide validity and value exactly as before.
TEST(IPAddressTest, IPv4FollowsTheDottedConventions)
{
    for (const char* s : {"1.2.3.4", "10..0.1", "010.1.0.1", "255.255.255.255", "1.2.3.256", "1.2.3.4.", "a.b.c.d",
                          "1.2.3", "  1.2.3.4", "0000000.1.1.1"}) {
        const CParseResult<CIPAddress> r = ParseIPAddress(s);
        EXPECT_EQ(r.IsOk(), IsValidDottedQuad(s)) << s;
        if (r) {
            EXPECT_TRUE(r->IsIPv4()) << s;
            EXPECT_EQ(r->IPv4(), ParseDottedQuad(s)) << s;
        }
    }
}

TEST(IPAddressTest, ReadsAddressesAsFoundInInput)
{
    const struct {
        const char* input;
        const char* canonical;
    } kCases[] = {
        {"[2001:db8::1]", "2001:db8::1"},
        {"[2001:db8::1]:443", "2001:db8::1"},
        {"  2001:DB8::1\t", "2001:db8::1"},
        {"[::ffff:192.0.2.1]:80", "192.0.2.1"},
        {"192.0.2.1", "192.0.2.1"},
        {"[2001:db8::1]:", nullptr},
        {"[2001:db8::1]:65536", nullptr},
        {"[2001:db8::1]443", nullptr},
        {"[2001:db8::1", nullptr},
        {"2001:db8::1]", nullptr},
        {"[192.0.2.1]", nullptr},
        {"[fe80::1%eth0]:22", nullptr},
        {"[]", nullptr},
    };
    for (const auto& c : kCases) {
        const CParseResult<CIPAddress> r = ParseIPAddressInInput(c.input);
        if (!c.canonical) {
            EXPECT_FALSE(r.IsOk()) << c.input;
            EXPECT_FALSE(r.Reason().empty()) << c.input;
        } else {
            ASSERT_TRUE(r.IsOk()) << c.input << ": " << r.Reason();
            EXPECT_EQ(r->ToString(), c.canonical) << c.input;
        }
    }
    EXPECT_EQ(ParseIPAddressInInput("[fe80::1%eth0]").Reason(), "zone ids are not accepted");
}

TEST(IPAddressTest, OrdersIPv4FirstThenNumerically)
{
    std::vector<CIPAddress> sorted;
    for (const char* s : {"0.0.0.0", "9.255.255.255", "10.0.0.0", "255.255.255.255", "::", "::1", "::fffe:ffff:ffff",
                          "::1:0:0:0", "::1:0:0:0:0", "1::", "2001:db8::", "2001:db8::1", "ffff::"})
        sorted.push_back(*ParseIPAddress(s));
    std::vector<CIPAddress> shuffled(sorted.rbegin(), sorted.rend());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, sorted);
    // The mapped block sits between ::1 and 2001:: numerically, but reads as IPv4.
    EXPECT_LT(*ParseIPAddress("::ffff:255.255.255.255"), *ParseIPAddress("::"));

    std::unordered_set<CIPAddress> set(sorted.begin(), sorted.end());
    EXPECT_EQ(set.size(), sorted.size());
    EXPECT_TRUE(set.count(*ParseIPAddress("::ffff:10.0.0.0")));
    EXPECT_EQ(sizeof(CIPAddress), 16u);
}

TEST(IPAddressTest, KeepsFamiliesAndBytes)
{
    const CIPAddress v4 = CIPAddress::FromIPv4(0xC0000201u);
    EXPECT_TRUE(v4.IsIPv4());
    EXPECT_EQ(v4, *ParseIPAddress("::ffff:192.0.2.1"));
    EXPECT_EQ(CIPAddress(), CIPAddress::FromIPv4(0));
    const CIPAddress v6 = *ParseIPAddress("2001:db8::102:304");
    const std::array<uint8_t, 16> bytes = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4};
    EXPECT_EQ(v6.Bytes(), bytes);
    EXPECT_EQ(CIPAddress::FromBytes(bytes), v6);
    EXPECT_TRUE(v6.IsIPv6());
    EXPECT_EQ(v6.Bits(), 128u);
}

TEST(IPRangeTest, ParsesPrefixesAndRanges)
{
    const struct {
        const char* input;
        const char* first; // nullptr: refused
        const char* last;
        int nPrefix; // -1: not one block
    } kCases[] = {
        {"2001:db8::/32", "2001:db8::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff", 32},
        {"2001:db8::1/32", "2001:db8::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff", 32},
        {"2001:db8::/128", "2001:db8::", "2001:db8::", 128},
        {"2001:db8::/64", "2001:db8::", "2001:db8::ffff:ffff:ffff:ffff", 64},
        {"2001:db8:8000::/33", "2001:db8:8000::", "2001:db8:ffff:ffff:ffff:ffff:ffff:ffff", 33},
        {"2001:db8:: - 2001:db8::ff", "2001:db8::", "2001:db8::ff", 120},
        {"2001:db8::1-2001:db8::2", "2001:db8::1", "2001:db8::2", -1},
        {"2001:db8::1 - 2001:db8::1", "2001:db8::1", "2001:db8::1", 128},
        {"::/0", "::", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", 0},
        {"192.0.2.0/24", "192.0.2.0", "192.0.2.255", 24},
        {"192.0.2.0 - 192.0.2.127", "192.0.2.0", "192.0.2.127", 25},
        {"192.0.2.1 - 192.0.2.2", "192.0.2.1", "192.0.2.2", -1},
        {"0.0.0.0/0", "0.0.0.0", "255.255.255.255", 0},
        {"2001:db8::/129", nullptr, nullptr, 0},
        {"192.0.2.0/33", nullptr, nullptr, 0},
        {"2001:db8::/", nullptr, nullptr, 0},
        {"2001:db8::/1000", nullptr, nullptr, 0},
        {"2001:db8::2 - 2001:db8::1", nullptr, nullptr, 0},
        {"192.0.2.0 - 2001:db8::1", nullptr, nullptr, 0},
        {"2001:db8::", nullptr, nullptr, 0},
        {"fe80::%eth0/64", nullptr, nullptr, 0},
    };
    for (const auto& c : kCases) {
        const CParseResult<CIPRange> r = ParseIPRange(c.input);
        if (!c.first) {
            EXPECT_FALSE(r.IsOk()) << c.input;
            EXPECT_FALSE(r.Reason().empty()) << c.input;
            continue;
        }
        ASSERT_TRUE(r.IsOk()) << c.input << ": " << r.Reason();
        EXPECT_EQ(r->First().ToString(), c.first) << c.input;
        EXPECT_EQ(r->Last().ToString(), c.last) << c.input;
        EXPECT_EQ(r->PrefixLength(), c.nPrefix < 0 ? std::nullopt : std::optional<unsigned>(unsigned(c.nPrefix)))
            << c.input;
        EXPECT_EQ(r->IsWholeSpace(), c.nPrefix == 0) << c.input;
    }
    EXPECT_EQ(ParseIPRange("2001:db8::/129").Reason(), "a prefix length above 128");
    EXPECT_EQ(ParseIPRange("2001:db8::2 - 2001:db8::1").Reason(), "the first address lies above the last");
}

TEST(IPRangeTest, ContainsAndOrdersBySize)
{
    const CIPRange r32 = *ParseIPRange("2001:db8::/32");
    const CIPRange r48 = *ParseIPRange("2001:db8:1::/48");
    const CIPRange v4 = *ParseIPRange("0.0.0.0/0");
    EXPECT_TRUE(r32.Contains(*ParseIPAddress("2001:db8:ffff::1")));
    EXPECT_FALSE(r32.Contains(*ParseIPAddress("2001:db9::")));
    EXPECT_FALSE(r32.Contains(*ParseIPAddress("192.0.2.1")));
    EXPECT_FALSE(v4.Contains(*ParseIPAddress("::1")));
    EXPECT_TRUE(v4.Contains(*ParseIPAddress("::ffff:1.2.3.4")));
    EXPECT_TRUE(r32.Contains(r48));
    EXPECT_FALSE(r48.Contains(r32));
    EXPECT_LT(r48.Span(), r32.Span());
    EXPECT_EQ(r32.Span(), std::make_pair(uint64_t(0xffffffff), ~uint64_t(0)));
    EXPECT_EQ(v4.Span(), std::make_pair(uint64_t(0), uint64_t(0xffffffff)));
    EXPECT_EQ(r48.ToString(), "2001:db8:1::/48");
    EXPECT_EQ(ParseIPRange("2001:db8::1-2001:db8::2")->ToString(), "2001:db8::1 - 2001:db8::2");
}

} // namespace
