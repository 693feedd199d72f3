// Delegation data speed: five files in the published shape, about the size of the
// registries' extended files (RIPE NCC 190,000 records, ARIN 150,000, APNIC 70,000,
// LACNIC 40,000, AFRINIC 8,000), read with their MD5 and record-count checks and
// imported into one cache file; then the index loaded and the registry and
// country of 1,000,000 addresses looked up.
//
//   bench_delegations [DIR=/tmp/addrscope-bench-delegations]

#include "cache/CacheDatabase.h"
#include "cache/DelegationFile.h"
#include "cache/DelegationStore.h"
#include "support/DelegationFiles.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : "/tmp/addrscope-bench-delegations";
    std::filesystem::remove_all(dir);
    struct {
        const char* registry;
        int nV4, nV6, nAsn;
        unsigned nOctet;
    } files[] = {
        {"ripencc", 90000, 60000, 40000, 2}, {"arin", 70000, 50000, 30000, 23},  {"apnic", 40000, 20000, 10000, 101},
        {"lacnic", 20000, 12000, 8000, 177}, {"afrinic", 4000, 2000, 2000, 196},
    };
    std::vector<std::string> texts, md5s;
    size_t nBytes = 0;
    for (const auto& f : files) {
        texts.push_back(GeneratedDelegationFile(f.registry, f.nV4, f.nV6, f.nAsn, f.nOctet));
        md5s.push_back(Md5Hex(texts.back()) + "  delegated-" + f.registry + "-extended-latest\n");
        nBytes += texts.back().size();
    }
    CCacheDatabase db;
    const CCacheOpenResult opened = db.Open(dir + "/answers.sqlite", 1765000000);
    if (!opened.m_bOpen) {
        std::fprintf(stderr, "%s\n", opened.m_strError.c_str());
        return 1;
    }
    CDelegationStore store(db);
    auto t = Clock::now();
    size_t nBlocks = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (!CheckDelegationMd5(texts[i], md5s[i]).empty())
            return 1;
        const CDelegationFile file = ParseDelegationFile(texts[i]);
        if (!file.IsRead() || !CheckDelegationCount(file).empty())
            return 1;
        const CCacheResult r = store.Replace(file, 1765000000);
        if (!r) {
            std::fprintf(stderr, "%s\n", r.m_strError.c_str());
            return 1;
        }
        nBlocks += file.m_blocks.size();
    }
    std::printf("five files, %.1f MB, %zu blocks: checked and imported in %.2f s (target < 10)\n",
                double(nBytes) / (1 << 20), nBlocks, Seconds(t));
    t = Clock::now();
    const CDelegationIndexResult loaded = store.LoadIndex();
    std::printf("index loaded in %.2f s (%zu blocks)\n", Seconds(t), loaded.m_index.Size());

    std::mt19937 random(7);
    std::vector<CCacheAddress> addresses;
    for (int i = 0; i < 1000000; ++i)
        addresses.push_back(CCacheAddress::FromIPv4(uint32_t(random())));
    t = Clock::now();
    size_t nFound = 0;
    for (const CCacheAddress& a : addresses) {
        const auto hit = loaded.m_index.Find(a);
        nFound += hit && !hit->m_strCountry.empty();
    }
    std::printf("registry and country of 1,000,000 addresses: %.3f s, %zu inside a block (target < 1)\n", Seconds(t),
                nFound);
    std::filesystem::remove_all(dir);
    return 0;
}
