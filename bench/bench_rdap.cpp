// RDAP lookups of real answers against the loopback RDAP server over HTTPS with a
// CA made for the run: LOOKUPS lookups (default 200) on 8 threads, each thread
// reusing its connection. Prints the wall time, the CPU time of the looking-up
// threads per lookup (the server's threads are not counted), and the open
// descriptors and memory before, after and after a second round.
// Usage: bench_rdap [LOOKUPS]

#include "LoopbackRdapServer.h"
#include "net/RdapBootstrap.h"
#include "net/RdapClient.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "support/ProcStats.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kThreads = 8;
const char* const kAddresses[] = {"74.125.225.229", "62.239.237.1", "210.107.73.73", "200.57.141.161",
                                  "196.11.240.215"};

double ThreadCpuSeconds()
{
    rusage ru {};
    getrusage(RUSAGE_THREAD, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB()
{
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct CRound {
    double m_dWallMs = 0;
    double m_dCpuMs = 0;
    int m_nResults = 0;
};

CRound RunRound(CRdapClient& client, int nLookups)
{
    std::atomic<int> next {0};
    std::atomic<int> results {0};
    std::vector<double> cpu(kThreads, 0.0);
    std::vector<std::thread> threads;
    const auto start = std::chrono::steady_clock::now();
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CSystemNameResolver resolver;
            const double before = ThreadCpuSeconds();
            for (int i = next++; i < nLookups; i = next++) {
                std::string result, message;
                if (client.Lookup(kAddresses[i % 5], result, message, resolver) == ERdapOutcome::result)
                    ++results;
                else
                    std::fprintf(stderr, "lookup %d: %s\n", i, message.c_str());
            }
            cpu[size_t(t)] = ThreadCpuSeconds() - before;
        });
    for (auto& t : threads)
        t.join();
    CRound r;
    r.m_dWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (double c : cpu)
        r.m_dCpuMs += c * 1000.0;
    r.m_nResults = results.load();
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    const int nLookups = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("bench-rdap-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    std::string cert, key;
    if (!CLoopbackRdapServer::MakeCertificate(dir, cert, key)) {
        std::fprintf(stderr, "bench_rdap: openssl could not make a certificate\n");
        return 1;
    }
    CLoopbackRdapServer server;
    if (!server.LoadAnswers(std::string(ADDRSCOPE_SOURCE_DIR) + "/tests/data/rdap") || !server.Start(cert, key)) {
        std::fprintf(stderr, "bench_rdap: cannot start the loopback RDAP server\n");
        return 1;
    }
    CRdapBootstrap bootstrap;
    std::string error;
    bootstrap.Parse(R"({"services": [[["0.0.0.0/0"], [")" + server.BaseUrl("ok") + "\"]]]}", error);
    CRdapClient client(std::move(bootstrap), CWhoisServerTable(), cert);

    const int fdBefore = OpenDescriptors();
    const long rssBefore = ResidentKiB();
    const CRound first = RunRound(client, nLookups);
    const int fdAfter = OpenDescriptors();
    const long rssAfter = ResidentKiB();
    const CRound second = RunRound(client, nLookups);
    const int fdAfter2 = OpenDescriptors();
    const long rssAfter2 = ResidentKiB();

    std::printf("RDAP over HTTPS, %d lookups on %d threads, connection reused per thread\n", nLookups, kThreads);
    for (const CRound* r : {&first, &second})
        std::printf("  round %d: %d results, wall %.1f ms (%.2f ms per lookup), client CPU %.3f ms per lookup\n",
                    r == &first ? 1 : 2, r->m_nResults, r->m_dWallMs, r->m_dWallMs / nLookups, r->m_dCpuMs / nLookups);
    std::printf("  descriptors: before %d, after %d, after a second round %d\n", fdBefore, fdAfter, fdAfter2);
    std::printf("  resident memory: before %ld KiB, after %ld KiB, after a second round %ld KiB\n", rssBefore, rssAfter,
                rssAfter2);
    server.Stop();
    std::filesystem::remove_all(dir);
    return first.m_nResults == nLookups && second.m_nResults == nLookups ? 0 : 1;
}
