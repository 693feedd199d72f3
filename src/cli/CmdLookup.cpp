// addrscope-cli lookup DOC.qdl [--kind K] [--source S] [--tick MS] [ADDR...]: queues addresses
// for one kind of lookup, runs the scheduler's ticks until nothing waits or runs,
// merges every result as it arrives and saves the document.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/TerminalProgress.h"
#include "core/Clock.h"
#include "core/DottedQuad.h"
#include "core/NetloreDoc.h"
#include "core/ProgramSettings.h"
#include "core/SettingsLoader.h"
#include "core/SettingsStore.h"
#include "core/WhoisFacts.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "sched/LookupKindTable.h"
#include "sched/LookupSession.h"
#include "sched/RangeReuse.h"

#include <algorithm>
#include <chrono>
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
        return "DOC.qdl [--kind whois|host|ping|trace] [--source rdap|whois] [--tick MS] [ADDR...]";
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
        const std::vector<std::string> given(positional.begin() + 1, positional.end());
        for (const std::string& a : given)
            if (!IsValidDottedQuad(a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IPv4 address");

        CSystemNameResolver resolver;
        CLinuxIcmpService icmp;
        CSystemClock clock;
        CLookupSession session(resolver, &icmp, clock);
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
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strDoc, doc, !given.empty());
        if (!opened.m_bOpened)
            return 1;
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
            if (bReuse && !data.HasFreshWhois(a, settings.m_dwRescanGap, dtNow) &&
                !data.GetWaitingList(nKind).Contains(a) &&
                !reuse.AnswerFromKnownRange(data, a, settings.m_dwRescanGap, dtNow).empty()) {
                ++nReused;
                doc.SetModifiedFlag();
                continue;
            }
            if (!session.Queue(doc, nKind, a) && !a.empty())
                ++nFresh;
        }
        const int nQueuedReused = nReused;
        const int nTotal = data.GetWaitingList(nKind).GetSize();

        bool bInterrupted = false;
        bool bGaveUp = false;
        const int nLimit = settings.*row.m_pnLimit;
        if (nTotal > 0 && nLimit <= 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli lookup: the settings allow no %s lookup to run at once (limit %d); nothing "
                         "was looked up\n",
                         row.m_pszName, nLimit);
            data.ClearAllPending();
            bGaveUp = true;
        } else if (nTotal > 0) {
            RunLookups(ctx, session, doc, nKind, nTotal, bReuse ? &reuse : nullptr, nReused, bInterrupted, bGaveUp);
        }

        const CLookupCounts counts = session.GetCounts(doc, nKind);
        std::fprintf(ctx.out, "looked up %d, skipped as fresh %d, failed %d", counts.m_nDone, nFresh, counts.m_nFailed);
        const int nNotDone = nTotal - counts.Finished() - (nReused - nQueuedReused);
        if (nReused > 0)
            std::fprintf(ctx.out, ", answered from a known range %d", nReused);
        if (nNotDone > 0)
            std::fprintf(ctx.out, ", not looked up %d", nNotDone);
        std::fprintf(ctx.out, "\n");

        bool bSaved = true;
        if (doc.IsModified() || opened.m_bCreated)
            bSaved = SaveCliDocument(ctx, Name(), strDoc, doc);
        return bSaved && !bInterrupted && !bGaveUp && counts.m_nFailed == 0 && nNotDone <= 0 ? 0 : 1;
    }

private:
    static void RunLookups(CCliContext& ctx, CLookupSession& session, CNetloreDoc& doc, int nKind, int nTotal,
                           CRangeReuse* pReuse, int& nReused, bool& bInterrupted, bool& bGaveUp)
    {
        const bool bTerminal = isatty(fileno(ctx.err)) != 0;
        CTerminalProgress progress(ctx.err);
        progress.Show(std::string("Looking up (") + LookupKindRow(nKind)->m_pszName + ")");

        const int nReusedBefore = nReused;
        auto report = [&](const CLookupOutcome& o) {
            if (pReuse && o.m_bRequeued) {
                // Back in the waiting list: a neighbour's answer that came meanwhile may cover it.
                CIPDataArray& data = doc.GetData();
                if (pReuse
                        ->AnswerFromKnownRange(data, o.m_strAddress, session.GetSettings().m_dwRescanGap,
                                               session.GetEnvironment().m_pClock->Now())
                        .empty()) {
                    pReuse->NoteWaiting(o.m_strAddress);
                    return;
                }
                data.GetWaitingList(nKind).RemoveTexts({o.m_strAddress});
                ++nReused;
                doc.SetModifiedFlag();
            }
            if (o.m_bRequeued)
                return;
            if (pReuse && o.m_bStored) {
                CIPDataArray& data = doc.GetData();
                if (const CIPAddressData* pRecord = data.FindByIP(o.m_strAddress)) {
                    const CWhoisFacts facts = data.GetWhoisFacts(*pRecord);
                    nReused += int(pReuse
                                       ->ApplyFinalAnswer(data, o.m_strAddress, pRecord->GetRawWhois(), facts,
                                                          pRecord->GetWhoisDone())
                                       .size());
                }
            }
            if (o.m_bGaveUp)
                std::fprintf(ctx.err, "addrscope-cli lookup: %s: no whois answer after %d tries\n",
                             o.m_strAddress.c_str(), o.m_nEmptyAnswers);
            const int nDone = session.GetCounts(doc, nKind).Finished() + nReused - nReusedBefore;
            char line[64];
            std::snprintf(line, sizeof line, "%d/%d ", nDone, nTotal);
            if (bTerminal) {
                progress.SetText(line + o.m_strAddress);
                progress.SetPos(int(int64_t(nDone) * 100 / nTotal));
            } else {
                std::fprintf(ctx.err, "%s%s%s\n", line, o.m_strAddress.c_str(), o.m_bFailed ? " failed" : "");
            }
        };

        while (doc.HasPendingLookups()) {
            const auto now = Clock::now();
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
            if (!bStopping && progress.PollCancel()) {
                bInterrupted = true;
                // Back to the default action: a second Ctrl+C ends the process unsaved.
                progress.Close();
                size_t nRunning = 0;
                for (int k = 0; k < kLookupKindCount; ++k)
                    nRunning += doc.GetData().GetRunningList(k).size();
                std::fprintf(ctx.err,
                             "addrscope-cli lookup: interrupted; waiting for %zu running lookup(s) to finish, then "
                             "saving (Ctrl+C again quits without saving)\n",
                             nRunning);
            }
            if (bInterrupted)
                session.Stop(doc);
        }
        progress.Close();
        session.JoinAll();
        session.MergeArrived(&doc, Clock::now(), report);
    }
};

CCliRegistration<CCmdLookup> reg;

} // namespace
