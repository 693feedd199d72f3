// addrscope-cli lookup DOC.qdl [--kind K] [--source S] [--tick MS] [--force] [--json] [ADDR...|-]:
// queues addresses for one kind of lookup, runs the scheduler's ticks until nothing
// waits or runs, merges every result as it arrives and saves the document: at
// checkpoints along the way, when asked to stop by a signal, and at the end.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliInput.h"
#include "cli/CliOutput.h"
#include "cli/JsonText.h"
#include "cli/StopSignals.h"
#include "cli/TerminalProgress.h"
#include "core/Clock.h"
#include "core/DottedQuad.h"
#include "core/NetloreDoc.h"
#include "core/ProgramSettings.h"
#include "core/SettingsLoader.h"
#include "core/SettingsStore.h"
#include "core/WhoisFacts.h"
#include "net/IPWhoisLookup.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "sched/LookupKindTable.h"
#include "sched/LookupSession.h"
#include "sched/RangeReuse.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kDefaultTickMs = 2000;
constexpr int kMaxTickMs = 3600 * 1000;
// Ticks in a row on which no worker thread could be started before giving up.
constexpr int kMaxStartFailures = 10;
// Longest wait between two looks at Ctrl+C.
constexpr auto kPollSlice = 200ms;
// After a stop signal, how long the running lookups may take before the document is
// saved without them.
constexpr auto kStopGrace = 10s;
// Saves along the way, so that a crash or a kill loses at most this much work.
constexpr int kDefaultCheckpointSeconds = ProgramSettings::kCheckpointSeconds.m_nDefault;
constexpr int kDefaultCheckpointResults = ProgramSettings::kCheckpointResults.m_nDefault;

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

bool ParseTick(const std::string& text, int& nMs)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    nMs = std::stoi(text);
    return nMs > 0 && nMs <= kMaxTickMs;
}

class CCmdLookup : public CCliCommand
{
public:
    const char* Name() const override { return "lookup"; }
    const char* Usage() const override
    {
        return "DOC.qdl [--kind whois|host|ping|trace] [--source rdap|whois] [--tick MS] [--force] [--json] "
               "[ADDR...|-]";
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
        std::string strSource;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--source" || a.compare(0, 9, "--source=") == 0) {
                if (a == "--source" && i + 1 >= args.size())
                    return CliUsageError(ctx, *this, "--source needs a value");
                strSource = a == "--source" ? args[++i] : a.substr(9);
                if (strSource != "rdap" && strSource != "whois")
                    return CliUsageError(ctx, *this, "unknown source '" + strSource + "'");
                continue;
            }
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
                const CLookupKindRow* pRow = LookupKindNamed(value);
                if (!pRow)
                    return CliUsageError(ctx, *this, "unknown kind '" + value + "'");
                nKind = pRow->m_nKind;
            }
            if (bTick && !ParseTick(value, nTickMs))
                return CliUsageError(ctx, *this, "--tick needs milliseconds from 1 to 3600000");
        }
        if (positional.empty())
            return CliUsageError(ctx, *this, "expected a document");
        const std::string strDoc = positional[0];
        std::vector<std::string> given(positional.begin() + 1, positional.end());
        bool bLinesSkipped = false;
        if (bFromInput && !ReadAddresses(ctx, given, bLinesSkipped))
            return cliExitFailed;
        for (const std::string& a : given)
            if (!IsValidDottedQuad(a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IPv4 address");
        if (bFromInput && given.empty()) {
            CliMessage(ctx, Name(), "no addresses on standard input; nothing to look up");
            return cliExitDone;
        }

        CSystemNameResolver resolver;
        CLinuxIcmpService icmp;
        CSystemClock clock;
        // -v: every whois exchange of every worker, one whole line each (declared
        // before the session, whose workers call it until they are joined).
        const WhoisStepObserver verbose = [&ctx, this](const CWhoisStep& step) {
            CliMessage(ctx, Name(),
                       "asked " + step.m_strServer + ":" + std::to_string(step.m_nPort) + " for '" + step.m_strQuery +
                           "': " + DescribeWhoisQueryEnd(step.m_end) + ", " + std::to_string(step.m_pAnswer->size()) +
                           " bytes");
        };
        CLookupSession session(resolver, &icmp, clock);
        if (ctx.m_bVerbose)
            session.SetWhoisObserver(&verbose);
        session.LoadSettings(ctx.settings);
        if (!strSource.empty())
            session.SetWhoisSource(strSource == "rdap" ? EWhoisSource::kRdap : EWhoisSource::kPort43);
        if (session.GetWhoisSource() == EWhoisSource::kRdap && nKind == lookupWhois &&
            !session.GetRdapProblem().empty())
            std::fprintf(ctx.err, "addrscope-cli lookup: %s\n", session.GetRdapProblem().c_str());
        session.SetTickInterval(std::chrono::milliseconds(nTickMs));
        const CConnSettings& settings = session.GetSettings();
        const CLookupKindRow& row = *LookupKindRow(nKind);

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

        // One query per network: whois answers cover the addresses waiting inside
        // their range, and fresh ranges the document holds answer at queue time.
        CRangeReuse reuse;
        const bool bReuse =
            nKind == lookupWhois && CSettingsLoader(ctx.settings).Get(ProgramSettings::kReuseKnownRanges);
        const COleDateTime dtNow = clock.Now();
        if (bReuse)
            for (int i = 0; i < data.GetSize(); ++i) {
                const CIPAddressData* pRecord = data.GetAt(i);
                if (data.HasFreshWhois(pRecord->IPAddressView(), settings.m_dwRescanGap, dtNow))
                    reuse.NoteKnownRange(pRecord->IPAddressView(), data.GetWhoisFacts(*pRecord),
                                         pRecord->GetWhoisDone());
            }
        int nFresh = 0;
        int nReused = 0;
        for (const std::string& a : addresses) {
            if (bReuse && !bForce && !data.HasFreshWhois(a, settings.m_dwRescanGap, dtNow) &&
                !data.GetWaitingList(nKind).Contains(a)) {
                const std::string strFrom = reuse.AnswerFromKnownRange(data, a, settings.m_dwRescanGap, dtNow);
                if (!strFrom.empty()) {
                    ++nReused;
                    doc.SetModifiedFlag();
                    if (bJson)
                        PrintJsonLine(ctx, data, a, nKind, "ok", strFrom);
                    continue;
                }
            }
            bool bQueued = bForce ? session.Queue(doc, nKind, a, 0) : session.Queue(doc, nKind, a);
            // A known host name is never asked again, unless forced.
            if (!bQueued && bForce && nKind == lookupHostName && !a.empty()) {
                data.GetWaitingList(lookupHostName).AddUnique(a);
                bQueued = true;
            }
            if (!bQueued && !a.empty())
                ++nFresh;
        }
        const int nTotal = data.GetWaitingList(nKind).GetSize();
        const int nQueuedReused = nReused;

        bool bInterrupted = false;
        bool bGaveUp = false;
        auto notDone = [&] { return nTotal - session.GetCounts(doc, nKind).Finished() - (nReused - nQueuedReused); };
        auto saveAndReport = [&] {
            bool bSaved = true;
            if (doc.IsModified() || opened.m_bCreated)
                bSaved = SaveCliDocument(ctx, Name(), strDoc, doc);
            // The counts stand for stored results: none when the save failed.
            if (bSaved && !ctx.m_bQuiet) {
                const CLookupCounts counts = session.GetCounts(doc, nKind);
                // With --json, standard output holds JSON alone.
                FILE* summary = bJson ? ctx.err : ctx.out;
                std::fprintf(summary, "looked up %d, skipped as fresh %d, failed %d", counts.m_nDone, nFresh,
                             counts.m_nFailed);
                if (nReused > 0)
                    std::fprintf(summary, ", answered from a known range %d", nReused);
                if (notDone() > 0)
                    std::fprintf(summary, ", not looked up %d", notDone());
                std::fprintf(summary, "\n");
            }
            return bSaved;
        };
        CRunOptions options;
        options.m_strDoc = strDoc;
        options.m_bJson = bJson;
        options.m_nCheckpointSeconds = CSettingsLoader(ctx.settings).Get(ProgramSettings::kCheckpointSeconds);
        options.m_nCheckpointResults = CSettingsLoader(ctx.settings).Get(ProgramSettings::kCheckpointResults);
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
        const int nLimit = settings.*row.m_pnLimit;
        if (nTotal > 0 && nLimit <= 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: the settings allow no %s lookup to run at once (limit %d); nothing "
                         "was looked up\n",
                         row.m_pszName, nLimit);
            data.ClearAllPending();
            bGaveUp = true;
        } else if (nTotal > 0) {
            RunLookups(ctx, session, doc, nKind, nTotal, bReuse ? &reuse : nullptr, nReused, options, bInterrupted,
                       bGaveUp);
        }

        const bool bSaved = saveAndReport();
        const CLookupCounts counts = session.GetCounts(doc, nKind);
        return bSaved && !bInterrupted && !bGaveUp && !bLinesSkipped && counts.m_nFailed == 0 && notDone() <= 0 ? 0 : 1;
    }

private:
    struct CRunOptions {
        std::string m_strDoc;
        bool m_bJson = false;
        int m_nCheckpointSeconds = kDefaultCheckpointSeconds;
        int m_nCheckpointResults = kDefaultCheckpointResults;
        std::function<void()> m_fnAbandon; // saves and ends the process; does not return
    };

    // One address or host per line; blanks around it and empty lines are skipped.
    bool ReadAddresses(CCliContext& ctx, std::vector<std::string>& out, bool& bLinesSkipped)
    {
        const CCliLineRead read = CliReadLines(ctx.in, [&](const std::string& line) {
            const size_t first = line.find_first_not_of(" \t\r");
            const size_t last = line.find_last_not_of(" \t\r");
            if (first != std::string::npos)
                out.push_back(line.substr(first, last - first + 1));
        });
        if (!read.m_strError.empty()) {
            CliMessage(ctx, Name(), "cannot read standard input: " + read.m_strError);
            return false;
        }
        if (read.m_nLongLines > 0) {
            CliMessage(ctx, Name(),
                       "standard input: " + std::to_string(read.m_nLongLines) + " lines longer than " +
                           std::to_string(kMaxInputLine >> 20) + " MiB were skipped");
            bLinesSkipped = true;
        }
        return true;
    }

    void RunLookups(CCliContext& ctx, CLookupSession& session, CNetloreDoc& doc, int nKind, int nTotal,
                    CRangeReuse* pReuse, int& nReused, const CRunOptions& options, bool& bInterrupted, bool& bGaveUp)
    {
        const int nReusedBefore = nReused;
        const bool bTerminal = isatty(fileno(ctx.err)) != 0;
        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        progress.Show(std::string("Looking up (") + LookupKindRow(nKind)->m_pszName + ")");
        // After the progress bar, so that these handlers are the ones in place.
        CStopSignals stopSignals;
        auto lastSave = Clock::now();
        int nSinceSave = 0;
        // The progress line's text and the registry pauses shown with it.
        std::string strProgress;
        std::string strBackoff;
        auto showBackoff = [&] {
            const std::string strNow = session.BackoffText();
            if (strNow == strBackoff || ctx.m_bQuiet)
                return;
            const bool bEnded = strNow.empty();
            strBackoff = strNow;
            if (bTerminal)
                progress.SetText(WithBackoff(strProgress, strBackoff));
            else
                std::fprintf(ctx.err, "%s\n", bEnded ? "Query limit: pause over, asking again" : strNow.c_str());
        };
        auto stopDeadline = Clock::time_point::max();

        auto report = [&](const CLookupOutcome& o) {
            if (pReuse && o.m_bRequeued) {
                // Back in the waiting list: a neighbour's answer that came meanwhile may cover it.
                CIPDataArray& data = doc.GetData();
                const std::string strFrom =
                    pReuse->AnswerFromKnownRange(data, o.m_strAddress, session.GetSettings().m_dwRescanGap,
                                                 session.GetEnvironment().m_pClock->Now());
                if (strFrom.empty()) {
                    pReuse->NoteWaiting(o.m_strAddress);
                    return;
                }
                data.GetWaitingList(nKind).RemoveTexts({o.m_strAddress});
                ++nReused;
                doc.SetModifiedFlag();
                if (options.m_bJson)
                    PrintJsonLine(ctx, data, o.m_strAddress, o.m_nKind, "ok", strFrom);
            }
            if (o.m_bRequeued)
                return;
            std::vector<std::string> answered;
            if (pReuse && o.m_bStored) {
                CIPDataArray& data = doc.GetData();
                if (const CIPAddressData* pRecord = data.FindByIP(o.m_strAddress)) {
                    const CWhoisFacts facts = data.GetWhoisFacts(*pRecord);
                    answered = pReuse->ApplyFinalAnswer(data, o.m_strAddress, pRecord->GetRawWhois(), facts,
                                                        pRecord->GetWhoisDone());
                    nReused += int(answered.size());
                }
            }
            if (o.m_bGaveUp)
                CliMessage(ctx, Name(),
                           o.m_strAddress + ": no whois answer after " + std::to_string(o.m_nEmptyAnswers) + " tries");
            ++nSinceSave;
            if (options.m_bJson) {
                PrintJsonLine(ctx, doc.GetData(), o.m_strAddress, o.m_nKind,
                              o.m_bGaveUp   ? "gave-up"
                              : o.m_bFailed ? "failed"
                                            : "ok");
                for (const std::string& strNeighbour : answered)
                    PrintJsonLine(ctx, doc.GetData(), strNeighbour, o.m_nKind, "ok", o.m_strAddress);
            }
            if (ctx.m_bQuiet)
                return;
            const int nDone = session.GetCounts(doc, nKind).Finished() + nReused - nReusedBefore;
            char line[64];
            std::snprintf(line, sizeof line, "%d/%d ", nDone, nTotal);
            if (bTerminal) {
                strProgress = line + TerminalSafe(o.m_strAddress);
                progress.SetText(WithBackoff(strProgress, strBackoff));
                progress.SetPos(int(int64_t(nDone) * 100 / nTotal));
            } else {
                std::fprintf(ctx.err, "%s%s%s\n", line, TerminalSafe(o.m_strAddress).c_str(),
                             o.m_bFailed ? " failed" : "");
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

        while (doc.HasPendingLookups()) {
            const auto now = Clock::now();
            if (now >= stopDeadline) {
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += doc.GetData().GetRunningList(k).size();
                CliMessage(ctx, Name(), "saving without the " + std::to_string(nRunning) + " lookup(s) still running");
                session.Stop(doc);
                options.m_fnAbandon();
            }
            if (session.TickIfDue(doc) && session.ConsecutiveStartFailures() >= kMaxStartFailures &&
                session.RunningWorkers() == 0 && doc.GetData().GetRunningList(nKind).empty()) {
                std::fprintf(ctx.err, "addrscope-cli lookup: no worker thread could be started; stopping\n");
                bGaveUp = true;
                session.Stop(doc);
                continue;
            }
            const bool bStopping = session.IsStopping();
            session.MergeArrived(&doc, bStopping ? now + kPollSlice : std::min(session.NextTick(), now + kPollSlice),
                                 report);
            showBackoff();
            checkpoint();
            const int nSignal = stopSignals.Received();
            if (!bStopping && !bInterrupted && (nSignal != 0 || progress.PollCancel())) {
                bInterrupted = true;
                stopDeadline = Clock::now() + kStopGrace;
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += doc.GetData().GetRunningList(k).size();
                CliMessage(ctx, Name(),
                           std::string(nSignal ? CStopSignals::Name(nSignal) : "interrupted") + ": waiting up to " +
                               std::to_string(kStopGrace.count()) + " s for " + std::to_string(nRunning) +
                               " running lookup(s), then saving" +
                               (nSignal == SIGINT ? " (Ctrl+C again quits without saving)" : ""));
            }
            if (bInterrupted)
                session.Stop(doc);
        }
        progress.Close();
        session.JoinAll();
        session.MergeArrived(&doc, Clock::now(), report);
    }

    static std::string WithBackoff(const std::string& strProgress, const std::string& strBackoff)
    {
        if (strBackoff.empty())
            return strProgress;
        return strProgress.empty() ? strBackoff : strProgress + " | " + strBackoff;
    }

    // strReusedFrom: the address whose answer this one received from its range.
    static void PrintJsonLine(CCliContext& ctx, const CIPDataArray& data, const std::string& strAddress, int nKind,
                              const char* pszStatus, const std::string& strReusedFrom = std::string())
    {
        const CIPAddressData* r = data.FindByIP(strAddress);
        std::string s =
            "{\"address\": " + JsonString(strAddress) + ", \"kind\": " + JsonString(LookupKindRow(nKind)->m_pszName) +
            ", \"status\": " + JsonString(pszStatus) + ", \"owner\": " + JsonString(r ? r->GetOwner() : std::string()) +
            ", \"country\": " + JsonString(r ? r->GetCountry() : std::string()) +
            ", \"range\": " + JsonString(r ? r->GetRangeText() : std::string()) +
            ", \"time\": " + JsonString(LocalTimeText()) +
            (strReusedFrom.empty() ? std::string() : ", \"reusedFrom\": " + JsonString(strReusedFrom)) + "}\n";
        // As it happens: a reader at the end of a pipe sees each address when it is done.
        CliWriteFlushed(ctx.out, s);
    }
};

CCliRegistration<CCmdLookup> reg;

} // namespace
