// The record collection and the document file at scale: address index, removal,
// save and load speed, memory per record.
//
//   bench_document [FOLDER]     (default: the system's temporary folder)
//   bench_document --ipv6 [FOLDER]   only the IPv6 figures: memory per IPv6 record
//                                    against an IPv4 one, save and load half IPv6

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

// Distinct IPv6 client addresses as servers log them: full-length interface
// identifiers under a few provider prefixes (no zero group: canonical as written).
std::string IPv6Address(uint32_t n)
{
    const uint64_t x = (uint64_t(n) + 1) * 0x9e3779b97f4a7c15ull;
    char sz[48];
    std::snprintf(sz, sizeof sz, "2a01:%x:%x:%x:%x:%x:%x:%x", 0x4f8 + (n & 15), 1 + (n >> 4 & 0xfff), 1 + (n >> 16),
                  unsigned(x >> 48) | 1, unsigned(x >> 32 & 0xffff) | 1, unsigned(x >> 16 & 0xffff) | 1,
                  unsigned(x & 0xffff) | 1);
    return sz;
}

// Record i of a document where every other record is IPv6.
std::string MixedAddress(uint32_t n)
{
    return n % 2 ? IPv6Address(n / 2) : Address(n / 2);
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

// Resident memory of a child that only loads a document of n records of one family,
// made by a grandchild; with bRange every record also has a range (as after whois).
double MemoryPerRecord(const std::string& folder, bool bIPv6, bool bRange)
{
    constexpr uint32_t n = 1000000;
    int fds[2];
    if (pipe(fds) != 0)
        return 0;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string path = folder + "/bench-document-family.qdl";
        if (fork() == 0) {
            CNetloreDoc doc;
            for (uint32_t i = 0; i < n; ++i) {
                const std::string a = bIPv6 ? IPv6Address(i) : Address(i);
                doc.AddIP(a);
                if (bRange) {
                    CIPAddressData* pRecord = doc.GetData().FindByIP(a);
                    const CIPAddress first = pRecord->GetAddress();
                    if (bIPv6)
                        pRecord->SetRange(CIPAddress::FromIPv6(first.High(), 0),
                                          CIPAddress::FromIPv6(first.High(), ~0ull));
                    else
                        pRecord->SetRange(first.IPv4() & 0xFFFFFF00u, first.IPv4() | 0xFFu);
                }
            }
            _exit(doc.OnSaveDocument(path) ? 0 : 1);
        }
        wait(nullptr);
        const long before = StatusKb("VmRSS");
        CNetloreDoc doc;
        if (!doc.OnOpenDocument(path, nullptr) || doc.GetData().GetSize() != int(n))
            std::printf("cannot open %s\n", path.c_str());
        const double perRecord = double(StatusKb("VmRSS") - before) * 1024 / n;
        std::filesystem::remove(path);
        if (write(fds[1], &perRecord, sizeof perRecord) != sizeof perRecord)
            _exit(1);
        _exit(0);
    }
    double perRecord = 0;
    if (read(fds[0], &perRecord, sizeof perRecord) != sizeof perRecord)
        perRecord = 0;
    waitpid(pid, nullptr, 0);
    close(fds[0]);
    close(fds[1]);
    return perRecord;
}

void BenchIPv6(const std::string& folder)
{
    for (const bool bRange : {false, true}) {
        const double v4 = MemoryPerRecord(folder, false, bRange);
        const double v6 = MemoryPerRecord(folder, true, bRange);
        std::printf("1,000,000 records open%s: IPv4 %.0f B/record, IPv6 %.0f B/record: ratio %.2f (target <= 1.25)\n",
                    bRange ? ", each with a range" : "", v4, v6, v4 > 0 ? v6 / v4 : 0.0);
    }
    // Save and load, half IPv6, in a child so the memory figures above stay clean.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string path = folder + "/bench-document-mixed.qdl";
        constexpr uint32_t n = 1000000;
        {
            CNetloreDoc doc;
            for (uint32_t i = 0; i < n; ++i)
                doc.AddIP(MixedAddress(i));
            CTimer t;
            if (!doc.OnSaveDocument(path)) {
                std::printf("save failed\n");
                _exit(1);
            }
            const double s = t.Wall(), c = t.Cpu();
            const double mb = double(std::filesystem::file_size(path)) / 1e6;
            std::printf("save %u records, half IPv6: %6.1f MB in %.3f s = %5.0f MB/s (cpu %.3f s = %5.0f MB/s), "
                        "with fsync (target >= 400 MB/s)\n",
                        n, mb, s, mb / s, c, mb / c);
        }
        {
            CNetloreDoc doc;
            CTimer t;
            int nErrors = 0;
            const bool bOpened = doc.OnOpenDocument(path, nullptr, &nErrors);
            const double s = t.Wall(), c = t.Cpu();
            const double mb = double(std::filesystem::file_size(path)) / 1e6;
            std::printf("load %u records, half IPv6: %6.1f MB in %.3f s = %5.0f MB/s (cpu %.3f s = %5.0f MB/s)%s "
                        "(target >= 400 MB/s)\n",
                        n, mb, s, mb / s, c, mb / c,
                        !bOpened || nErrors || doc.GetData().GetSize() != int(n) ? "   ERRORS" : "");
        }
        std::filesystem::remove(path);
        std::fflush(stdout);
        _exit(0);
    }
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--ipv6") {
        BenchIPv6(argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string());
        return 0;
    }
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
    BenchIPv6(folder);
    return 0;
}
