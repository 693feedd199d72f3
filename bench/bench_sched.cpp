// The lookup scheduler end to end against loopback whois servers with real answers:
//  1. ADDRESSES (default 1,000) whois lookups with interval 0, limit 8 and a 50 ms
//     tick, driven like the command line drives them: total time, and the time the
//     driving (UI) thread spends in ticks and merges, i.e. outside the network wait;
//  2. JOBS (default 10,000) more jobs on 100 records with back-to-back ticks: threads,
//     resident memory and open descriptors before and after.
// Usage: bench_sched [ADDRESSES] [JOBS]

#include "LoopbackWhoisServer.h"
#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/LookupJob.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "sched/LookupSession.h"
#include "support/ProcStats.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A value of /proc/self/status, such as "Threads" or "VmRSS" (kB).
long StatusValue(const char* name)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(name) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::atol(line.c_str() + key.size());
    return -1;
}

double ThreadCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct CRun {
    double m_dWallSeconds = 0;
    double m_dBusySeconds = 0; // in ticks and merges, by the wall clock
    double m_dUiCpuSeconds = 0; // CPU time of the driving thread
    int m_nMerged = 0;
    int m_nStored = 0;
};

// Ticks every nTickMs (0: again as soon as the completions are merged) until
// nothing waits or runs.
CRun Drive(CNetloreDoc& doc, CLookupSession& session, int nTickMs)
{
    CRun run;
    const auto start = SteadyClock::now();
    const double dCpuStart = ThreadCpuSeconds();
    const auto busyStart = session.GetBusyTime();
    session.SetTickInterval(std::chrono::milliseconds(nTickMs));
    while (doc.HasPendingLookups()) {
        session.TickIfDue(doc);
        const auto deadline = nTickMs > 0 ? session.NextTick() : SteadyClock::now() + 1ms;
        session.MergeArrived(&doc, deadline, [&](const CLookupOutcome& o) {
            ++run.m_nMerged;
            run.m_nStored += o.m_bStored ? 1 : 0;
        });
    }
    run.m_dWallSeconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    run.m_dBusySeconds = std::chrono::duration<double>(session.GetBusyTime() - busyStart).count();
    run.m_dUiCpuSeconds = ThreadCpuSeconds() - dCpuStart;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int nJobs = argc > 2 ? std::atoi(argv[2]) : 10000;
    const std::string data = std::string(ADDRSCOPE_SOURCE_DIR) + "/tests/data/whois/";

    // The servers run in a child process, so that their threads, sockets and query
    // logs do not count in this process's figures.
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        // Ends with the benchmark, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        CLoopbackWhoisServer server;
        for (const char* h : kHosts)
            server.AddAddress(h);
        int nPort = 0;
        if (server.Start()) {
            server.SetDefaultAnswer(kHosts[0], ReadFile(data + "arin/weppos-referral-ripe-port43-130.66.76.222.txt"));
            server.SetDefaultAnswer(kHosts[1], ReadFile(data + "ripe/weppos-bouygtel-128.79.0.0.txt"));
            nPort = server.Port();
        }
        if (write(fds[1], &nPort, sizeof nPort) != sizeof nPort || nPort == 0)
            _exit(1);
        for (;;)
            pause();
    }
    close(fds[1]);
    int nPort = 0;
    if (child < 0 || read(fds[0], &nPort, sizeof nPort) != sizeof nPort || nPort == 0) {
        std::fprintf(stderr, "cannot start the loopback whois servers\n");
        return 1;
    }
    struct CChildKiller {
        pid_t m_pid;
        ~CChildKiller()
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    } killer {child};

    CWhoisServerTable table;
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        table.SetHost(EWhoisRole(i), kHosts[i]);
    table.m_nWhoisPort = table.m_nRWhoisPort = nPort;
    CSystemNameResolver resolver;
    CSystemClock clock;
    CLookupSession session(resolver, nullptr, clock);
    session.SetServers(table);
    CConnSettings settings;
    settings.m_nWhoisInterval = 0;
    settings.m_nWhoisLimit = 8;
    session.SetSettings(settings);

    // 1. The command line's loop with a 50 ms tick.
    {
        CNetloreDoc doc;
        for (int i = 0; i < nAddresses; ++i)
            doc.QueueWhoisLookup("130.66." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1), 0);
        const CRun run = Drive(doc, session, 50);
        std::printf("%d whois lookups, interval 0, limit 8, 50 ms tick: %.2f s total (%.1f ms per address)\n",
                    run.m_nMerged, run.m_dWallSeconds, run.m_dWallSeconds * 1000 / std::max(1, run.m_nMerged));
        std::printf("  driving thread in ticks and merges: %.3f s wall (%.2f%% of the total), %.3f s CPU "
                    "(%.2f%%); the rest is waiting for the next tick or the network\n",
                    run.m_dBusySeconds, 100 * run.m_dBusySeconds / run.m_dWallSeconds, run.m_dUiCpuSeconds,
                    100 * run.m_dUiCpuSeconds / run.m_dWallSeconds);
        if (run.m_nStored != nAddresses) {
            std::fprintf(stderr, "only %d of %d results stored\n", run.m_nStored, nAddresses);
            return 1;
        }
    }

    // 2. Growth over many jobs: the same 100 records asked again and again.
    {
        CNetloreDoc doc;
        auto queueAll = [&] {
            for (int i = 0; i < 100; ++i)
                doc.QueueWhoisLookup("130.66.76." + std::to_string(i + 1), 0);
        };
        queueAll();
        Drive(doc, session, 0);
        std::this_thread::sleep_for(200ms);
        const long nThreads0 = StatusValue("Threads"), nRss0 = StatusValue("VmRSS");
        const int nFds0 = OpenDescriptors();
        const int nJobs0 = CLookupJob::LiveCount();
        const auto start = SteadyClock::now();
        int nDone = 0;
        while (nDone < nJobs) {
            queueAll();
            nDone += Drive(doc, session, 0).m_nMerged;
        }
        const double dSeconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        std::this_thread::sleep_for(200ms);
        session.RunningWorkers();
        std::printf("%d more jobs in %.2f s (%.0f jobs/s)\n", nDone, dSeconds, nDone / dSeconds);
        std::printf("  threads %ld -> %ld, VmRSS %ld -> %ld kB, open descriptors %d -> %d, live jobs %d -> %d\n",
                    nThreads0, StatusValue("Threads"), nRss0, StatusValue("VmRSS"), nFds0, OpenDescriptors(), nJobs0,
                    CLookupJob::LiveCount());
    }
    return 0;
}
