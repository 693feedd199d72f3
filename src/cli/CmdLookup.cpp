// addrscope-cli lookup DOC.qdl [--kind K] [--source S] [--tick MS] [--force] [--json] [ADDR...|-]:
// queues addresses for one kind of lookup, runs the scheduler's ticks until nothing
// waits or runs, merges every result as it arrives and saves the document: at
// checkpoints along the way, when asked to stop by a signal, and at the end.

#include "cache/AnswerCacheFile.h"
#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliInput.h"
#include "cli/CliOutput.h"
#include "cli/CmdCacheOpen.h"
#include "cli/JsonText.h"
#include "cli/StopSignals.h"
#include "cli/TerminalProgress.h"
#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/DottedQuad.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "facts/RecordStatus.h"
#include "facts/WhoisFacts.h"
#include "facts/WhoisFactsCache.h"
#include "net/IPWhoisLookup.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "sched/LookupKindTable.h"
#include "sched/LookupRun.h"

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
// After a stop signal, how long the running lookups may take before the document is
// saved without them.
constexpr auto kStopGrace = 10s;

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

// What the command line does with a run: JSON lines and the progress line, the
// checkpoints' saves, the stop's messages.
class CCliRunListener : public CLookupRunListener
{
public:
    CCliRunListener(CCliContext& ctx, const CCliCommand& command, CLookupRun& run, CNetloreDoc& doc, int nKind,
                    const std::string& strDoc, bool bJson)
        : m_ctx(ctx)
        , m_command(command)
        , m_run(run)
        , m_doc(doc)
        , m_nKind(nKind)
        , m_strDoc(strDoc)
        , m_bJson(bJson)
        , m_bTerminal(isatty(fileno(ctx.err)) != 0)
        , m_progress(ctx.m_bQuiet ? nullptr : ctx.err)
    { }

    // Runs the queued lookups to their end; bInterrupted: a signal or Ctrl+C stopped them.
    void RunLookups(bool& bInterrupted)
    {
        m_progress.Show(std::string("Looking up (") + LookupKindRow(m_nKind)->m_pszName + ")");
        m_bShowing = true;
        // After the progress bar, so that these handlers are the ones in place.
        CStopSignals stopSignals;
        m_run.RunToEnd(
            [&] {
                const int nSignal = stopSignals.Received();
                if (nSignal == 0 && !m_progress.PollCancel())
                    return false;
                bInterrupted = true;
                m_progress.Close();
                CliMessage(m_ctx, m_command.Name(),
                           std::string(nSignal ? CStopSignals::Name(nSignal) : "interrupted") + ": waiting up to " +
                               std::to_string(kStopGrace.count()) + " s for " + std::to_string(m_run.RunningCount()) +
                               " running lookup(s), then saving" +
                               (nSignal == SIGINT ? " (Ctrl+C again quits without saving)" : ""));
                return true;
            },
            kStopGrace);
        m_progress.Close();
        if (m_run.StartFailed())
            std::fprintf(m_ctx.err, "addrscope-cli lookup: no worker thread could be started; stopping\n");
    }

    void OnAddressFinished(const CRunFinished& f) override
    {
        const bool bFailed = f.m_status != ERunStatus::ok;
        if (f.m_status == ERunStatus::gaveUp)
            CliMessage(m_ctx, m_command.Name(),
                       f.m_strAddress + ": no whois answer after " + std::to_string(f.m_nEmptyAnswers) + " tries" +
                           (f.m_strReason.empty() ? "" : " (" + f.m_strReason + ")"));
        if (f.m_bZeroByteCut)
            CliMessage(m_ctx, m_command.Name(), f.m_strAddress + ": " + RunTexts::kZeroByteCut);
        if (m_bJson)
            PrintJsonLine(f);
        // Progress follows what the servers answered; known ranges only count.
        if (m_ctx.m_bQuiet || !m_bShowing || !f.m_strReusedFrom.empty())
            return;
        const int nDone = m_run.Progress().GetDone(m_nKind);
        const int nTotal = std::max(1, m_run.Progress().GetTotal(m_nKind));
        char line[64];
        std::snprintf(line, sizeof line, "%d/%d ", nDone, m_run.Progress().GetTotal(m_nKind));
        if (m_bTerminal) {
            m_strProgress = line + TerminalSafe(f.m_strAddress);
            m_progress.SetText(WithBackoff(m_strProgress, m_strBackoff));
            m_progress.SetPos(int(int64_t(nDone) * 100 / nTotal));
        } else {
            std::fprintf(m_ctx.err, "%s%s%s%s\n", line, TerminalSafe(f.m_strAddress).c_str(), bFailed ? " failed" : "",
                         f.m_strReason.empty() ? "" : (" (" + f.m_strReason + ")").c_str());
        }
    }

    ECheckpoint OnCheckpointDue(bool) override
    {
        const int nUnsaved = m_run.UnsavedResults();
        // A failed checkpoint is reported; the final save tries again.
        if (SaveCliDocument(m_ctx, m_command.Name(), m_strDoc, m_doc) && m_ctx.m_bVerbose)
            CliMessage(m_ctx, m_command.Name(), "checkpoint: saved " + std::to_string(nUnsaved) + " new results");
        return ECheckpoint::written;
    }

    void OnPauseChanged(const std::string& strPauses) override
    {
        if (m_ctx.m_bQuiet)
            return;
        m_strBackoff = strPauses;
        if (m_bTerminal)
            m_progress.SetText(WithBackoff(m_strProgress, m_strBackoff));
        else
            std::fprintf(m_ctx.err, "%s\n",
                         strPauses.empty() ? "Query limit: pause over, asking again" : strPauses.c_str());
    }

    void OnRegistryDenied(const std::string&, const std::string& strReason) override
    {
        CliMessage(m_ctx, m_command.Name(), strReason + "; its addresses are not looked up");
    }

    void OnGraceOver(int nRunning) override
    {
        m_progress.Close();
        CliMessage(m_ctx, m_command.Name(),
                   "saving without the " + std::to_string(nRunning) + " lookup(s) still running");
    }

private:
    static std::string WithBackoff(const std::string& strProgress, const std::string& strBackoff)
    {
        if (strBackoff.empty())
            return strProgress;
        return strProgress.empty() ? strBackoff : strProgress + " | " + strBackoff;
    }

    void PrintJsonLine(const CRunFinished& f)
    {
        const char* pszStatus = f.m_status == ERunStatus::gaveUp   ? "gave-up"
                                : f.m_status == ERunStatus::failed ? "failed"
                                                                   : "ok";
        const CIPAddressData* r = m_doc.GetData().FindByIP(f.m_strAddress);
        std::string strOwner = r ? r->GetOwner() : std::string();
        std::string strCountry = r ? r->GetCountry() : std::string();
        std::string strRange = r ? r->GetRangeText() : std::string();
        // A record that keeps no IPv4 range: its answer's facts name the network.
        if (r && strRange.empty() && !IsValidDottedQuad(f.m_strAddress)) {
            const CWhoisFacts& facts = GetWhoisFacts(m_doc.GetData(), *r);
            strRange = facts.RangeText();
            if (strOwner.empty())
                strOwner = facts.m_strHolder;
            if (strCountry.empty())
                strCountry = facts.m_strCountry;
        }
        const ERecordStatus eAnswered =
            r && f.m_nKind == lookupWhois ? RecordStatusOf(*r, GetWhoisFacts(m_doc.GetData(), *r)) : ERecordStatus::kOk;
        const CRecordStatus detail = FinishedStatus(f, eAnswered);
        std::string s =
            "{\"address\": " + JsonString(f.m_strAddress) +
            ", \"kind\": " + JsonString(LookupKindRow(f.m_nKind)->m_pszName) +
            ", \"status\": " + JsonString(pszStatus) + ", \"owner\": " + JsonString(strOwner) +
            ", \"country\": " + JsonString(strCountry) + ", \"range\": " + JsonString(strRange) +
            ", \"time\": " + JsonString(LocalTimeText()) +
            (f.m_strReusedFrom.empty() ? std::string() : ", \"reusedFrom\": " + JsonString(f.m_strReusedFrom)) +
            // Added after the keys readers already know, so that lines keep their beginning.
            ", \"detail\": " + JsonString(std::string(RecordStatusToken(detail.m_eStatus))) +
            ", \"reason\": " + JsonString(detail.m_strReason) + "}\n";
        std::fwrite(s.data(), 1, s.size(), m_ctx.out);
        // As it happens: a reader at the end of a pipe sees each address when it is done.
        std::fflush(m_ctx.out);
    }

    CCliContext& m_ctx;
    const CCliCommand& m_command;
    CLookupRun& m_run;
    CNetloreDoc& m_doc;
    int m_nKind;
    std::string m_strDoc;
    bool m_bJson;
    bool m_bTerminal;
    CTerminalProgress m_progress;
    bool m_bShowing = false;
    // The progress line's text and the registry pauses shown with it.
    std::string m_strProgress;
    std::string m_strBackoff;
};

class CCmdLookup : public CCliCommand
{
public:
    const char* Name() const override { return "lookup"; }
    const char* Usage() const override
    {
        return "DOC.qdl [--kind whois|host|ping|trace] [--source rdap|whois] [--tick MS] [--force] [--json] "
               "[ADDR...|-]";
    }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DOC.qdl", "the document (created when addresses are given)"),
            CliArgument("ADDR", "the addresses to look up; all records when none; - reads them from standard input, "
                                "one per line"),
            CliValue("--kind", "KIND", "whois (the default), host, ping or trace"),
            CliValue("--source", "SOURCE",
                     "where whois lookups ask: rdap (the registry's RDAP service first) or whois (port 43 only); "
                     "the settings' \"Use RDAP\" when not given"),
            CliValue("--tick", "MS", "milliseconds between two scheduler ticks (2000)"),
            CliFlag("--force", "look up again even what is fresher than the rescan gap"),
            CliFlag("--json",
                    "one JSON object per finished address on standard output (keys address, kind, status, "
                    "owner, country, range, time, reusedFrom, detail, reason); the summary goes to standard error"),
        };
        return params;
    }
    const char* Notes() const override
    {
        return "The document is saved every \"Checkpoint Seconds\" (30) and every \"Checkpoint Results\" (500) "
               "results; SIGTERM, SIGHUP or Ctrl+C stop starting lookups, wait up to 10 s for the running ones, save "
               "and exit 1 (a second Ctrl+C quits unsaved).\n";
    }
    const char* Summary() const override
    {
        return "look up the given addresses (all records when none) with the settings' limits, store the results "
               "in DOC and print how many were looked up, skipped as fresh and failed";
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        int nKind = lookupWhois;
        int nTickMs = kDefaultTickMs;
        const bool bForce = args.Has("--force");
        const bool bJson = args.Has("--json");
        bool bFromInput = false;
        std::vector<std::string> positional;
        for (const std::string& a : args.Words()) {
            if (a == "-" && !positional.empty())
                bFromInput = true;
            else
                positional.push_back(a);
        }
        const std::string strSource = args.Value("--source");
        if (args.Has("--source") && strSource != "rdap" && strSource != "whois")
            return CliUsageError(ctx, *this, "unknown source '" + strSource + "'");
        if (args.Has("--kind")) {
            const CLookupKindRow* pRow = LookupKindNamed(args.Value("--kind"));
            if (!pRow)
                return CliUsageError(ctx, *this, "unknown kind '" + args.Value("--kind") + "'");
            nKind = pRow->m_nKind;
        }
        if (args.Has("--tick") && !ParseTick(args.Value("--tick"), nTickMs))
            return CliUsageError(ctx, *this, "--tick needs milliseconds from 1 to 3600000");
        if (positional.empty())
            return CliUsageError(ctx, *this, "expected a document");
        const std::string strDoc = positional[0];
        std::vector<std::string> given(positional.begin() + 1, positional.end());
        bool bLinesSkipped = false;
        if (bFromInput && !ReadAddresses(ctx, given, bLinesSkipped))
            return cliExitFailed;
        // An IPv6 address is looked up, and kept, in its RFC 5952 text.
        for (std::string& a : given)
            if (!CliAddressText(a, a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IP address");
        if (bFromInput && given.empty()) {
            CliMessage(ctx, Name(), "no addresses on standard input; nothing to look up");
            return cliExitDone;
        }

        CSystemNameResolver resolver;
        CLinuxIcmpService icmp;
        CSystemClock clock;
        // -v: every whois exchange of every worker, one whole line each (declared
        // before the run, whose workers call it until they are joined).
        const WhoisStepObserver verbose = [&ctx, this](const CWhoisStep& step) {
            CliMessage(ctx, Name(),
                       "asked " + step.m_strServer + ":" + std::to_string(step.m_nPort) + " for '" + step.m_strQuery +
                           "': " + DescribeWhoisQueryEnd(step.m_end) + ", " + std::to_string(step.m_pAnswer->size()) +
                           " bytes");
        };
        // Shared with every document and process; it outlives the run.
        CAnswerCacheFile cacheFile;
        // Names each address's registry for pacing, the back-off and RDAP, when present.
        CDelegationLookup delegations;
        if (nKind == lookupWhois)
            LoadCliDelegations(ctx, Name(), delegations);
        CNetloreDoc doc;
        CLookupRun run(doc, resolver, &icmp, clock);
        CLookupSession& session = run.Session();
        session.SetDelegations(&delegations);
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
        CSettingsLoader loader(ctx.settings);
        run.SetReuseKnownRanges(nKind == lookupWhois && !bForce && loader.Get(ProgramSettings::kReuseKnownRanges));
        // --force asks the registries again and refreshes what the cache holds.
        if (nKind == lookupWhois && cacheFile.Open(ctx.settings, CliCacheHomes(), int64_t(std::time(nullptr))))
            run.SetAnswerCache(cacheFile.Cache(), !bForce);
        if (const std::string strNotice = cacheFile.TakeNotice(); !strNotice.empty())
            CliMessage(ctx, Name(), strNotice);
        run.SetCheckpointCadence(loader.Get(ProgramSettings::kCheckpointSeconds),
                                 loader.Get(ProgramSettings::kCheckpointResults));
        run.OnDocumentChanged();
        CCliRunListener listener(ctx, *this, run, doc, nKind, strDoc, bJson);
        run.SetListener(&listener);
        CLookupChoice choice;
        choice.m_bKinds = {};
        choice.m_bKinds[size_t(nKind)] = true;
        choice.m_bSkipFresh = !bForce;
        const int nFresh = run.Queue(addresses, choice).m_nKept;
        const int nTotal = data.GetWaitingList(nKind).GetSize();

        bool bInterrupted = false;
        const int nLimit = settings.*row.m_pnLimit;
        if (nTotal > 0 && nLimit <= 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: the settings allow no %s lookup to run at once (limit %d); nothing "
                         "was looked up\n",
                         row.m_pszName, nLimit);
            data.ClearAllPending();
            bInterrupted = true;
        } else if (nTotal > 0) {
            listener.RunLookups(bInterrupted);
        }

        if (const std::string strNotice = run.TakeCacheNotice(); !strNotice.empty())
            CliMessage(ctx, Name(), strNotice);
        bool bSaved = true;
        if (doc.IsModified() || opened.m_bCreated)
            bSaved = SaveCliDocument(ctx, Name(), strDoc, doc);
        const CLookupCounts counts = session.GetCounts(doc, nKind);
        // The counts stand for stored results: none when the save failed.
        if (bSaved && !ctx.m_bQuiet) {
            // With --json, standard output holds JSON alone.
            FILE* summary = bJson ? ctx.err : ctx.out;
            std::fprintf(summary, "looked up %d, skipped as fresh %d, failed %d", counts.m_nDone, nFresh,
                         counts.m_nFailed);
            if (run.ReusedCount() > 0)
                std::fprintf(summary, ", answered from a known range %d", run.ReusedCount());
            if (run.CachedCount() > 0)
                std::fprintf(summary, ", answered from the cache %d", run.CachedCount());
            if (run.NotDone(nKind) > 0)
                std::fprintf(summary, ", not looked up %d", run.NotDone(nKind));
            std::fprintf(summary, "\n");
        }
        // What the whois lookups came to, in the window's words.
        if (!ctx.m_bQuiet && nKind == lookupWhois && run.Tally().Total() > 0)
            CliMessage(ctx, Name(), FormatRunSummary(run.Tally(), false));
        return bSaved && !bInterrupted && !bLinesSkipped && !run.StartFailed() && counts.m_nFailed == 0 &&
                       run.NotDone(nKind) <= 0
                   ? 0
                   : 1;
    }

private:
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
};

CCliRegistration<CCmdLookup> reg;

} // namespace
