#include "net/SystemNameResolver.h"
#include "core/record/HostLookup.h"

#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Only names the machine answers without a network: literals and the hosts file.
TEST(SystemNameResolver, ResolvesLiteralsAndLocalhost)
{
    CSystemNameResolver resolver;
    uint32_t a = 0;
    ASSERT_TRUE(resolver.ResolveName("127.0.0.2", a));
    EXPECT_EQ(a, 0x7F000002u);
    ASSERT_TRUE(resolver.ResolveName("localhost", a));
    EXPECT_EQ(a >> 24, 127u);
    EXPECT_FALSE(resolver.ResolveName("", a));
    EXPECT_FALSE(resolver.ResolveName("no-such-host.invalid", a));
    EXPECT_FALSE(resolver.ResolveName(std::string("127.0.0.1\0x", 11), a));
    EXPECT_FALSE(resolver.ResolveName(std::string(5000, 'a'), a));
}

TEST(SystemNameResolver, ReverseOfLoopbackHasAName)
{
    CSystemNameResolver resolver;
    std::string name;
    ASSERT_TRUE(ReverseLookup(resolver, "127.0.0.1", name));
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "unavailable");
    EXPECT_FALSE(ReverseLookup(resolver, "not an address", name));
    EXPECT_EQ(name, "unavailable");
}

// IPv6 literals resolve to themselves only when IPv6 is asked for; an IPv4-mapped
// answer is IPv4 and left to the IPv4 lookup.
TEST(SystemNameResolver, IPv6LiteralsOnlyWhenAskedFor)
{
    CSystemNameResolver resolver;
    CIPAddress a;
    ASSERT_TRUE(resolver.ResolveNameIPv6("2001:DB8::1", a));
    EXPECT_EQ(a.ToString(), "2001:db8::1");
    uint32_t v4 = 0;
    EXPECT_FALSE(resolver.ResolveName("2001:db8::1", v4));
    EXPECT_FALSE(resolver.ResolveNameIPv6("::ffff:192.0.2.1", a));
    EXPECT_FALSE(resolver.ResolveNameIPv6("", a));
    EXPECT_FALSE(resolver.ResolveNameIPv6(std::string("::1\0x", 5), a));
}

TEST(ReverseDnsName, NibblesLowestFirst)
{
    const std::pair<const char*, const char*> table[] = {
        {"192.0.2.1", "1.2.0.192.in-addr.arpa"},
        {"::1", "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.ip6.arpa"},
        {"2001:db8::567:89ab", "b.a.9.8.7.6.5.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.b.d.0.1.0.0.2.ip6.arpa"},
        {"::ffff:10.0.0.1", "1.0.0.10.in-addr.arpa"},
    };
    for (const auto& [address, name] : table)
        EXPECT_EQ(ReverseDnsName(*ParseIPAddress(address)), name) << address;
}

// The host-name jobs' reverse lookup for an IPv6 record: its PTR entry under
// ip6.arpa, whatever spelling the text has; malformed texts ask nobody.
TEST(ReverseLookup, IPv6AddressesByTheirIp6ArpaEntry)
{
    CFakeNameResolver resolver;
    resolver.AddHost6("mail.example.test", *ParseIPAddress("2001:db8::25"));
    resolver.AddHost("gw.example.test", 0x0A000001);
    const struct {
        const char* address;
        bool found;
        const char* name;
        int lookups;
    } cases[] = {
        {"2001:db8::25", true, "mail.example.test", 1}, {"2001:DB8:0:0:0:0:0:25", true, "mail.example.test", 1},
        {"2001:db8::26", false, "unavailable", 1},      {"::ffff:10.0.0.1", true, "gw.example.test", 1},
        {"fe80::1%eth0", false, "unavailable", 0},      {"2001:db8::25::1", false, "unavailable", 0},
        {"[2001:db8::25]", false, "unavailable", 0},
    };
    for (const auto& c : cases) {
        const int before = resolver.ReverseCalls();
        std::string name = "stale";
        EXPECT_EQ(ReverseLookup(resolver, c.address, name), c.found) << c.address;
        EXPECT_EQ(name, c.name) << c.address;
        EXPECT_EQ(resolver.ReverseCalls() - before, c.lookups) << c.address;
    }
}

TEST(SystemNameResolverThreaded, ManyThreadsAtOnce)
{
    CSystemNameResolver resolver;
    std::vector<std::thread> threads;
    std::atomic<int> failures {0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                uint32_t a = 0;
                const std::string literal = "10.0." + std::to_string(t) + "." + std::to_string(i);
                if (!resolver.ResolveName(literal, a) || a != (0x0A000000u | unsigned(t) << 8 | unsigned(i)))
                    ++failures;
                std::string name;
                if (!resolver.ResolveAddress(0x7F000001u, name) || name.empty())
                    ++failures;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures, 0);
}
