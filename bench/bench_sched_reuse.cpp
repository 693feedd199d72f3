// Queries per distinct network: a document of ADDRESSES (default 10,000) addresses
// spread over NETWORKS (default 200) /24 networks, each network's answer a real
// RIPE answer re-addressed to it, looked up through the lookup session against
// loopback whois servers (ARIN refers every address to RIPE) with interval 0,
// limit 8 and a 5 ms tick, in a seeded random order. Counts the queries the
// servers received with range reuse, and without it on a tenth of the addresses
// (a chain per address). Also the longest time the driving (UI) thread spent in
// one tick or one merged completion, reuse included. Then the same addresses in
// two new documents that share an answer cache: the first fills it, the second
// should ask no server at all. With "ipv6" the addresses are IPv6 ones in /48
// networks, each answered by a real RIPE inet6num answer moved to it.
// Usage: bench_sched_reuse [ADDRESSES] [NETWORKS] [ipv6]

#include "LoopbackWhoisServer.h"
#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"
#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/IPAddress.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "sched/LookupRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const auto& kHosts = CLoopbackWhoisServer::kRegistryHosts;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

struct CResult {
    int m_nLookups = 0;
    int m_nReused = 0;
    int m_nQueries = 0;
    double m_dSeconds = 0;
    double m_dLongestMs = 0;
};

// Counts what the run reports and times the driving thread's work on each report.
class CBenchListener : public CLookupRunListener
{
public:
    void OnAddressFinished(const CRunFinished& finished) override
    {
        if (finished.m_strReusedFrom.empty()) {
            if (finished.m_status == ERunStatus::ok)
                ++m_result.m_nLookups;
        } else {
            ++m_result.m_nReused;
        }
    }
    CResult m_result;
};

CResult Run(const std::vector<std::string>& addresses, bool bReuse, CLoopbackWhoisServer& server,
            const CWhoisServerTable& table, CAnswerCache* pCache = nullptr)
{
    const int nQueriesBefore = server.Connections(kHosts[0]) + server.Connections(kHosts[1]);
    CSystemNameResolver resolver;
    CSystemClock clock;
    CNetloreDoc doc;
    CLookupRun run(doc, resolver, nullptr, clock);
    CLookupSession& session = run.Session();
    session.SetServers(table);
    CConnSettings settings;
    settings.m_nWhoisInterval = 0;
    settings.m_nWhoisLimit = 8;
    session.SetSettings(settings);
    session.SetTickInterval(5ms);
    CBenchListener listener;
    run.SetListener(&listener);
    run.SetReuseKnownRanges(bReuse);
    run.SetAnswerCache(pCache);

    for (const std::string& a : addresses)
        doc.AddIP(a);
    CLookupChoice choice;
    choice.m_bSkipFresh = false;
    run.Queue(addresses, choice);
    CResult& result = listener.m_result;
    auto longest = [&](SteadyClock::time_point start) {
        result.m_dLongestMs = std::max(result.m_dLongestMs,
                                       std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    };
    const auto start = SteadyClock::now();
    while (doc.HasPendingLookups()) {
        const auto tickStart = SteadyClock::now();
        run.TickIfDue();
        longest(tickStart);
        // One completion at a time, so that each merge (reuse included) is timed alone.
        const auto deadline = session.NextTick();
        while (SteadyClock::now() < deadline) {
            const auto mergeStart = SteadyClock::now();
            if (run.MergeArrived(deadline, 1) == 0)
                break;
            longest(mergeStart);
        }
    }
    run.Finish();
    run.FlushCache();
    result.m_dSeconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    result.m_nQueries = server.Connections(kHosts[0]) + server.Connections(kHosts[1]) - nQueriesBefore;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int nNetworks = argc > 2 ? std::max(1, std::min(250, std::atoi(argv[2]))) : 200;
    const bool bIPv6 = argc > 3 && std::string(argv[3]) == "ipv6";
    const std::string data = std::string(ADDRSCOPE_SOURCE_DIR) + "/tests/data/";
    // For IPv6, ARIN's referral of 2001:600::/23 to RIPE in ARIN's layout (no such
    // IPv6 answer was recorded) and Southampton's /48 from RIPE.
    const std::string strArin =
        bIPv6 ? std::string("NetRange:       2001:600:: - 2001:7FF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF\n"
                            "CIDR:           2001:600::/23\nNetName:        RIPE-IPV6-2001-600\n"
                            "NetType:        Allocated to RIPE NCC\nReferralServer:  whois://whois.ripe.net\n")
              : ReadFile(data + "whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt");
    const std::string strRipe =
        ReadFile(data + (bIPv6 ? "whois6/ripe/phpwhois-soton-org-route6-2001-630-d0-f111-203-93ff-fed1-f454.txt"
                               : "whois/ripe/weppos-bouygtel-128.79.0.0.txt"));
    if (strArin.empty() || strRipe.empty()) {
        std::fprintf(stderr, "the whois fixtures are missing\n");
        return 1;
    }

    CLoopbackWhoisServer server;
    for (const char* h : kHosts)
        server.AddAddress(h);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start the loopback whois servers\n");
        return 1;
    }
    server.SetDefaultAnswer(kHosts[0], strArin);
    // Network n is 128.n.7.0/24; its answer is the RIPE answer with its range moved there.
    std::vector<std::string> addresses;
    for (int i = 0; i < nAddresses; ++i) {
        const int nNet = i % nNetworks;
        std::string strAddress;
        std::string strAnswer = strRipe;
        if (bIPv6) {
            // Network n is 2001:630:n::/48 (n in hex); its addresses spread over its subnets.
            char net[32];
            char address[64];
            std::snprintf(net, sizeof net, "2001:630:%x::", nNet + 1);
            std::snprintf(address, sizeof address, "2001:630:%x:%x::%x", nNet + 1, (i / nNetworks) * 977 % 65536,
                          i / nNetworks + 1);
            // Records and queries carry the RFC 5952 text.
            strAddress = ParseIPAddress(address)->ToString();
            ReplaceAll(strAnswer, "2001:630:d0::", net);
        } else {
            strAddress = "128." + std::to_string(nNet) + ".7." + std::to_string(i / nNetworks % 254 + 1);
            ReplaceAll(strAnswer, "128.79.0.0 - 128.79.63.0",
                       "128." + std::to_string(nNet) + ".7.0 - 128." + std::to_string(nNet) + ".7.255");
        }
        server.SetAnswer(kHosts[1], strAddress, strAnswer);
        addresses.push_back(strAddress);
    }
    std::mt19937 rng(15);
    std::shuffle(addresses.begin(), addresses.end(), rng);

    CWhoisServerTable table;
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        table.SetHost(EWhoisRole(i), kHosts[i]);
    table.m_nWhoisPort = table.m_nRWhoisPort = server.Port();

    const CResult with = Run(addresses, true, server, table);
    // Every chain is an ARIN referral and a RIPE answer: the referral hop is the half.
    std::printf("with reuse (%s): %d addresses over %d networks: %d lookups, %d answered from a known range, %d server "
                "queries (%.2f per network, %.2f without the referral hop), %.1f s; longest tick or merge %.2f ms\n",
                bIPv6 ? "IPv6 /48s" : "IPv4 /24s", nAddresses, nNetworks, with.m_nLookups, with.m_nReused,
                with.m_nQueries, double(with.m_nQueries) / nNetworks, double(with.m_nQueries) / 2 / nNetworks,
                with.m_dSeconds, with.m_dLongestMs);
    const std::vector<std::string> tenth(addresses.begin(), addresses.begin() + std::max(1, nAddresses / 10));
    const CResult without = Run(tenth, false, server, table);
    std::printf("without reuse: %zu addresses: %d lookups, %d server queries (%.2f per address, about %.0f for all "
                "%d), %.1f s\n",
                tenth.size(), without.m_nLookups, without.m_nQueries, double(without.m_nQueries) / tenth.size(),
                double(without.m_nQueries) / tenth.size() * nAddresses, nAddresses, without.m_dSeconds);

    std::string strCacheDir = (std::filesystem::temp_directory_path() / "bench-cache-XXXXXX").string();
    if (!mkdtemp(strCacheDir.data()))
        return 1;
    CCacheDatabase db;
    if (!db.Open(strCacheDir + "/answers.sqlite", int64_t(std::time(nullptr))).m_bOpen)
        return 1;
    CAnswerCache cache(db, CAnswerCacheLimits());
    const CResult first = Run(addresses, true, server, table, &cache);
    const CResult second = Run(addresses, true, server, table, &cache);
    std::printf("shared answer cache: first document %d server queries, second document with the same %d "
                "addresses %d server queries (%d answered from the cache), %.1f s\n",
                first.m_nQueries, nAddresses, second.m_nQueries, second.m_nReused, second.m_dSeconds);
    db.Close();
    std::filesystem::remove_all(strCacheDir);
    return with.m_nLookups + with.m_nReused == nAddresses && second.m_nQueries == 0 ? 0 : 1;
}
