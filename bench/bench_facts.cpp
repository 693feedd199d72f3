// Whois facts speed: RECORDS records (default 100,000) whose whois texts are the
// real answers under tests/data/whois, each headed by its record's address and cut
// or padded with comment lines to WHOIS_BYTES (default 3 KB). Times reading the
// facts of every text, then the collection's cache on first and second use.
//
//   bench_facts [RECORDS=100000] [WHOIS_BYTES=3072]
//   bench_facts --hostile    reading speed of hostile 10 MB answers

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"
#include "facts/WhoisFactsCache.h"
#include "support/AnswerFiles.h"
#include "support/HostileWhoisAnswers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// This thread's processor time: on a shared, loaded machine the wall time also counts other programs.
double CpuSeconds()
{
    rusage ru {};
    getrusage(RUSAGE_THREAD, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

std::vector<std::string> RealAnswers()
{
    return ReadAnswerFiles(std::filesystem::path(ADDRSCOPE_SOURCE_DIR) / "tests/data/whois");
}

// The best of three processor times for reading one text.
double BestReadSeconds(const std::string& text)
{
    double dBest = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool bRange = ReadWhoisFacts(text).m_bHasRange;
        dBest = std::min(dBest, Seconds(t0));
        if (!bRange)
            std::fprintf(stderr, "bench_facts: a hostile answer lost its range\n");
    }
    return dBest;
}

// Every hostile answer of 10 MB is read at no less than 10 MB/s. A reading that is
// quadratic in any of them takes minutes there. (Ratios between two sizes say little on
// this kind of machine: the processor caches make a linear scan of 1 MB look up to four
// times faster per byte than one of 10 MB.)
int HostileAnswers()
{
    std::ifstream in(std::string(ADDRSCOPE_SOURCE_DIR) + "/tests/data/whois/ripe/phpwhois-colt-62.97.102.115.txt",
                     std::ios::binary);
    const std::string colt {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    double dSlowest = 1e9;
    for (const auto& [name, text] : HostileWhoisAnswers(10u << 20, colt)) {
        const double dSeconds = BestReadSeconds(text);
        const double dRate = double(text.size()) / 1e6 / std::max(dSeconds, 1e-6);
        dSlowest = std::min(dSlowest, dRate);
        std::printf("%-36s %5.1f MB in %8.2f ms, %7.1f MB/s\n", name, double(text.size()) / 1e6, dSeconds * 1e3, dRate);
    }
    std::printf("slowest %.1f MB/s (target >= 10)\n", dSlowest);
    return dSlowest >= 10 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--hostile") == 0)
        return HostileAnswers();
    const uint32_t nRecords = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 100000;
    const size_t nWhoisBytes = argc > 2 ? size_t(std::strtoul(argv[2], nullptr, 10)) : 3072;
    const std::vector<std::string> answers = RealAnswers();
    if (answers.empty()) {
        std::fprintf(stderr, "bench_facts: no answers under tests/data/whois\n");
        return 1;
    }

    CIPDataArray data;
    std::vector<std::string> texts;
    texts.reserve(nRecords);
    size_t nBytes = 0;
    for (uint32_t i = 0; i < nRecords; ++i) {
        const std::string address = FormatDottedQuad(0x0A000000u + i);
        std::string text = address + "\r\n\r\n" + answers[i % answers.size()];
        while (text.size() < nWhoisBytes)
            text += "\r\n% padding to the size of an average answer";
        text.resize(nWhoisBytes);
        nBytes += text.size();
        data.SetWhoisResult(address, text, COleDateTime());
        texts.push_back(std::move(text));
    }

    size_t nHolders = 0;
    auto t0 = std::chrono::steady_clock::now();
    const double dCpu0 = CpuSeconds();
    for (const std::string& text : texts)
        nHolders += ReadWhoisFacts(text).m_strHolder.empty() ? 0 : 1;
    const double dRead = Seconds(t0);
    const double dReadCpu = CpuSeconds() - dCpu0;

    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < data.GetSize(); ++i)
        nHolders += GetWhoisFacts(data, *data.GetAt(i)).m_strHolder.empty() ? 0 : 1;
    const double dFirst = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < data.GetSize(); ++i)
        nHolders += GetWhoisFacts(data, *data.GetAt(i)).m_strHolder.empty() ? 0 : 1;
    const double dSecond = Seconds(t0);

    std::printf("facts of %u whois texts (%zu real answers, %.1f MB): %.3f s wall, %.3f s processor (%.0f MB/s, "
                "target < 1 s)\n",
                nRecords, answers.size(), double(nBytes) / 1e6, dRead, dReadCpu, double(nBytes) / 1e6 / dReadCpu);
    std::printf("collection cache: first use %.3f s, second use %.3f s (%zu holders named)\n", dFirst, dSecond,
                nHolders);
    return dReadCpu < 1.0 ? 0 : 2;
}
