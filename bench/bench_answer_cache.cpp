// Answer cache look-up speed: fills a cache file with NETWORKS networks (default
// 1,000,000: /24s, with a /16 over every 64 of them, 200-byte answers) and times
// look-ups one by one: addresses inside their /24 (the usual case), addresses past
// the /24s of a /16 (found through the search by size class) and misses.
//
//   bench_answer_cache [NETWORKS=1000000] [DIR=/tmp/addrscope-bench-cache]

#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The /24 number i: spread over 1.0.0.0 - 223.255.255.255 in /16 groups of 64.
uint32_t Net24(uint32_t i)
{
    const uint32_t group = i / 64;
    return ((1u << 24) + group * 65536u) + (i % 64) * 256u;
}

CAnswerCachePut Put(uint32_t first, uint32_t last, const std::string& answer, int64_t nNow)
{
    CAnswerCachePut p;
    p.m_asked = CCacheAddress::FromIPv4(first);
    p.m_first = CCacheAddress::FromIPv4(first);
    p.m_last = CCacheAddress::FromIPv4(last);
    p.m_strSource = "whois";
    p.m_strServer = "whois.ripe.net";
    p.m_strAnswer = answer;
    p.m_nFetched = nNow;
    return p;
}

double MedianMicros(CAnswerCache& cache, const std::vector<uint32_t>& addresses, int64_t nNow, bool bExpectFound)
{
    std::vector<double> times;
    times.reserve(addresses.size());
    size_t nWrong = 0;
    for (uint32_t a : addresses) {
        const auto t = Clock::now();
        const CCacheLookup r = cache.Lookup(CCacheAddress::FromIPv4(a), nNow);
        times.push_back(Seconds(t) * 1e6);
        nWrong += r.m_bFound != bExpectFound;
    }
    if (nWrong)
        std::printf("  (%zu look-ups not as expected)\n", nWrong);
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const uint32_t nNetworks = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string dir = argc > 2 ? argv[2] : "/tmp/addrscope-bench-cache";
    std::filesystem::remove_all(dir);
    const int64_t nNow = 1765000000;

    CCacheDatabase db;
    const CCacheOpenResult opened = db.Open(dir + "/answers.sqlite", nNow);
    if (!opened.m_bOpen) {
        std::fprintf(stderr, "%s\n", opened.m_strError.c_str());
        return 1;
    }
    CAnswerCache cache(db, {30, int64_t(4) << 30});
    const std::string answer(200, 'x');
    auto t = Clock::now();
    std::vector<CAnswerCachePut> batch;
    size_t nStored = 0;
    for (uint32_t i = 0; i < nNetworks; ++i) {
        const uint32_t net = Net24(i);
        batch.push_back(Put(net, net + 255, answer, nNow));
        if (i % 64 == 0)
            batch.push_back(Put(net & 0xffff0000u, (net & 0xffff0000u) + 0xffff, answer, nNow));
        if (batch.size() >= 10000 || i + 1 == nNetworks) {
            size_t n = 0;
            const CCachePutResult r = cache.PutAll(batch, nNow, &n);
            if (r.m_outcome == ECachePut::kFailed) {
                std::fprintf(stderr, "%s\n", r.m_strReason.c_str());
                return 1;
            }
            nStored += n;
            batch.clear();
        }
    }
    std::printf("filled %zu networks in %.1f s (%.1f MB file)\n", nStored, Seconds(t),
                double(std::filesystem::file_size(dir + "/answers.sqlite")) / (1 << 20));

    std::mt19937 random(42);
    std::vector<uint32_t> inside, past, misses;
    for (int i = 0; i < 100000; ++i) {
        const uint32_t n = random() % nNetworks;
        inside.push_back(Net24(n) + random() % 256);
        past.push_back((Net24(n) & 0xffff0000u) + 0x8000 + random() % 0x8000);
        misses.push_back(0xE0000000u + random() % 0x10000000u);
    }
    std::printf("median look-up, address in its /24:          %.2f us (target < 50)\n",
                MedianMicros(cache, inside, nNow, true));
    std::printf("median look-up, in a /16 past its 64 /24s:   %.2f us\n", MedianMicros(cache, past, nNow, true));
    std::printf("median look-up, no entry:                    %.2f us\n", MedianMicros(cache, misses, nNow, false));
    std::filesystem::remove_all(dir);
    return 0;
}
