#include "core/record/WhoisFields.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPAddressData.h"

#include <gtest/gtest.h>

namespace {

struct Extracted {
    std::string owner, country, range;
    bool ok;
};

Extracted Extract(const std::string& whois, const char* address = "192.0.2.1")
{
    CIPAddressData rec(address);
    rec.SetRawWhois(whois);
    return {rec.GetOwner(), rec.GetCountry(), rec.GetRangeText(), true};
}

std::string RangeOf(const std::string& text)
{
    CIPAddressData rec("1.1.1.1");
    rec.SetRange(7, 9);
    rec.ParseNetRange(text);
    return rec.GetRangeText();
}

} // namespace

TEST(WhoisFields, ExtractWhoisField)
{
    EXPECT_EQ(ExtractWhoisField("a\r\nOrgName:   Example Org \t\r\n", "OrgName:"), "Example Org");
    EXPECT_EQ(ExtractWhoisField("xxOrgName:v\n", "OrgName:"), "v"); // anywhere in a line
    EXPECT_EQ(ExtractWhoisField("orgname: v\n", "OrgName:"), ""); // case-sensitive
    EXPECT_EQ(ExtractWhoisField("OrgName: last line", "OrgName:"), ""); // no line end after it
    EXPECT_EQ(ExtractWhoisField("OrgName: cr only\rnext", "OrgName:"), "cr only");
    EXPECT_EQ(ExtractWhoisField("OrgName:\r\nnext: x\r\n", "OrgName:"), "");
    EXPECT_EQ(ExtractWhoisField("", "OrgName:"), "");
}

TEST(WhoisFields, OwnerCountryByLabelPriority)
{
    Extracted e = Extract("OrgName: Example Org\r\nCountry: US\r\n");
    EXPECT_EQ(e.owner, "Example Org");
    EXPECT_EQ(e.country, "US");
    EXPECT_EQ(Extract("OrgName: Org\r\nCustName: Cust\r\n").owner, "Cust");
    EXPECT_EQ(Extract("descr: first\ndescr: second\n").owner, "first");
    EXPECT_EQ(Extract("network:Org-Name:Rw Org\nnetwork:Country-Code:BR\n").country, "BR");
    EXPECT_EQ(Extract("country: de\n").country, "de");
    // Country as the very last thing without a line end.
    EXPECT_EQ(Extract("OrgName: X\r\nCountry: US").country, "");
    // An empty value under a higher label falls through to the next label.
    EXPECT_EQ(Extract("CustName:\r\nOrgName: Second\r\n").owner, "Second");
}

TEST(WhoisFields, EmptyTextChangesNothingAndOtherTextClears)
{
    CIPAddressData rec("192.0.2.1");
    rec.SetRawWhois("OrgName: Keep\nCountry: NL\nNetRange: 192.0.2.0 - 192.0.2.255\n");
    EXPECT_FALSE([&] {
        CIPAddressData r;
        return r.ExtractWhoisFields();
    }());
    rec.SetRawWhois("");
    EXPECT_EQ(rec.GetOwner(), "Keep");
    EXPECT_EQ(rec.GetCountry(), "NL");
    rec.SetRawWhois("nothing useful\n");
    EXPECT_EQ(rec.GetOwner(), "");
    EXPECT_EQ(rec.GetCountry(), "");
    // The range is left as it was when no range label is found.
    EXPECT_EQ(rec.GetRangeText(), "192.0.2.0 - 192.0.2.255");
}

TEST(WhoisFields, LineEndsAndLongLines)
{
    EXPECT_EQ(Extract("OrgName: A\rCountry: FR\r").country, "FR");
    EXPECT_EQ(Extract("OrgName: A\nCountry: FR\n").owner, "A");
    const std::string longValue(200000, 'x');
    EXPECT_EQ(Extract("OrgName: " + longValue + "\n").owner, longValue);
    EXPECT_EQ(Extract("OrgName: " + longValue).owner, "");
}

TEST(WhoisFields, NetRangeForms)
{
    EXPECT_EQ(RangeOf("192.0.2.0 - 192.0.2.255"), "192.0.2.0 - 192.0.2.255");
    EXPECT_EQ(RangeOf("200.0.0/16"), "200.0.0.0 - 200.0.255.255");
    EXPECT_EQ(RangeOf("10.0/16"), "10.0.0.0 - 10.0.255.255");
    EXPECT_EQ(RangeOf("192.0.2.0/24"), "192.0.2.0 - 192.0.2.255");
    EXPECT_EQ(RangeOf("10.1.2.3/24"), "10.1.2.3 - 10.1.3.2"); // no masking
    EXPECT_EQ(RangeOf(" :- 192.0.2.0/31 -: "), "192.0.2.0 - 192.0.2.1");
    // Left unchanged (7 - 9 stays):
    const std::string unchanged = FormatDottedQuad(7) + " - " + FormatDottedQuad(9);
    for (const char* s :
         {"192.0.2.0/32", "192.0.2.0/0", "10/8", "192.0.2.0/255.255.255.0", "1.2.3.4 - x", "", "-", "192.0.2.0/-1"})
        EXPECT_EQ(RangeOf(s), unchanged) << s;
}

TEST(WhoisFields, PrefixesThatOverflowLeaveTheRangeUnchanged)
{
    // Wrapped into 32 bits these would read as /24, /1 or /31.
    const std::string unchanged = FormatDottedQuad(7) + " - " + FormatDottedQuad(9);
    for (const char* s : {"192.0.2.0/4294967320", "192.0.2.0/4294967297", "192.0.2.0/8589934623",
                          "192.0.2.0/99999999999999999999999", "192.0.2.0/x24", "192.0.2.0/"})
        EXPECT_EQ(RangeOf(s), unchanged) << s;
    EXPECT_EQ(RangeOf("192.0.2.0/0024"), "192.0.2.0 - 192.0.2.255");
}

TEST(WhoisFields, RangeLabelsFromTheFirstBlock)
{
    const std::string text = "NetRange: 198.51.100.0 - 198.51.100.255\r\n\r\ninetnum: 10.0.0.0 - 10.255.255.255\r\n";
    EXPECT_EQ(Extract(text).range, "198.51.100.0 - 198.51.100.255");
    EXPECT_EQ(Extract("network:IP-Network:192.0.2.0/24\n").range, "192.0.2.0 - 192.0.2.255");
    EXPECT_EQ(Extract("IPv4 Address       : 192.0.2.0 - 192.0.2.63\n").range, "192.0.2.0 - 192.0.2.63");
}
