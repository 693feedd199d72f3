#include "net/IcmpStatus.h"
#include "net/LinuxIcmpService.h"
#include "net/PingCheck.h"
#include "net/PingEngine.h"

#include "PrivateLoopback.h"
#include "support/FakeNameResolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Several engines on several threads ping loopback addresses at once; each must
// see the replies to its own requests only.

namespace {

using Kind = CLinuxIcmpService::ESocketKind;

constexpr int kThreads = 6;
constexpr int kRequests = 25;

struct CThreadTally {
    int m_nAnswered = 0;
    int m_nForeign = 0; // replies from an address this thread never pinged
    std::string m_strLastMessage;
};

void PingFromThreads(Kind kind)
{
    CFakeNameResolver resolver;
    CLinuxIcmpService service(kind);
    std::string why;
    if (!service.Open(why))
        GTEST_SKIP() << "ICMP sockets of this kind are not permitted here: " << why;

    std::vector<CThreadTally> tallies(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&service, &resolver, &tally = tallies[size_t(t)], t] {
            const std::string target = "127.0.0." + std::to_string(10 + t);
            CPingEngine engine(&service, resolver);
            engine.SetTargetName(target);
            engine.SetDataSize(16 + t);
            if (!engine.Open(false)) {
                tally.m_strLastMessage = engine.GetMessage();
                return;
            }
            const std::string expectedPrefix = "64  " + target + "  -  ";
            for (int i = 0; i < kRequests; ++i) {
                if (!engine.SendEcho()) {
                    tally.m_strLastMessage = engine.GetMessage();
                    continue;
                }
                if (engine.GetMessage().compare(0, expectedPrefix.size(), expectedPrefix) == 0)
                    ++tally.m_nAnswered;
                else
                    ++tally.m_nForeign;
                tally.m_strLastMessage = engine.GetMessage();
            }
        });
    }
    for (auto& th : threads)
        th.join();

    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(tallies[size_t(t)].m_nForeign, 0) << "thread " << t << ": " << tallies[size_t(t)].m_strLastMessage;
        EXPECT_EQ(tallies[size_t(t)].m_nAnswered, kRequests)
            << "thread " << t << ": " << tallies[size_t(t)].m_strLastMessage;
    }
}

void PingChecksFromThreads(Kind kind)
{
    CFakeNameResolver resolver;
    CLinuxIcmpService service(kind);
    std::string why;
    if (!service.Open(why))
        GTEST_SKIP() << "ICMP sockets of this kind are not permitted here: " << why;

    std::vector<CPingCheckResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t] { results[size_t(t)] = PingCheck(&service, resolver, "127.0.1." + std::to_string(t + 1)); });
    for (auto& th : threads)
        th.join();
    for (const auto& r : results) {
        EXPECT_TRUE(r.m_bOpened) << r.m_strOpenMessage;
        EXPECT_EQ(r.m_nFailures, 0);
        EXPECT_TRUE(r.m_bSuccess);
    }
}

class IcmpConcurrentThreaded : public ::testing::TestWithParam<Kind>
{
protected:
    static void InPrivateLoopback(const std::function<void()>& body)
    {
        std::string why;
        if (!RunInPrivateLoopback(body, why))
            body();
    }
};

TEST_P(IcmpConcurrentThreaded, EachEngineSeesOnlyItsOwnReplies)
{
    InPrivateLoopback([this] { PingFromThreads(GetParam()); });
}

TEST_P(IcmpConcurrentThreaded, PingChecksRunSideBySide)
{
    InPrivateLoopback([this] { PingChecksFromThreads(GetParam()); });
}

INSTANTIATE_TEST_SUITE_P(SocketKinds, IcmpConcurrentThreaded, ::testing::Values(Kind::Raw, Kind::Datagram),
                         [](const auto& info) { return std::string(info.param == Kind::Raw ? "raw" : "ping"); });

} // namespace
