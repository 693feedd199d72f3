// Bulk lookups on the UI thread, without the network:
//  1. queueing ADDRESSES (default 100,000) records in a seeded random order for
//     whois, as F8 with "all rows" does, with range reuse and the run's counts
//     (200 fresh known ranges answer some of them at queue time);
//  2. 200 final answers, each for one of 200 networks, arriving while 10,000
//     addresses of those networks wait: total and longest time per answer.
// Usage: bench_bulk [ADDRESSES]

#include "core/Clock.h"
#include "core/DottedQuad.h"
#include "core/IPDataArray.h"
#include "core/WhoisFacts.h"
#include "sched/LookupChoice.h"
#include "sched/LookupProgress.h"
#include "sched/RangeReuse.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <time.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

// The thread's own CPU time: the machine may be shared, and wall time then says little.
double CpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

double MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

CWhoisFacts NetworkFacts(uint32_t dwNet)
{
    CWhoisFacts facts;
    facts.m_bHasRange = true;
    facts.m_dwRangeStart = dwNet;
    facts.m_dwRangeEnd = dwNet | 0xFFu;
    facts.m_strRegistry = "RIPE";
    return facts;
}

std::string Answer(const std::string& strAddress)
{
    std::string strText = strAddress + "\r\n\r\n";
    for (int i = 0; i < 40; ++i)
        strText += "remarks:        a line of a typical registry answer, about sixty bytes\r\n";
    return strText;
}

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    CSystemClock clock;
    const COleDateTime dtNow = clock.Now();

    // 1. Queueing.
    {
        CIPDataArray data;
        std::vector<std::string> rows;
        rows.reserve(size_t(nAddresses));
        for (int i = 0; i < nAddresses; ++i)
            rows.push_back(FormatDottedQuad(0x0A000000u + uint32_t(i) * 7u));
        std::mt19937 rng(15);
        std::shuffle(rows.begin(), rows.end(), rng);
        for (const std::string& str : rows)
            data.FindOrAdd(str);
        CRangeReuse reuse;
        for (int n = 0; n < 200; ++n) {
            const std::string strSource = FormatDottedQuad(0x0A000000u + uint32_t(n) * 0x10000u);
            data.SetWhoisResult(strSource, Answer(strSource), dtNow);
            reuse.NoteKnownRange(strSource, NetworkFacts(0x0A000000u + uint32_t(n) * 0x10000u), dtNow);
        }
        CLookupProgress progress(clock);
        CLookupChoice choice;
        choice.m_eRows = CLookupChoice::rowsAll;
        const auto start = SteadyClock::now();
        const double dCpuStart = CpuMs();
        const CQueueCounts counts = QueueChosenLookups(
            data,
            [&](int, const std::string& strAddress, uint32_t nGap) {
                return data.QueueWhoisLookup(strAddress, nGap, dtNow);
            },
            rows, choice, 1440, dtNow, &reuse, &progress);
        const double dCpu = CpuMs() - dCpuStart;
        std::printf("queue %d addresses: %.1f ms wall, %.1f ms CPU (queued %d, from known ranges %d, kept %d) %s\n",
                    nAddresses, MsSince(start), dCpu, counts.m_nQueued, counts.m_nFromKnownRange, counts.m_nKept,
                    dCpu < 1000 ? "OK" : "SLOW");
    }

    // 2. Answers covering waiting neighbours.
    {
        CIPDataArray data;
        CRangeReuse reuse;
        std::vector<std::string> rows;
        for (int nHost = 1; nHost <= 50; ++nHost)
            for (int nNet = 0; nNet < 200; ++nNet)
                rows.push_back("10." + std::to_string(nNet) + ".7." + std::to_string(nHost));
        std::mt19937 rng(15);
        std::shuffle(rows.begin(), rows.end(), rng);
        for (const std::string& str : rows) {
            data.FindOrAdd(str);
            data.GetWaitingList(lookupWhois).AddUnique(str);
            reuse.NoteWaiting(str);
        }
        int nQueries = 0;
        size_t nAnswered = 0;
        double dLongest = 0;
        const auto start = SteadyClock::now();
        const double dCpuStart = CpuMs();
        while (!data.GetWaitingList(lookupWhois).IsEmpty()) {
            const std::string strAddress = data.GetWaitingList(lookupWhois).GetString(0);
            data.GetWaitingList(lookupWhois).RemoveAt(0);
            ++nQueries;
            const auto one = SteadyClock::now();
            const std::string strText = Answer(strAddress);
            data.SetWhoisResult(strAddress, strText, dtNow);
            nAnswered += reuse
                             .ApplyFinalAnswer(data, strAddress, strText,
                                               NetworkFacts(ParseDottedQuad(strAddress) & 0xFFFFFF00u), dtNow)
                             .size();
            dLongest = std::max(dLongest, MsSince(one));
        }
        std::printf("10000 waiting over 200 networks: %d queries, %zu answered from a known range, %.1f ms wall "
                    "(%.1f ms CPU) in all, longest answer %.2f ms wall\n",
                    nQueries, nAnswered, MsSince(start), CpuMs() - dCpuStart, dLongest);
    }
    return 0;
}
