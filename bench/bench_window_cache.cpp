// The answer cache while the window runs: the real main window on the offscreen
// platform with an answer cache file of its own in a temporary folder, F8 over
// ADDRESSES (default 10,000) records each in a /24 of its own, then SECONDS
// (default 20) of final answers from an in-process loopback whois server that
// answers at once (the window's tick at 5 ms, interval 0, limit 8: about 200
// answers a second, every one of them written to the cache). A 1 ms timer
// measures the event loop's pulse: the longest gap between its firings is the
// longest time the loop was blocked. At the end the window is closed (its run
// writes what it still keeps) and the cache file's entries are counted against
// the answers that arrived: none may be missing. With "off" the same run has no
// cache, with "no-recovery" no recovery file (and so no checkpoints).
// Usage: bench_window_cache [ADDRESSES] [SECONDS] [off|no-recovery]

#include "LoopbackWhoisServer.h"
#include "cache/AnswerCache.h"
#include "cache/CacheDatabase.h"
#include "core/document/NetloreDoc.h"
#include "core/record/DottedQuad.h"
#include "core/settings/MemorySettingsStore.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "net/WhoisServerTable.h"
#include "sched/LookupSession.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/LookupOptionsDlg.h"
#include "ui/frame/MainFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <time.h>
#include <vector>

namespace {

namespace PS = ProgramSettings;
using SteadyClock = std::chrono::steady_clock;
constexpr const auto& kHosts = CLoopbackWhoisServer::kRegistryHosts;

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

// Address i is 10.a.b.c: every address in a /24 of its own, in a seeded random order.
std::vector<uint32_t> Networks(int nAddresses)
{
    std::vector<uint32_t> nets;
    nets.reserve(size_t(nAddresses));
    for (int i = 0; i < nAddresses; ++i)
        nets.push_back(0x0A000000u + (uint32_t(i) << 8));
    std::mt19937 rng(24);
    std::shuffle(nets.begin(), nets.end(), rng);
    return nets;
}

// A final ARIN answer of a typical size (about 3 KB) naming the address's /24.
std::string Answer(uint32_t dwNet)
{
    const std::string strFirst = FormatDottedQuad(dwNet);
    const std::string strLast = FormatDottedQuad(dwNet | 0xFFu);
    std::string strText = "NetRange:       " + strFirst + " - " + strLast + "\nCIDR:           " + strFirst +
                          "/24\nNetName:        EXAMPLE-" + std::to_string(dwNet >> 8) +
                          "\nNetType:        Direct Assignment\nOrgName:        Example Networks\n";
    for (int i = 0; i < 45; ++i)
        strText += "Comment:        a line of a typical registry answer, about sixty bytes\n";
    return strText;
}

struct CRemoveFolder {
    std::string m_strPath;
    ~CRemoveFolder()
    {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
};

struct CPulse {
    std::vector<qint64> m_gaps;
    qint64 m_nLongest = 0;
    qint64 m_nLongestAt = 0;
    // The UI thread's own CPU time during the longest gap: far below the gap, the
    // thread waited (for the disk, a lock or another process's turn on the processor).
    double m_dLongestCpu = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int nSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    // "off": the same run without the cache, to tell its share from the rest of the
    // loop's work; "no-recovery": without the untitled document's recovery file,
    // whose checkpoints turn the whole document into bytes on the UI thread.
    const std::string strMode = argc > 3 ? argv[3] : "";
    const bool bCache = strMode != "off";
    const bool bRecovery = strMode != "no-recovery";
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int nArgc = 1;
    QApplication app(nArgc, argv);

    std::string strFolder = (std::filesystem::temp_directory_path() / "addrscope-bench-XXXXXX").string();
    if (!mkdtemp(strFolder.data())) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    CRemoveFolder removeAtTheEnd {strFolder};
    const std::string strCache = strFolder + "/answers.sqlite";

    CLoopbackWhoisServer server;
    for (const char* pszHost : kHosts)
        server.AddAddress(pszHost);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start the loopback whois servers\n");
        return 1;
    }
    const std::vector<uint32_t> nets = Networks(nAddresses);
    for (uint32_t dwNet : nets)
        server.SetAnswer(kHosts[0], FormatDottedQuad(dwNet | 7u), Answer(dwNet));

    int nDone = 0;
    CPulse pulse;
    double dRunMs = 0;
    double dRunCpu = 0;
    {
        CMemorySettingsStore store;
        CSettingsLoader(store).Set(PS::kAnswerCache, bCache ? strCache : std::string());
        CFrameServices services;
        // The untitled document keeps its recovery file, as in the program.
        if (bRecovery)
            services.m_strRecoveryFolder = strFolder;
        auto pFrame = std::make_unique<CMainFrame>(store, services);
        CMainFrame& frame = *pFrame;
        if (!frame.Create()) {
            std::fprintf(stderr, "the main window could not be made\n");
            return 1;
        }
        if (bCache && (!frame.GetRun().TakeCacheNotice().empty() || !std::filesystem::exists(strCache))) {
            std::fprintf(stderr, "the window has no answer cache\n");
            return 1;
        }
        frame.resize(1000, 700);
        frame.show();
        QCoreApplication::processEvents();
        CWhoisServerTable servers;
        for (size_t i = 0; i < kWhoisRoleCount; ++i)
            servers.SetHost(EWhoisRole(i), kHosts[i]);
        servers.m_nWhoisPort = servers.m_nRWhoisPort = server.Port();
        CLookupSession& session = frame.GetSession();
        session.SetServers(servers);
        CConnSettings settings = session.GetSettings();
        settings.m_nWhoisInterval = 0;
        settings.m_nWhoisLimit = 8;
        session.SetSettings(settings);
        frame.GetTimer().setInterval(5);

        for (uint32_t dwNet : nets)
            frame.GetDocument().AddIP(FormatDottedQuad(dwNet | 7u));
        frame.OnCommand(FrameTexts::kCmdRefreshIPList);
        // F8 with "all rows"; the dialog is answered as soon as it is up.
        QTimer::singleShot(0, [] {
            if (auto* pDialog = qobject_cast<CLookupOptionsDlg*>(QApplication::activeModalWidget())) {
                pDialog->GetRowsButton(CLookupChoice::rowsAll)->click();
                pDialog->accept();
            }
        });
        frame.OnCommand(FrameTexts::kCmdLookupWithOptions);

        // The event loop's pulse: a 1 ms timer, and the gaps between its firings.
        QElapsedTimer clock;
        clock.start();
        qint64 nLast = 0;
        double dLastCpu = 0;
        QTimer watch;
        watch.setTimerType(Qt::PreciseTimer);
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const qint64 nNow = clock.nsecsElapsed();
            const double dCpu = CpuMs();
            if (nLast != 0) {
                pulse.m_gaps.push_back(nNow - nLast);
                if (nNow - nLast > pulse.m_nLongest) {
                    pulse.m_nLongest = nNow - nLast;
                    pulse.m_nLongestAt = nLast;
                    pulse.m_dLongestCpu = dCpu - dLastCpu;
                }
            }
            nLast = nNow;
            dLastCpu = dCpu;
        });
        watch.start();
        const int nDoneBefore = session.GetCounts(frame.GetDocument(), lookupWhois).Finished();
        const auto runStart = SteadyClock::now();
        const double dCpuStart = CpuMs();
        // A loop of our own: quitting the application would close the window, which asks to save.
        QEventLoop loop;
        QTimer::singleShot(nSeconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        watch.stop();
        dRunMs = MsSince(runStart);
        dRunCpu = CpuMs() - dCpuStart;
        nDone = session.GetCounts(frame.GetDocument(), lookupWhois).Finished() - nDoneBefore;
        frame.OnCommand(FrameTexts::kCmdStopAll);
        session.JoinAll();
        QCoreApplication::processEvents();
        // The answers of lookups that were still running when the run stopped.
        nDone = session.GetCounts(frame.GetDocument(), lookupWhois).Finished() - nDoneBefore;
        if (const std::string strNotice = frame.GetRun().TakeCacheNotice(); !strNotice.empty())
            std::printf("cache notice: %s\n", strNotice.c_str());
        frame.GetDocument().SetModifiedFlag(false);
        pFrame.reset();
    }

    std::sort(pulse.m_gaps.begin(), pulse.m_gaps.end());
    const double dMax = double(pulse.m_nLongest) / 1e6;
    const double dP99 = pulse.m_gaps.empty() ? 0 : double(pulse.m_gaps[pulse.m_gaps.size() * 99 / 100]) / 1e6;
    const auto nOver20 = std::count_if(pulse.m_gaps.begin(), pulse.m_gaps.end(), [](qint64 n) { return n > 20000000; });
    std::printf("%d answers in %.1f s (%.0f per second), UI thread CPU %.1f ms\n", nDone, dRunMs / 1000,
                nDone * 1000.0 / dRunMs, dRunCpu);
    std::printf("event loop blocked at most %.1f ms (began %.0f ms into the run, UI thread CPU in it %.1f ms), 99th "
                "percentile gap %.2f ms, %ld gaps over 20 ms of %zu %s\n",
                dMax, double(pulse.m_nLongestAt) / 1e6, pulse.m_dLongestCpu, dP99, long(nOver20), pulse.m_gaps.size(),
                dMax < 50 ? "OK" : "SLOW");

    if (!bCache)
        return dMax < 50 ? 0 : 1;
    // The file as another process would find it.
    CCacheDatabase db;
    const int64_t nNow = int64_t(std::time(nullptr));
    if (!db.Open(strCache, nNow).m_bOpen) {
        std::fprintf(stderr, "the cache file cannot be opened again\n");
        return 1;
    }
    CAnswerCache cache(db, CAnswerCacheLimits());
    const CAnswerCacheStats stats = cache.Stats(nNow);
    const int64_t nEntries = stats.m_nEntries4 + stats.m_nEntries6;
    std::printf("cache file: %lld entries (%.1f MB of answers) for %d answers %s\n", static_cast<long long>(nEntries),
                double(stats.m_nAnswerBytes) / 1048576.0, nDone, nEntries == nDone ? "OK" : "MISSING");
    return nEntries == nDone && dMax < 50 ? 0 : 1;
}
