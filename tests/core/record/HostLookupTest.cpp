#include "core/record/HostLookup.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

TEST(HostLookup, ParsesAddressLiteralsLikeInetAton)
{
    uint32_t a = 0;
    ASSERT_TRUE(ParseInetAddress("10.0.0.1", a));
    EXPECT_EQ(a, 0x0A000001u);
    ASSERT_TRUE(ParseInetAddress("255.255.255.255", a));
    EXPECT_EQ(a, 0xFFFFFFFFu);
    ASSERT_TRUE(ParseInetAddress("010.0x10.1", a)); // octal, hex, and a 16-bit last part
    EXPECT_EQ(a, 0x08100001u);
    for (const char* bad : {"", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.", "a.b.c.d", "0x", "09.1.1.1", " 1.2.3.4",
                            "1.2.3.4 ", "4294967296"})
        EXPECT_FALSE(ParseInetAddress(bad, a)) << bad;
}

TEST(HostLookup, HostNameToAddressLooksUpOnlyDottedNames)
{
    CFakeNameResolver resolver;
    resolver.AddHost("www.example.org", 0xC0000201u);
    std::string out = "untouched";

    EXPECT_FALSE(HostNameToAddress(resolver, "localhost", out));
    EXPECT_FALSE(HostNameToAddress(resolver, "", out));
    EXPECT_EQ(resolver.ForwardCalls(), 0);
    EXPECT_EQ(out, "untouched");

    EXPECT_FALSE(HostNameToAddress(resolver, "no.such.host", out));
    EXPECT_EQ(out, "untouched");

    ASSERT_TRUE(HostNameToAddress(resolver, "www.example.org", out));
    EXPECT_EQ(out, "192.0.2.1");
    // A literal that the name service does not know is still an address, written canonically.
    ASSERT_TRUE(HostNameToAddress(resolver, "010.000.000.001", out));
    EXPECT_EQ(out, "8.0.0.1");
}

TEST(HostLookup, ReverseLookupFailureSaysUnavailable)
{
    CFakeNameResolver resolver;
    resolver.AddHost("host.example.net", 0xC6336401u);
    std::string name;
    ASSERT_TRUE(ReverseLookup(resolver, "198.51.100.1", name));
    EXPECT_EQ(name, "host.example.net");
    EXPECT_FALSE(ReverseLookup(resolver, "198.51.100.2", name));
    EXPECT_EQ(name, "unavailable");
    EXPECT_FALSE(ReverseLookup(resolver, "not an address", name));
    EXPECT_EQ(name, "unavailable");
}
