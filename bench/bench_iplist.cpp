// The IP list bar over a document of 1,000,000 records: setting the row count,
// painting one screen of rows, jumping to the last row, and the memory the list
// adds. Runs on Qt's offscreen platform; prints one line per figure.
//
//   bench_iplist [records]        (default 1000000)
#include "core/document/NetloreDoc.h"
#include "core/settings/MemorySettingsStore.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/BigListModel.h"
#include "ui/lists/IPListBar.h"
#include "ui/lists/ListTexts.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kTarget = ", target < 50 ms";

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Median and worst of n runs of f, each preceded by an untimed reset.
void Measure(const char* pszName, const char* pszTarget, int nRuns, const std::function<void()>& reset,
             const std::function<void()>& f)
{
    std::vector<double> ms;
    for (int i = 0; i < nRuns; ++i) {
        reset();
        const auto t0 = Clock::now();
        f();
        ms.push_back(Ms(Clock::now() - t0));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %8.3f ms   max %8.3f ms   (%d runs%s)\n", pszName, ms[ms.size() / 2], ms.back(), nRuns,
                pszTarget);
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

long RssKb()
{
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine))
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::atol(strLine.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int nRecords = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    int nArgc = 1;
    QApplication app(nArgc, argv);

    CNetloreDoc doc;
    const auto tDoc = Clock::now();
    for (int i = 0; i < nRecords; ++i) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%d.%d.%d.%d", 1 + ((i >> 24) & 127), (i >> 16) & 255, (i >> 8) & 255, i & 255);
        doc.AddIP(sz);
    }
    std::printf("document of %d records built in %.0f ms (not part of the list)\n", nRecords, Ms(Clock::now() - tDoc));

    CMemorySettingsStore store;
    CSettingsLoader(store).Set(ProgramSettings::kDisplayMode, ListTexts::kModeBinary);
    QMainWindow frame;
    auto* pBar = new CIPListBar(store, "IP List", &frame);
    pBar->SetDocument(&doc);
    frame.setCentralWidget(new QWidget);
    frame.addDockWidget(Qt::LeftDockWidgetArea, pBar);
    frame.resize(1280, 1024);
    frame.show();
    frame.resizeDocks({pBar}, {460}, Qt::Horizontal);
    app.processEvents();
    CBigListCtrl* pList = pBar->GetList();
    QImage screen(pList->viewport()->size(), QImage::Format_ARGB32_Premultiplied);

    const size_t nHeapBefore = HeapInUse();
    const long nRssBefore = RssKb();
    pBar->RefreshList();
    pList->viewport()->render(&screen);
    app.processEvents();
    const size_t nHeapAfter = HeapInUse();
    const long nRssAfter = RssKb();
    std::printf("rows %d, %d visible rows of %d px, binary mode\n", pList->GetRowCount(), pList->GetVisibleRowCount(),
                pList->GetRowHeight());
    std::printf("%-34s heap %+.3f MB   RSS %+.3f MB   (target < 10 MB)\n", "memory added by the list",
                (double(nHeapAfter) - double(nHeapBefore)) / 1048576.0, double(nRssAfter - nRssBefore) / 1024.0);

    Measure(
        "set row count 0 -> N", kTarget, 21, [&] { pList->SetRowCount(0); }, [&] { pBar->RefreshList(); });
    Measure(
        "paint one screen of rows", kTarget, 51, [] {}, [&] { pList->viewport()->render(&screen); });
    Measure(
        "jump to the last row and paint", kTarget, 21,
        [&] {
            pList->DeselectAll();
            pList->SelectRow(0);
            pList->scrollToTop();
        },
        [&] {
            // As the user does it: the End key moves, selects and scrolls.
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
            QApplication::sendEvent(pList, &end);
            pList->viewport()->render(&screen);
        });
    std::printf("after the jump: top row %d, current record %d\n", pList->GetTopRow(), doc.GetCurrentIndex());
    Measure(
        "copy table text (all rows)", "", 3, [] {}, [&] { pList->BuildCopyText(false); });
    Measure(
        "copy table to the clipboard", "", 3, [] {}, [&] { pList->CopyTable(); });
    return pList->GetTopRow() + pList->GetVisibleRowCount() == nRecords ? 0 : 1;
}
