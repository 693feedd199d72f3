// The Details display mode over a document of 1,000,000 records with whois texts:
// the real answers under tests/data/whois, each headed by its record's address and
// cut to WHOIS_BYTES. Times switching from the dotted list to the table with one
// screen painted, painting a screen, sorting by Holder, filtering by a country
// code and jumping to the last row, and the memory the mode adds per row. Runs on
// Qt's offscreen platform; prints one line per figure.
//
//   bench_details [RECORDS=1000000] [WHOIS_BYTES=1024]
#include "core/document/NetloreDoc.h"
#include "core/record/DottedQuad.h"
#include "core/settings/MemorySettingsStore.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "facts/WhoisFactsCache.h"
#include "support/AnswerFiles.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"
#include "ui/lists/IPListBar.h"
#include "ui/lists/ListTexts.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// This thread's processor time: on a shared machine the wall time also counts other programs.
double CpuMs()
{
    rusage ru {};
    getrusage(RUSAGE_THREAD, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// Median wall and processor times of n runs of f, each preceded by an untimed reset.
void Measure(const char* pszName, const char* pszTarget, int nRuns, const std::function<void()>& reset,
             const std::function<void()>& f)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < nRuns; ++i) {
        reset();
        const double dCpu0 = CpuMs();
        const auto t0 = Clock::now();
        f();
        wall.push_back(Ms(Clock::now() - t0));
        cpu.push_back(CpuMs() - dCpu0);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-34s median %8.1f ms (processor %8.1f ms)   max %8.1f ms   (%d runs, target < %s)\n", pszName,
                wall[wall.size() / 2], cpu[cpu.size() / 2], wall.back(), nRuns, pszTarget);
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

long RssKb()
{
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine))
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::atol(strLine.c_str() + 6);
    return -1;
}

std::vector<std::string> RealAnswers()
{
    return ReadAnswerFiles(std::filesystem::path(ADDRSCOPE_SOURCE_DIR) / "tests/data/whois");
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int nRecords = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    const size_t nWhoisBytes = argc > 2 ? size_t(std::strtoul(argv[2], nullptr, 10)) : 1024;
    int nArgc = 1;
    QApplication app(nArgc, argv);

    const std::vector<std::string> answers = RealAnswers();
    if (answers.empty()) {
        std::fprintf(stderr, "bench_details: no answers under tests/data/whois\n");
        return 1;
    }
    CNetloreDoc doc;
    CIPDataArray& data = doc.GetData();
    const auto tDoc = Clock::now();
    const COleDateTime dtBase = COleDateTime::FromComponents(2026, 1, 1, 0, 0, 0);
    for (int i = 0; i < nRecords; ++i) {
        const std::string strAddress = FormatDottedQuad(0x0A000000u + uint32_t(i));
        std::string strText = strAddress + "\r\n\r\n" + answers[size_t(i) % answers.size()];
        if (strText.size() > nWhoisBytes)
            strText.resize(nWhoisBytes);
        // Lookups spread over a month, in no particular order.
        const COleDateTime dt(dtBase.GetDays() + double((uint32_t(i) * 2654435761u) % 2592000u) / 86400.0,
                              COleDateTime::valid);
        data.SetWhoisResult(strAddress, strText, dt);
    }
    std::printf("document of %d records with %zu real answers cut to %zu bytes built in %.0f ms\n", nRecords,
                answers.size(), nWhoisBytes, Ms(Clock::now() - tDoc));
    // The facts are read once per answer whatever shows them (the caption, the exports);
    // the table only looks them up.
    const auto tFacts = Clock::now();
    int nHolders = 0;
    for (int i = 0; i < nRecords; ++i)
        nHolders += GetWhoisFacts(data, *data.GetAt(i)).m_strHolder.empty() ? 0 : 1;
    std::printf("facts of every answer read in %.0f ms (%d holders named; not part of the table)\n",
                Ms(Clock::now() - tFacts), nHolders);

    CMemorySettingsStore store;
    QMainWindow frame;
    auto* pBar = new CIPListBar(store, "IP List", &frame);
    pBar->SetDocument(&doc);
    frame.setCentralWidget(new QWidget);
    frame.addDockWidget(Qt::BottomDockWidgetArea, pBar);
    frame.resize(1280, 1024);
    frame.show();
    frame.resizeDocks({pBar}, {700}, Qt::Vertical);
    pBar->RefreshList();
    app.processEvents();
    CDetailsView* pDetails = pBar->GetDetailsView();
    QTableView* pTable = pDetails->GetTable();
    CDetailsModel* pModel = pDetails->GetModel();

    const size_t nHeapBefore = HeapInUse();
    const long nRssBefore = RssKb();
    QImage screen;
    const double dCpu0 = CpuMs();
    const auto tSwitch = Clock::now();
    pBar->SetDisplayMode(ListTexts::kModeDetails);
    pBar->RefreshList();
    screen = QImage(pTable->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    pTable->viewport()->render(&screen);
    const double dSwitch = Ms(Clock::now() - tSwitch);
    const double dSwitchCpu = CpuMs() - dCpu0;
    app.processEvents();
    const size_t nHeapAfter = HeapInUse();
    const long nRssAfter = RssKb();
    std::printf("rows %d, table viewport at the switch %dx%d\n", pModel->rowCount(), pTable->viewport()->width(),
                pTable->viewport()->height());
    std::printf("%-34s %8.1f ms (processor %8.1f ms)   (first time, target < 50 ms)\n", "switch to Details and paint",
                dSwitch, dSwitchCpu);
    auto perRow = [nRecords](double dBytes) { return dBytes / double(nRecords); };
    // The rest is measured on a screen of rows.
    frame.resizeDocks({pBar}, {800}, Qt::Vertical);
    app.processEvents();
    screen = QImage(pTable->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    std::printf("table viewport now %dx%d, %d rows a screen\n", pTable->viewport()->width(),
                pTable->viewport()->height(),
                pTable->viewport()->height() / pTable->verticalHeader()->defaultSectionSize());
    std::printf("%-34s heap %+.1f B/row   RSS %+.1f B/row   (target < 64 B/row)\n", "memory added by Details",
                perRow(double(nHeapAfter) - double(nHeapBefore)), perRow(double(nRssAfter - nRssBefore) * 1024.0));

    Measure(
        "switch back and forth and paint", "50 ms", 11,
        [&] {
            pBar->SetDisplayMode(ListTexts::kModeQuad);
            pBar->RefreshList();
        },
        [&] {
            pBar->SetDisplayMode(ListTexts::kModeDetails);
            pBar->RefreshList();
            pTable->viewport()->render(&screen);
        });
    Measure(
        "paint one screen of rows", "50 ms", 31, [] {}, [&] { pTable->viewport()->render(&screen); });
    Measure(
        "sort by Holder", "1000 ms", 5, [&] { pTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); },
        [&] { pTable->horizontalHeader()->setSortIndicator(CDetailsModel::kHolder, Qt::AscendingOrder); });
    std::printf("first holders: \"%s\", \"%s\"; last: \"%s\"\n", pModel->CellText(0, CDetailsModel::kHolder).c_str(),
                pModel->CellText(1, CDetailsModel::kHolder).c_str(),
                pModel->CellText(pModel->rowCount() - 1, CDetailsModel::kHolder).c_str());
    Measure(
        "sort by Whois Time", "1000 ms", 5,
        [&] { pTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); },
        [&] { pTable->horizontalHeader()->setSortIndicator(CDetailsModel::kWhoisTime, Qt::DescendingOrder); });
    const long nRssSorted = RssKb();
    pTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    Measure(
        "filter by a country code (FR)", "200 ms", 5,
        [&] {
            pDetails->GetFilterBox()->clear();
            pDetails->ApplyFilterNow();
        },
        [&] {
            pDetails->GetFilterBox()->setText(QStringLiteral("FR"));
            pDetails->ApplyFilterNow();
        });
    std::printf("rows shown with \"FR\": %d\n", pModel->rowCount());
    Measure(
        "filter by a holder's word (telecom)", "200 ms", 5,
        [&] {
            pDetails->GetFilterBox()->clear();
            pDetails->ApplyFilterNow();
        },
        [&] {
            pDetails->GetFilterBox()->setText(QStringLiteral("telecom"));
            pDetails->ApplyFilterNow();
        });
    std::printf("rows shown with \"telecom\": %d\n", pModel->rowCount());
    pDetails->GetFilterBox()->clear();
    pDetails->ApplyFilterNow();
    Measure(
        "jump to the last row and paint", "50 ms", 21,
        [&] {
            pTable->selectRow(0);
            pTable->scrollToTop();
        },
        [&] {
            // As the user does it: Ctrl+End moves, selects and scrolls.
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(pTable, &end);
            pTable->viewport()->render(&screen);
        });
    std::printf("after the jump: current row %d\n", pTable->currentIndex().row());
    int nSelected = 0;
    Measure(
        "select all rows and count them", "50 ms", 11, [&] { pTable->clearSelection(); },
        [&] {
            QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
            QApplication::sendEvent(pTable, &all);
            nSelected = pBar->GetSelectedRowCount();
        });
    std::printf("rows selected: %d\n", nSelected);
    const long nRssEnd = RssKb();
    std::printf("%-34s RSS %+.1f B/row after sorting, %+.1f B/row at the end\n", "memory kept by Details",
                perRow(double(nRssSorted - nRssBefore) * 1024.0), perRow(double(nRssEnd - nRssBefore) * 1024.0));
    return pTable->currentIndex().row() == nRecords - 1 ? 0 : 1;
}
