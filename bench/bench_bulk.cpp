// Bulk lookups on the UI thread:
//  1. queueing ADDRESSES (default 100,000) records in a seeded random order for
//     whois, as F8 with "all rows" does, with range reuse and the run's counts
//     (200 fresh known ranges answer some of them at queue time);
//  2. 200 final answers, each for one of 200 networks, arriving while 10,000
//     addresses of those networks wait: total and longest time per answer;
//  3. (with the window) the real main window on the offscreen platform: F8 over
//     ADDRESSES records in a seeded random order, then SECONDS (default 10) of
//     results arriving from an in-process loopback whois server with a 5 ms tick,
//     interval 0 and limit 8 (about 200 per second): the longest time the event
//     loop was blocked, from the gaps between the firings of a 1 ms timer.
// Usage: bench_bulk [ADDRESSES] [SECONDS]

#include "core/record/Clock.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"
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

#ifdef ADDRSCOPE_BENCH_WINDOW
#include "LoopbackWhoisServer.h"
#include "core/document/NetloreDoc.h"
#include "core/settings/MemorySettingsStore.h"
#include "sched/LookupSession.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/LookupOptionsDlg.h"
#include "ui/frame/MainFrame.h"

#include <filesystem>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QTimer>
#endif

namespace {

// nAddresses addresses 7 apart, in a seeded random order: the same every run.
std::vector<std::string> ShuffledAddresses(int nAddresses)
{
    std::vector<std::string> rows;
    rows.reserve(size_t(nAddresses));
    for (int i = 0; i < nAddresses; ++i)
        rows.push_back(FormatDottedQuad(0x0A000000u + uint32_t(i) * 7u));
    std::mt19937 rng(15);
    std::shuffle(rows.begin(), rows.end(), rng);
    return rows;
}

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

#ifdef ADDRSCOPE_BENCH_WINDOW
// F8 over nAddresses records, then nSeconds of results at the tick's pace.
void MeasureWindow(int nAddresses, int nSeconds)
{
    CLoopbackWhoisServer server;
    server.AddAddress("127.0.0.2");
    if (!server.Start()) {
        std::printf("window: the loopback whois server did not start\n");
        return;
    }
    // A final ARIN answer of a typical size for every address (no referral, no handle).
    std::string strAnswer = "NetRange:       192.0.2.0 - 192.0.2.255\nOrgName:        Example Networks\n";
    for (int i = 0; i < 40; ++i)
        strAnswer += "Comment:        a line of a typical registry answer, about sixty bytes\n";
    server.SetDefaultAnswer("127.0.0.2", strAnswer);

    CMemorySettingsStore store;
    // The untitled document keeps its recovery file as in the program, so the
    // checkpoints (every 500 results) are part of what the event loop carries.
    std::string strRecovery = (std::filesystem::temp_directory_path() / "addrscope-bench-XXXXXX").string();
    if (!mkdtemp(strRecovery.data()))
        strRecovery.clear();
    struct CRemoveFolder {
        std::string m_strPath;
        ~CRemoveFolder()
        {
            std::error_code ec;
            if (!m_strPath.empty())
                std::filesystem::remove_all(m_strPath, ec);
        }
    } removeAfterTheWindow {strRecovery};
    CFrameServices services;
    services.m_strRecoveryFolder = strRecovery;
    CMainFrame frame(store, services);
    if (!frame.Create()) {
        std::printf("window: the main window could not be made\n");
        return;
    }
    frame.resize(1000, 700);
    frame.show();
    QCoreApplication::processEvents();
    CWhoisServerTable servers;
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        servers.SetHost(EWhoisRole(i), "127.0.0.2");
    servers.m_nWhoisPort = servers.m_nRWhoisPort = server.Port();
    CLookupSession& session = frame.GetSession();
    session.SetServers(servers);
    CConnSettings settings = session.GetSettings();
    settings.m_nWhoisInterval = 0;
    settings.m_nWhoisLimit = 8;
    session.SetSettings(settings);
    frame.GetTimer().setInterval(5);

    for (const std::string& str : ShuffledAddresses(nAddresses))
        frame.GetDocument().AddIP(str);
    frame.OnCommand(FrameTexts::kCmdRefreshIPList);

    // F8 with "all rows"; the dialog is answered as soon as it is up.
    QTimer::singleShot(0, [] {
        if (auto* pDialog = qobject_cast<CLookupOptionsDlg*>(QApplication::activeModalWidget())) {
            pDialog->GetRowsButton(CLookupChoice::rowsAll)->click();
            pDialog->accept();
        }
    });
    const auto start = SteadyClock::now();
    const double dCpuStart = CpuMs();
    frame.OnCommand(FrameTexts::kCmdLookupWithOptions);
    const double dQueueMs = MsSince(start);
    const double dQueueCpu = CpuMs() - dCpuStart;
    const int nWaiting = frame.GetDocument().GetData().GetWaitingList(lookupWhois).GetSize();
    std::printf("window: F8 queued %d of %d addresses in %.1f ms wall, %.1f ms CPU %s\n", nWaiting, nAddresses,
                dQueueMs, dQueueCpu, dQueueMs < 1000 ? "OK" : "SLOW");

    // The event loop's pulse: a 1 ms timer, and the longest gap between its firings.
    QElapsedTimer pulse;
    pulse.start();
    qint64 nLast = 0;
    qint64 nLongest = 0;
    qint64 nLongestAt = 0;
    std::vector<qint64> gaps;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 nNow = pulse.nsecsElapsed();
        if (nLast != 0) {
            gaps.push_back(nNow - nLast);
            if (nNow - nLast > nLongest) {
                nLongest = nNow - nLast;
                nLongestAt = nLast;
            }
        }
        nLast = nNow;
    });
    watch.start();
    const int nDoneBefore = session.GetCounts(frame.GetDocument(), lookupWhois).Finished();
    const auto runStart = SteadyClock::now();
    const double dRunCpu = CpuMs();
    // A loop of our own: quitting the application would close the window, which asks to save.
    QEventLoop loop;
    QTimer::singleShot(nSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    watch.stop();
    const double dRunMs = MsSince(runStart);
    const int nDone = session.GetCounts(frame.GetDocument(), lookupWhois).Finished() - nDoneBefore;
    std::sort(gaps.begin(), gaps.end());
    const double dP99 = gaps.empty() ? 0 : double(gaps[gaps.size() * 99 / 100]) / 1e6;
    const auto nOver20 = std::count_if(gaps.begin(), gaps.end(), [](qint64 n) { return n > 20000000; });
    std::printf("window: %d results in %.1f s (%.0f per second), UI thread CPU %.1f ms; event loop blocked at most "
                "%.1f ms (99th percentile gap %.2f ms, %ld gaps over 20 ms) %s\n",
                nDone, dRunMs / 1000, nDone * 1000.0 / dRunMs, CpuMs() - dRunCpu, double(nLongest) / 1e6, dP99,
                long(nOver20), double(nLongest) / 1e6 < 50 ? "OK" : "SLOW");
    std::printf("window: the longest block began %.0f ms into the run\n", double(nLongestAt) / 1e6);
    frame.OnCommand(FrameTexts::kCmdStopAll);
    session.JoinAll();
    QCoreApplication::processEvents();
    frame.GetDocument().SetModifiedFlag(false);
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int nSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    // Each figure as soon as it is known, also into a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
#ifdef ADDRSCOPE_BENCH_WINDOW
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int nArgc = 1;
    QApplication app(nArgc, argv);
#endif
    CSystemClock clock;
    const COleDateTime dtNow = clock.Now();

    // 1. Queueing.
    {
        CIPDataArray data;
        const std::vector<std::string> rows = ShuffledAddresses(nAddresses);
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
#ifdef ADDRSCOPE_BENCH_WINDOW
    MeasureWindow(nAddresses, nSeconds);
#else
    (void)nSeconds;
    std::printf("window: not measured (built without the Qt front end)\n");
#endif
    return 0;
}
