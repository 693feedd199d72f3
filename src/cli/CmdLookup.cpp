// addrscope-cli lookup DOC.qdl [--kind K] [--tick MS] [ADDR...]: queues addresses
// for one kind of lookup, runs the scheduler's ticks until nothing waits or runs,
// merges every result as it arrives and saves the document.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/TerminalProgress.h"
#include "core/Clock.h"
#include "core/DottedQuad.h"
#include "core/LookupJob.h"
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
    const char* Usage() const override { return "DOC.qdl [--kind whois|host|ping|trace] [--tick MS] [ADDR...]"; }
    const char* Summary() const override
    {
        return "look up the given addresses (all records when none) with the settings' limits, store the results "
               "in DOC and print how many were looked up, skipped as fresh and failed";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        int nKind = lookupWhois;
        int nTickMs = kDefaultTickMs;
        std::vector<std::string> positional;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            std::string value;
            bool bKind = false;
            bool bTick = false;
            if (a == "--kind" || a == "--tick") {
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
        const std::vector<std::string> given(positional.begin() + 1, positional.end());
        for (const std::string& a : given)
            if (!IsValidDottedQuad(a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IPv4 address");

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
        for (const std::string& a : addresses) {
            bool bQueued = false;
            switch (nKind) {
            case lookupWhois:
                bQueued = doc.QueueWhoisLookup(a, settings.m_dwRescanGap);
                break;
            case lookupHostName:
                bQueued = doc.QueueHostNameLookup(a);
                break;
            case lookupPing:
                bQueued = doc.QueuePingLookup(a, settings.m_dwRescanGap);
                break;
            default:
                bQueued = doc.QueueTraceLookup(a, settings.m_dwRescanGap);
                break;
            }
            if (!bQueued && !a.empty())
                ++nFresh;
        }
        const int nTotal = data.GetWaitingList(nKind).GetSize();

        CCounts counts;
        bool bInterrupted = false;
        bool bGaveUp = false;
        if (nTotal > 0 && LimitOf(settings, nKind) <= 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: the settings allow no %s lookup to run at once (limit %d); nothing "
                         "was looked up\n",
                         kKindNames[nKind], LimitOf(settings, nKind));
            data.ClearAllPending();
            bGaveUp = true;
        } else if (nTotal > 0) {
            RunLookups(ctx, doc, nKind, nTotal, nTickMs, settings, servers, counts, bInterrupted, bGaveUp);
        }

        bool bSaved = true;
        if (doc.IsModified() || opened.m_bCreated)
            bSaved = SaveCliDocument(ctx, Name(), strDoc, doc);
        const int nNotDone = nTotal - counts.m_nLookedUp - counts.m_nFailed;
        // The counts stand for stored results: none when the save failed.
        if (bSaved && !ctx.m_bQuiet) {
            std::fprintf(ctx.out, "looked up %d, skipped as fresh %d, failed %d", counts.m_nLookedUp, nFresh,
                         counts.m_nFailed);
            if (nNotDone > 0)
                std::fprintf(ctx.out, ", not looked up %d", nNotDone);
            std::fprintf(ctx.out, "\n");
        }
        return bSaved && !bInterrupted && !bGaveUp && counts.m_nFailed == 0 && nNotDone <= 0 ? 0 : 1;
    }

private:
    struct CCounts {
        int m_nLookedUp = 0;
        int m_nFailed = 0;
    };

    void RunLookups(CCliContext& ctx, CNetloreDoc& doc, int nKind, int nTotal, int nTickMs,
                    const CConnSettings& settings, const CWhoisServerTable& servers, CCounts& counts,
                    bool& bInterrupted, bool& bGaveUp)
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
        CTerminalProgress progress(ctx.err);
        progress.Show(std::string("Looking up (") + kKindNames[nKind] + ")");
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
            if (nCodeKind == lookupWhois && bFailed) {
                // The merge put the address back in the waiting list.
                if (++emptyAnswers[strAddress] < kMaxEmptyWhoisAnswers && !bStopping)
                    return;
                CSerStringArray& waiting = data.GetWaitingList(lookupWhois);
                waiting.RemoveAt(waiting.Find(strAddress));
                std::fprintf(ctx.err, "addrscope-cli lookup: %s: no whois answer after %d tries\n", strAddress.c_str(),
                             emptyAnswers[strAddress]);
            }
            ++nDone;
            ++(bFailed ? counts.m_nFailed : counts.m_nLookedUp);
            char line[64];
            std::snprintf(line, sizeof line, "%d/%d ", nDone, nTotal);
            if (bTerminal) {
                progress.SetText(line + strAddress);
                progress.SetPos(int(int64_t(nDone) * 100 / nTotal));
            } else {
                std::fprintf(ctx.err, "%s%s%s\n", line, strAddress.c_str(), bFailed ? " failed" : "");
            }
        };

        while (data.HasPending()) {
            const auto now = Clock::now();
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
            if (!bStopping && progress.PollCancel()) {
                bInterrupted = bStopping = true;
                // Back to the default action: a second Ctrl+C ends the process unsaved.
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += data.GetRunningList(k).size();
                std::fprintf(ctx.err,
                             "addrscope-cli lookup: interrupted; waiting for %zu running lookup(s) to finish, then "
                             "saving (Ctrl+C again quits without saving)\n",
                             nRunning);
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
};

CCliRegistration<CCmdLookup> reg;

} // namespace
