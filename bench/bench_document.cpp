// The record collection and the document file at scale: address index, removal,
// save and load speed, memory per record.
//
//   bench_document [FOLDER]     (default: the system's temporary folder)

#include "core/document/NetloreDoc.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The machine is shared: CPU time is reported beside wall time, and rates are
// given for both.
struct CTimer {
    CTimer() { Restart(); }
    void Restart()
    {
        clock_gettime(CLOCK_MONOTONIC, &m_wall);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &m_cpu);
    }
    static double Since(clockid_t id, const timespec& t0)
    {
        timespec t;
        clock_gettime(id, &t);
        return double(t.tv_sec - t0.tv_sec) + double(t.tv_nsec - t0.tv_nsec) / 1e9;
    }
    double Wall() const { return Since(CLOCK_MONOTONIC, m_wall); }
    double Cpu() const { return Since(CLOCK_PROCESS_CPUTIME_ID, m_cpu); }
    timespec m_wall, m_cpu;
};

std::string Address(uint32_t n)
{
    // Distinct addresses from 10.0.0.0 up.
    return FormatDottedQuad(0x0A000000u + n);
}

// A /proc/self/status value in kB.
long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

void BenchIndex(uint32_t n)
{
    CIPDataArray data;
    std::vector<std::string> addresses;
    addresses.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        addresses.push_back(Address(i));
    CTimer t;
    for (const std::string& a : addresses)
        data.FindOrAdd(a);
    const double add = t.Wall(), addCpu = t.Cpu();
    t.Restart();
    long nFound = 0;
    for (const std::string& a : addresses)
        nFound += data.IndexOfIP(a) >= 0;
    const double find = t.Wall(), findCpu = t.Cpu();
    std::printf("FindOrAdd %7u distinct: %6.0f ns/op (cpu %6.0f)   then IndexOfIP each: %6.0f ns/op (cpu %6.0f)%s\n", n,
                add * 1e9 / n, addCpu * 1e9 / n, find * 1e9 / n, findCpu * 1e9 / n,
                nFound == long(n) ? "" : "   MISSING RECORDS");
}

void BenchRemove(uint32_t n, uint32_t every)
{
    CIPDataArray data;
    for (uint32_t i = 0; i < n; ++i)
        data.FindOrAdd(Address(i));
    // Spread over the whole collection, one address at a time, as the Delete
    // command does, with an index lookup between removals as the list view would.
    CTimer t;
    uint32_t nRemoved = 0;
    for (uint32_t i = 0; i < n; i += every) {
        nRemoved += data.RemoveByIP(Address(i));
        (void)data.GetAt(int(i / every) % std::max(1, data.GetSize()));
    }
    std::printf("RemoveByIP %u spread over %u: %.3f s (cpu %.3f s), %d left\n", nRemoved, n, t.Wall(), t.Cpu(),
                data.GetSize());
}

void BenchFile(const std::string& folder, uint32_t n, size_t nWhois, bool bMemory)
{
    const std::string path = folder + "/bench-document-" + std::to_string(n) + ".qdl";
    {
        CNetloreDoc doc;
        const std::string whois =
            nWhois ? "OrgName: Bench Org\r\nCountry: US\r\n" + std::string(nWhois, 'w') + "\r\n" : std::string();
        for (uint32_t i = 0; i < n; ++i) {
            if (nWhois)
                doc.SetWhoisText(Address(i), whois);
            else
                doc.AddIP(Address(i));
        }
        CTimer t;
        if (!doc.OnSaveDocument(path)) {
            std::printf("save failed\n");
            std::exit(1);
        }
        const double s = t.Wall(), c = t.Cpu();
        const double mb = double(std::filesystem::file_size(path)) / 1e6;
        std::printf("save %7u records (whois %4zu B): %6.1f MB in %.3f s = %5.0f MB/s (cpu %.3f s = %5.0f MB/s), "
                    "with fsync\n",
                    n, nWhois, mb, s, mb / s, c, mb / c);
    }
    {
        CNetloreDoc doc;
        const long before = StatusKb("VmRSS");
        CTimer t;
        int nErrors = 0;
        const bool bOpened = doc.OnOpenDocument(path, nullptr, &nErrors);
        const double s = t.Wall(), c = t.Cpu();
        const double mb = double(std::filesystem::file_size(path)) / 1e6;
        std::printf("load %7u records (whois %4zu B): %6.1f MB in %.3f s = %5.0f MB/s (cpu %.3f s = %5.0f MB/s)%s\n", n,
                    nWhois, mb, s, mb / s, c, mb / c, !bOpened || nErrors ? "   ERRORS" : "");
        if (bMemory) {
            const long rss = StatusKb("VmRSS");
            const long peak = StatusKb("VmHWM");
            std::printf("memory with the document open: %.0f bytes/record resident, peak %.0f bytes/record "
                        "(peak RSS %ld kB above %ld kB at start)\n",
                        double(rss - before) * 1024 / n, double(peak - before) * 1024 / n, peak - before, before);
        }
    }
    std::filesystem::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();

    // Each measurement of a big document runs in a child of its own, so that nothing
    // earlier raises the peak or fragments the heap.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::fflush(stdout);
        BenchFile(folder, 1000000, 0, false);
        std::fflush(stdout);
        _exit(0);
    }
    waitpid(pid, nullptr, 0);
    const pid_t pid2 = fork();
    if (pid2 == 0) {
        // Only the load runs here: the file is written by a grandchild.
        const std::string path = folder + "/bench-document-mem.qdl";
        if (fork() == 0) {
            CNetloreDoc doc;
            for (uint32_t i = 0; i < 1000000; ++i)
                doc.AddIP(Address(i));
            _exit(doc.OnSaveDocument(path) ? 0 : 1);
        }
        wait(nullptr);
        const long before = StatusKb("VmRSS");
        CNetloreDoc doc;
        if (!doc.OnOpenDocument(path, nullptr))
            std::printf("cannot open %s\n", path.c_str());
        const long rss = StatusKb("VmRSS");
        const long peak = StatusKb("VmHWM");
        std::printf("1,000,000 empty records open: %.0f bytes/record resident, %.0f bytes/record at the peak "
                    "(process started at %ld kB)\n",
                    double(rss - before) * 1024 / 1e6, double(peak - before) * 1024 / 1e6, before);
        std::filesystem::remove(path);
        std::fflush(stdout);
        _exit(0);
    }
    waitpid(pid2, nullptr, 0);

    BenchIndex(100000);
    BenchIndex(1000000);
    BenchRemove(1000000, 10);
    BenchFile(folder, 100000, 3000, false);
    return 0;
}
