// The IP whois lookup against loopback whois servers:
//  1. CPU time of the looking-up thread per lookup, for 50 KB answers and four
//     hand-offs plus the organisation query (the servers run on other threads and
//     are not counted);
//  2. 200 lookups on 8 threads at once: wall time, open descriptors and peak memory
//     before and after.
// Usage: bench_whois_lookup [LOOKUPS]   (default 200 for the first part)

#include "LoopbackWhoisServer.h"
#include "net/IPWhoisLookup.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "support/ProcStats.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

constexpr const auto& kHosts = CLoopbackWhoisServer::kRegistryHosts;

long PeakRssKiB()
{
    rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

double ThreadCpuSeconds()
{
    rusage ru {};
    getrusage(RUSAGE_THREAD, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// A whois-like answer of about 50 KB carrying the given marker.
std::string Answer(const std::string& marker, const std::string& tail)
{
    std::string text = "% answer of a registry\n\n";
    for (int i = 0; text.size() < 50 * 1024; ++i)
        text += "remarks:        line " + std::to_string(i) + " of a long registry answer (with a note)\n";
    return text + marker + "\n" + tail;
}

} // namespace

int main(int argc, char** argv)
{
    const int lookups = argc > 1 ? std::atoi(argv[1]) : 200;
    CLoopbackWhoisServer server;
    for (const char* h : kHosts)
        server.AddAddress(h);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    CWhoisServerTable table;
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        table.SetHost(EWhoisRole(i), kHosts[i]);
    table.m_nWhoisPort = table.m_nRWhoisPort = server.Port();
    table.m_nIdleTimeoutMs = 5000;

    // ARIN -> APNIC -> RIPE -> LACNIC, whose answer names an organisation.
    server.SetDefaultAnswer("127.0.0.2", Answer("NetName:    APNIC-ERX", ""));
    server.SetDefaultAnswer("127.0.0.4", Answer("NetName:    RIPE-ERX", ""));
    server.SetDefaultAnswer("127.0.0.3", Answer("NetName:    LACNIC-ERX", ""));
    server.SetDefaultAnswer("127.0.0.5", Answer("owner: Example", "OrgID:   EX-1\ncountry: BR\n"));
    server.SetAnswer("127.0.0.5", "! o + EX-1", "OrgName: Example\nAddress: 1 Main St\nCity: Springfield\n\n");

    CSystemNameResolver resolver;
    std::string result;
    IPWhoisLookup("192.0.2.1", result, table, resolver); // warm-up
    const size_t size = result.size();

    const double cpu0 = ThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (int i = 0; i < lookups; ++i) {
        std::string r;
        IPWhoisLookup("192.0.2." + std::to_string(i % 250), r, table, resolver);
        if (r.empty()) {
            std::fprintf(stderr, "lookup %d gave nothing\n", i);
            return 1;
        }
    }
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    std::printf("sequential: %d lookups, 5 connections and ~200 KB each, result %zu bytes\n", lookups, size);
    std::printf("  CPU of the looking-up thread: %.3f ms per lookup (user+sys)\n", cpu * 1000 / lookups);
    std::printf("  wall time:                    %.3f ms per lookup\n", wall * 1000 / lookups);

    for (int i = 0; i < 200 && server.ActiveConnections() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int fdBefore = OpenDescriptors();
    const long rssBefore = PeakRssKiB();
    std::atomic<int> next {0}, ok {0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i; (i = next++) < 200;) {
                std::string r;
                IPWhoisLookup("198.51.100." + std::to_string(i), r, table, resolver);
                if (!r.empty())
                    ++ok;
            }
        });
    for (auto& th : threads)
        th.join();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int i = 0; i < 200 && server.ActiveConnections() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("concurrent: 200 lookups on 8 threads, %d complete, %.3f s\n", ok.load(), took);
    std::printf("  open descriptors before %d, after %d\n", fdBefore, OpenDescriptors());
    std::printf("  peak RSS before %ld KiB, after %ld KiB\n", rssBefore, PeakRssKiB());
    server.Stop();
    return ok == 200 ? 0 : 1;
}
