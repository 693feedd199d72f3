// addrscope-cli lookup DOC.qdl [--kind K] [--tick MS] [--force] [--json] [ADDR...|-]:
// queues addresses for one kind of lookup, runs the scheduler's ticks until nothing
// waits or runs, merges every result as it arrives and saves the document: at
// checkpoints along the way, when asked to stop by a signal, and at the end.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"
#include "cli/JsonText.h"
#include "cli/StopSignals.h"
#include "cli/TerminalProgress.h"
#include "core/Clock.h"
#include "core/DottedQuad.h"
#include "core/LookupJob.h"
#include "core/SettingsStore.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "sched/CompletionQueue.h"
#include "sched/ConnSettings.h"
#include "sched/LastWhoisDone.h"
#include "sched/LookupCodes.h"
#include "sched/Scheduler.h"
#include "sched/WorkerEnvironment.h"
#include "sched/WorkerThreads.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <unistd.h>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kDefaultTickMs = 2000;
constexpr int kMaxTickMs = 3600 * 1000;
// An address whose whois answer keeps coming back empty is given up after this
// many tries: the window re-queues it for ever, a batch run must end.
constexpr int kMaxEmptyWhoisAnswers = 3;
// Ticks in a row on which no worker thread could be started before giving up.
constexpr int kMaxStartFailures = 10;
// Longest wait between two looks at Ctrl+C.
constexpr auto kPollSlice = 200ms;
// After a stop signal, how long the running lookups may take before the document is
// saved without them.
constexpr auto kStopGrace = 10s;
// Saves along the way, so that a crash or a kill loses at most this much work.
constexpr const char* kSettingsSection = "Settings";
constexpr const char* kCheckpointSeconds = "Checkpoint Seconds";
constexpr const char* kCheckpointResults = "Checkpoint Results";
constexpr int kDefaultCheckpointSeconds = 30;
constexpr int kDefaultCheckpointResults = 500;

int ReadPositive(CSettingsStore& store, const char* pszName, int nDefault)
{
    const int n = store.GetProfileInt(kSettingsSection, pszName, nDefault);
    return n > 0 ? n : nDefault;
}

// Now as ISO 8601 local time with its offset from UTC.
std::string LocalTimeText()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    char buf[40];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S%z", &tm);
    // strftime writes the offset as +hhmm; ISO 8601 text has +hh:mm.
    if (n < 5 || (buf[n - 5] != '+' && buf[n - 5] != '-'))
        return std::string(buf, n);
    return std::string(buf, n - 2) + ":" + std::string(buf + n - 2, 2);
}

const char* const kKindNames[kLookupKindCount] = {"whois", "host", "ping", "trace"};

int LimitOf(const CConnSettings& s, int nKind)
{
    switch (nKind) {
    case lookupWhois:
        return s.m_nWhoisLimit;
    case lookupHostName:
        return s.m_nDnsLimit;
    case lookupPing:
        return s.m_nPingLimit;
    default:
        return s.m_nTraceLimit;
    }
}

bool ParseTick(const std::string& text, int& nMs)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    nMs = std::stoi(text);
    return nMs > 0 && nMs <= kMaxTickMs;
}

// Whether a finished job counts as a failed lookup; read before the merge deletes it.
bool IsFailure(int nKind, const CLookupJob& job)
{
    switch (nKind) {
    case lookupHostName:
        return job.m_strResult.empty() || job.m_strResult == "unavailable";
    case lookupPing:
        return job.m_nTries > 0 && job.m_nFailures >= job.m_nTries;
    case lookupTrace:
        return job.m_strResult.empty();
    default:
        return job.m_strResult.empty();
    }
}

class CCmdLookup : public CCliCommand
{
public:
    const char* Name() const override { return "lookup"; }
    const char* Usage() const override
    {
        return "DOC.qdl [--kind whois|host|ping|trace] [--tick MS] [--force] [--json] [ADDR...|-]";
    }
    const char* Help() const override
    {
        return "  DOC.qdl        the document (created when addresses are given)\n"
               "  ADDR           the addresses to look up; all records when none; - reads them from standard input, "
               "one per line\n"
               "  --kind KIND    whois (the default), host, ping or trace\n"
               "  --tick MS      milliseconds between two scheduler ticks (2000)\n"
               "  --force        look up again even what is fresher than the rescan gap\n"
               "  --json         one JSON object per finished address on standard output (keys address, kind, "
               "status, owner, country, range, time); the summary goes to standard error\n"
               "The document is saved every \"Checkpoint Seconds\" (30) and every \"Checkpoint Results\" (500) "
               "results; SIGTERM, SIGHUP or Ctrl+C stop starting lookups, wait up to 10 s for the running ones, save "
               "and exit 1 (a second Ctrl+C quits unsaved).\n";
    }
    const char* Summary() const override
    {
        return "look up the given addresses (all records when none) with the settings' limits, store the results "
               "in DOC and print how many were looked up, skipped as fresh and failed";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        int nKind = lookupWhois;
        int nTickMs = kDefaultTickMs;
        bool bForce = false;
        bool bJson = false;
        bool bFromInput = false;
        std::vector<std::string> positional;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            std::string value;
            bool bKind = false;
            bool bTick = false;
            if (a == "--force") {
                bForce = true;
            } else if (a == "--json") {
                bJson = true;
            } else if (a == "-" && !positional.empty()) {
                bFromInput = true;
            } else if (a == "--kind" || a == "--tick") {
                if (i + 1 >= args.size())
                    return CliUsageError(ctx, *this, a + " needs a value");
                value = args[++i];
                (a == "--kind" ? bKind : bTick) = true;
            } else if (a.compare(0, 7, "--kind=") == 0) {
                value = a.substr(7);
                bKind = true;
            } else if (a.compare(0, 7, "--tick=") == 0) {
                value = a.substr(7);
                bTick = true;
            } else if (a.size() > 1 && a[0] == '-') {
                return CliUsageError(ctx, *this, "unknown option " + a);
            } else {
                positional.push_back(a);
            }
            if (bKind) {
                const auto it = std::find(std::begin(kKindNames), std::end(kKindNames), value);
                if (it == std::end(kKindNames))
                    return CliUsageError(ctx, *this, "unknown kind '" + value + "'");
                nKind = int(it - std::begin(kKindNames));
            }
            if (bTick && !ParseTick(value, nTickMs))
                return CliUsageError(ctx, *this, "--tick needs milliseconds from 1 to 3600000");
        }
        if (positional.empty())
            return CliUsageError(ctx, *this, "expected a document");
        const std::string strDoc = positional[0];
        std::vector<std::string> given(positional.begin() + 1, positional.end());
        if (bFromInput && !ReadAddresses(ctx, given))
            return cliExitFailed;
        for (const std::string& a : given)
            if (!IsValidDottedQuad(a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IPv4 address");
        if (bFromInput && given.empty()) {
            CliMessage(ctx, Name(), "no addresses on standard input; nothing to look up");
            return cliExitDone;
        }

        const CConnSettings settings = LoadConnSettings(ctx.settings);
        CWhoisServerTable servers;
        servers.Load(ctx.settings);

        CNetloreDoc doc;
        CDocumentLock lock;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strDoc, doc, !given.empty(), &lock);
        if (!opened.m_bOpened)
            return opened.m_nExit;
        if (opened.m_nErrors > 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: %s did not read cleanly; nothing was looked up, since saving would "
                         "drop what could not be read\n",
                         strDoc.c_str());
            return 1;
        }
        CIPDataArray& data = doc.GetData();
        data.SetResolveTraceHops(settings.m_bTraceHostLookup);

        // Given addresses get a record first, so every kind has somewhere to store.
        std::vector<std::string> addresses = given;
        if (addresses.empty()) {
            addresses.reserve(size_t(data.GetSize()));
            for (int i = 0; i < data.GetSize(); ++i)
                addresses.push_back(data.GetIPAddressAt(i));
        }
        for (const std::string& a : given)
            if (!data.FindByIP(a) && doc.AddIP(a))
                doc.SetModifiedFlag();

        int nFresh = 0;
        const uint32_t nGap = bForce ? 0 : settings.m_dwRescanGap;
        for (const std::string& a : addresses) {
            bool bQueued = false;
            switch (nKind) {
            case lookupWhois:
                bQueued = doc.QueueWhoisLookup(a, nGap);
                break;
            case lookupHostName:
                bQueued = doc.QueueHostNameLookup(a);
                // A known name is never asked again, unless forced.
                if (!bQueued && bForce && !a.empty()) {
                    data.GetWaitingList(lookupHostName).AddUnique(a);
                    bQueued = true;
                }
                break;
            case lookupPing:
                bQueued = doc.QueuePingLookup(a, nGap);
                break;
            default:
                bQueued = doc.QueueTraceLookup(a, nGap);
                break;
            }
            if (!bQueued && !a.empty())
                ++nFresh;
        }
        const int nTotal = data.GetWaitingList(nKind).GetSize();

        CCounts counts;
        bool bInterrupted = false;
        bool bGaveUp = false;
        auto notDone = [&] { return nTotal - counts.m_nLookedUp - counts.m_nFailed; };
        auto saveAndReport = [&] {
            bool bSaved = true;
            if (doc.IsModified() || opened.m_bCreated)
                bSaved = SaveCliDocument(ctx, Name(), strDoc, doc);
            // The counts stand for stored results: none when the save failed.
            if (bSaved && !ctx.m_bQuiet) {
                // With --json, standard output holds JSON alone.
                FILE* summary = bJson ? ctx.err : ctx.out;
                std::fprintf(summary, "looked up %d, skipped as fresh %d, failed %d", counts.m_nLookedUp, nFresh,
                             counts.m_nFailed);
                if (notDone() > 0)
                    std::fprintf(summary, ", not looked up %d", notDone());
                std::fprintf(summary, "\n");
            }
            return bSaved;
        };
        CRunOptions options;
        options.m_fnAbandon = [&] {
            // Workers still wait on their servers and write into jobs the document owns:
            // save what is done and end here instead of waiting for them.
            saveAndReport();
            lock.Release();
            if (std::fflush(ctx.out) != 0 || std::ferror(ctx.out))
                CliMessage(ctx, Name(), "cannot write to standard output");
            std::fflush(ctx.err);
            std::_Exit(cliExitFailed);
        };
        options.m_strDoc = strDoc;
        options.m_bJson = bJson;
        options.m_nCheckpointSeconds = ReadPositive(ctx.settings, kCheckpointSeconds, kDefaultCheckpointSeconds);
        options.m_nCheckpointResults = ReadPositive(ctx.settings, kCheckpointResults, kDefaultCheckpointResults);
        if (nTotal > 0 && LimitOf(settings, nKind) <= 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: the settings allow no %s lookup to run at once (limit %d); nothing "
                         "was looked up\n",
                         kKindNames[nKind], LimitOf(settings, nKind));
            data.ClearAllPending();
            bGaveUp = true;
        } else if (nTotal > 0) {
            RunLookups(ctx, doc, nKind, nTotal, nTickMs, settings, servers, options, counts, bInterrupted, bGaveUp);
        }

        const bool bSaved = saveAndReport();
        return bSaved && !bInterrupted && !bGaveUp && counts.m_nFailed == 0 && notDone() <= 0 ? 0 : 1;
    }

private:
    struct CCounts {
        int m_nLookedUp = 0;
        int m_nFailed = 0;
    };
    struct CRunOptions {
        std::string m_strDoc;
        bool m_bJson = false;
        int m_nCheckpointSeconds = kDefaultCheckpointSeconds;
        int m_nCheckpointResults = kDefaultCheckpointResults;
        std::function<void()> m_fnAbandon; // saves and ends the process; does not return
    };

    // One address or host per line; blanks around it and empty lines are skipped.
    bool ReadAddresses(CCliContext& ctx, std::vector<std::string>& out)
    {
        std::string text;
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, ctx.in)) > 0)
            text.append(buf, n);
        if (std::ferror(ctx.in)) {
            CliMessage(ctx, Name(), "cannot read standard input");
            return false;
        }
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            const size_t first = line.find_first_not_of(" \t\r");
            const size_t last = line.find_last_not_of(" \t\r");
            if (first != std::string::npos)
                out.push_back(line.substr(first, last - first + 1));
            start = end + 1;
        }
        return true;
    }

    void RunLookups(CCliContext& ctx, CNetloreDoc& doc, int nKind, int nTotal, int nTickMs,
                    const CConnSettings& settings, const CWhoisServerTable& servers, const CRunOptions& options,
                    CCounts& counts, bool& bInterrupted, bool& bGaveUp)
    {
        CIPDataArray& data = doc.GetData();
        CSystemNameResolver resolver;
        CLinuxIcmpService icmp;
        CSystemClock clock;
        CCompletionQueue queue;
        // Last, so it is destroyed (joining every worker) before what they use.
        CWorkerThreads threads;
        CWorkerEnvironment env;
        env.m_pServers = &servers;
        env.m_pResolver = &resolver;
        env.m_pIcmp = &icmp;
        env.m_pSink = &queue;
        env.m_pThreads = &threads;
        env.m_pClock = &clock;
        env.m_pLastWhoisDone = &CLastWhoisDone::Process();

        const bool bTerminal = isatty(fileno(ctx.err)) != 0;
        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        progress.Show(std::string("Looking up (") + kKindNames[nKind] + ")");
        // After the progress bar, so that these handlers are the ones in place.
        CStopSignals stopSignals;
        auto lastSave = Clock::now();
        int nSinceSave = 0;
        auto stopDeadline = Clock::time_point::max();
        std::unordered_map<std::string, int> emptyAnswers;
        int nDone = 0;
        bool bStopping = false;
        auto nextTick = Clock::now();

        auto stopQueuing = [&] {
            for (int k = 0; k < kLookupKindCount; ++k)
                data.GetWaitingList(k).RemoveAll();
        };

        auto handle = [&](const CCompletion& c) {
            const int nCodeKind = LookupCodes::KindOfCode(c.m_nCode);
            const std::string strAddress = c.m_pJob ? c.m_pJob->m_strAddress : std::string();
            const bool bFailed = c.m_pJob && IsFailure(nCodeKind, *c.m_pJob);
            HandleCompletion(&doc, c.m_nCode, c.m_pJob);
            threads.Reap();
            bool bGaveUpOnIt = false;
            if (nCodeKind == lookupWhois && bFailed) {
                // The merge put the address back in the waiting list.
                if (++emptyAnswers[strAddress] < kMaxEmptyWhoisAnswers && !bStopping)
                    return;
                CSerStringArray& waiting = data.GetWaitingList(lookupWhois);
                waiting.RemoveAt(waiting.Find(strAddress));
                bGaveUpOnIt = emptyAnswers[strAddress] >= kMaxEmptyWhoisAnswers;
                CliMessage(ctx, Name(),
                           strAddress + ": no whois answer after " + std::to_string(emptyAnswers[strAddress]) +
                               " tries");
            }
            ++nSinceSave;
            if (options.m_bJson)
                PrintJsonLine(ctx, data, strAddress, nCodeKind, bFailed ? bGaveUpOnIt ? "gave-up" : "failed" : "ok");
            ++nDone;
            ++(bFailed ? counts.m_nFailed : counts.m_nLookedUp);
            char line[64];
            std::snprintf(line, sizeof line, "%d/%d ", nDone, nTotal);
            if (ctx.m_bQuiet)
                return;
            if (bTerminal) {
                progress.SetText(line + strAddress);
                progress.SetPos(int(int64_t(nDone) * 100 / nTotal));
            } else {
                std::fprintf(ctx.err, "%s%s%s\n", line, TerminalSafe(strAddress).c_str(), bFailed ? " failed" : "");
            }
        };

        auto checkpoint = [&] {
            if (nSinceSave == 0 || !doc.IsModified())
                return;
            const auto now = Clock::now();
            if (nSinceSave < options.m_nCheckpointResults &&
                now - lastSave < std::chrono::seconds(options.m_nCheckpointSeconds))
                return;
            // A failed checkpoint is reported; the final save tries again.
            if (SaveCliDocument(ctx, Name(), options.m_strDoc, doc) && ctx.m_bVerbose)
                CliMessage(ctx, Name(), "checkpoint: saved " + std::to_string(nSinceSave) + " new results");
            lastSave = now;
            nSinceSave = 0;
        };

        while (data.HasPending()) {
            const auto now = Clock::now();
            if (now >= stopDeadline) {
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += data.GetRunningList(k).size();
                CliMessage(ctx, Name(), "saving without the " + std::to_string(nRunning) + " lookup(s) still running");
                stopQueuing();
                options.m_fnAbandon();
            }
            if (!bStopping && now >= nextTick) {
                SchedulerTick(data, settings, env);
                nextTick = std::max(nextTick + std::chrono::milliseconds(nTickMs), now);
                if (threads.ConsecutiveFailures() >= kMaxStartFailures && threads.Count() == 0 &&
                    data.GetRunningList(nKind).empty()) {
                    std::fprintf(ctx.err, "addrscope-cli lookup: no worker thread could be started; stopping\n");
                    bGaveUp = bStopping = true;
                    stopQueuing();
                    continue;
                }
            }
            const auto deadline = bStopping ? now + kPollSlice : std::min(nextTick, now + kPollSlice);
            CCompletion c;
            if (queue.TakeUntil(c, deadline)) {
                handle(c);
                while (queue.TryTake(c))
                    handle(c);
            }
            checkpoint();
            const int nSignal = stopSignals.Received();
            if (!bStopping && (nSignal != 0 || progress.PollCancel())) {
                bInterrupted = bStopping = true;
                stopDeadline = Clock::now() + kStopGrace;
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += data.GetRunningList(k).size();
                CliMessage(ctx, Name(),
                           std::string(nSignal ? CStopSignals::Name(nSignal) : "interrupted") + ": waiting up to " +
                               std::to_string(kStopGrace.count()) + " s for " + std::to_string(nRunning) +
                               " running lookup(s), then saving" +
                               (nSignal == SIGINT ? " (Ctrl+C again quits without saving)" : ""));
            }
            if (bStopping)
                stopQueuing();
        }
        progress.Close();
        threads.JoinAll();
        CCompletion c;
        while (queue.TryTake(c))
            handle(c);
    }

    static void PrintJsonLine(CCliContext& ctx, const CIPDataArray& data, const std::string& strAddress, int nKind,
                              const char* pszStatus)
    {
        const CIPAddressData* r = data.FindByIP(strAddress);
        std::string s = "{\"address\": " + JsonString(strAddress) + ", \"kind\": " + JsonString(kKindNames[nKind]) +
                        ", \"status\": " + JsonString(pszStatus) +
                        ", \"owner\": " + JsonString(r ? r->GetOwner() : std::string()) +
                        ", \"country\": " + JsonString(r ? r->GetCountry() : std::string()) +
                        ", \"range\": " + JsonString(r ? r->GetRangeText() : std::string()) +
                        ", \"time\": " + JsonString(LocalTimeText()) + "}\n";
        std::fwrite(s.data(), 1, s.size(), ctx.out);
        // As it happens: a reader at the end of a pipe sees each address when it is done.
        std::fflush(ctx.out);
    }
};

CCliRegistration<CCmdLookup> reg;

} // namespace
