#include "net/SystemNameResolver.h"
#include "core/record/HostLookup.h"

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
