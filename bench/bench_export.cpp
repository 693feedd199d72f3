// Raw whois export speed: builds a document of RECORDS records with WHOIS_BYTES of
// whois text each (default 100,000 x 3 KB), then times building the export text
// and writing it to a file.
//
//   bench_export [RECORDS=100000] [WHOIS_BYTES=3072] [OUT_DIR=/tmp]

#include "core/document/NetloreDoc.h"
#include "core/document/Progress.h"
#include "io/TextFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

std::string WhoisText(size_t nBytes, uint32_t n)
{
    std::string text = "NetRange:       10.0.0.0 - 10.255.255.255\r\nOrgName:        Example Org " + std::to_string(n) +
                       "\r\nCountry:        US\r\n";
    while (text.size() < nBytes)
        text += "Comment:        Addresses in this block are used by the example network.\r\n";
    text.resize(nBytes);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const uint32_t nRecords = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 100000;
    const size_t nWhoisBytes = argc > 2 ? size_t(std::strtoul(argv[2], nullptr, 10)) : 3072;
    const std::string dir = argc > 3 ? argv[3] : "/tmp";

    CNetloreDoc doc;
    std::vector<std::string> addresses;
    addresses.reserve(nRecords);
    const COleDateTime when = COleDateTime::FromComponents(2026, 12, 7, 12, 0, 0);
    for (uint32_t i = 0; i < nRecords; ++i) {
        addresses.push_back("10." + std::to_string(i >> 16 & 255) + "." + std::to_string(i >> 8 & 255) + "." +
                            std::to_string(i & 255));
        doc.GetData().SetWhoisResult(addresses.back(), WhoisText(nWhoisBytes, i), when);
    }

    CNullProgress progress;
    std::string report;
    auto t0 = std::chrono::steady_clock::now();
    const int nBlocks = doc.CreateReport(addresses, report, progress);
    const double build = Seconds(t0);

    const std::string path = dir + "/addrscope-bench-export-" + std::to_string(getpid()) + ".txt";
    std::string error;
    t0 = std::chrono::steady_clock::now();
    const bool ok = WriteTextFile(path, report, error);
    const double write = Seconds(t0);
    std::remove(path.c_str());
    if (!ok || nBlocks != int(nRecords)) {
        std::fprintf(stderr, "bench_export: %d blocks, write %s\n", nBlocks, ok ? "ok" : error.c_str());
        return 1;
    }

    const double mb = double(report.size()) / 1e6;
    std::printf("export: %u records, %.1f MB of text\n", nRecords, mb);
    std::printf("  CreateReport  %.3f s  %.0f MB/s\n", build, mb / build);
    std::printf("  write file    %.3f s  %.0f MB/s\n", write, mb / write);
    std::printf("  together      %.3f s  %.0f MB/s\n", build + write, mb / (build + write));
    return 0;
}
