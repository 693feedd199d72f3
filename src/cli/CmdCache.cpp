// addrscope-cli cache stats|clear|prune|export [--format csv] [-o OUT]: the shared
// answer cache, looked at, emptied, pruned or written out one row per network.

#include "cache/AnswerCache.h"
#include "cli/CmdCacheOpen.h"
#include "io/TableExport.h"
#include "io/TextFile.h"

#include <cerrno>

namespace {

std::string Megabytes(int64_t nBytes)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MB", double(nBytes) / double(1 << 20));
    return buf;
}

class CCmdCache : public CCliCommand
{
public:
    const char* Name() const override { return "cache"; }
    const char* Usage() const override { return "stats|clear|prune|export [--format csv] [-o OUT]"; }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("ACTION", "stats (what it holds), clear (drop every answer), prune (drop answers older than "
                                  "\"Answer Cache Days\" and shrink to \"Answer Cache MB\"), export (one row per "
                                  "cached network)"),
            CliValue("--format", "FORMAT", "export: csv (the default and only format)"),
            CliValue("-o,--output", "OUT", "export: write to OUT instead of standard output", "needs a file name"),
        };
        return params;
    }
    const char* Summary() const override
    {
        return "look at, clear, prune or export the answer cache shared by every document (setting \"Answer Cache\")";
    }
    const char* Notes() const override
    {
        return "The cache is ~/.cache/addrscope/answers.sqlite ($XDG_CACHE_HOME respected) unless \"Answer Cache\" "
               "in section Settings names another file; empty turns it off. The delegation data (see delegations) "
               "lives in the same file; clear and prune leave it.";
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& words = args.Words();
        if (words.size() != 1)
            return CliUsageError(ctx, *this, "expected one of stats, clear, prune, export");
        const std::string& action = words[0];
        if (action != "stats" && action != "clear" && action != "prune" && action != "export")
            return CliUsageError(ctx, *this, "unknown action " + action + " (stats, clear, prune or export)");
        if (args.Has("--format") && args.Value("--format") != "csv")
            return CliUsageError(ctx, *this, "unknown format " + args.Value("--format") + " (csv)");
        if ((args.Has("--format") || args.Has("--output")) && action != "export")
            return CliUsageError(ctx, *this, "--format and --output are for export");
        if (args.Has("--output") && args.Value("--output").empty())
            return CliUsageError(ctx, *this, "the output file name is empty");

        CCacheDatabase db;
        CAnswerCacheSettings settings;
        if (!OpenCliCache(ctx, Name(), db, settings))
            return cliExitFailed;
        CAnswerCache cache(db, settings.m_limits);
        const int64_t nNow = int64_t(std::time(nullptr));
        int status = cliExitDone;
        if (action == "stats") {
            const CAnswerCacheStats s = cache.Stats(nNow);
            if (!s.m_strError.empty()) {
                CliMessage(ctx, Name(), s.m_strError);
                return cliExitFailed;
            }
            std::string out = "file: " + settings.m_strPath + "\n";
            out += "answers: " + std::to_string(s.m_nEntries4 + s.m_nEntries6) + " networks (" +
                   std::to_string(s.m_nEntries4) + " IPv4, " + std::to_string(s.m_nEntries6) + " IPv6), " +
                   std::to_string(s.m_nFresh) + " within " + std::to_string(settings.m_limits.m_nMaxDays) + " days\n";
            out += "size: " + Megabytes(s.m_nAnswerBytes) + " of " + Megabytes(settings.m_limits.m_nMaxBytes) + "\n";
            out += "oldest: " + CliCacheTime(s.m_nOldest) + "\nnewest: " + CliCacheTime(s.m_nNewest) + "\n";
            out += "delegations:";
            if (s.m_delegations.empty())
                out += " none";
            for (const auto& [registry, count] : s.m_delegations)
                out += " " + registry + " " + std::to_string(count);
            out += "\n";
            CliWriteUntrusted(ctx.out, out);
        } else if (action == "clear") {
            const CCacheResult r = cache.Clear(nNow);
            if (!r) {
                CliMessage(ctx, Name(), "cannot clear " + settings.m_strPath + ": " + r.m_strError);
                return cliExitFailed;
            }
            if (!ctx.m_bQuiet)
                CliMessage(ctx, Name(), "every answer dropped from " + settings.m_strPath);
        } else if (action == "prune") {
            const CCachePruneResult r = cache.Prune(nNow);
            if (!r.m_strError.empty()) {
                CliMessage(ctx, Name(), "cannot prune " + settings.m_strPath + ": " + r.m_strError);
                return cliExitFailed;
            }
            if (!ctx.m_bQuiet)
                CliMessage(ctx, Name(), std::to_string(r.m_nDropped) + " answers dropped");
        } else {
            std::string csv = "range,first,last,family,source,server,fetched,lastUsed,bytes\r\n";
            int64_t nRows = 0;
            const CCacheResult r = cache.ForEach(
                [&](const CCachedAnswer& a) {
                    const std::vector<std::string> fields {CacheRangeText(a.m_first, a.m_last),
                                                           a.m_first.Text(),
                                                           a.m_last.Text(),
                                                           a.m_first.m_nFamily == 4 ? "ipv4" : "ipv6",
                                                           a.m_strSource,
                                                           a.m_strServer,
                                                           CliCacheTime(a.m_nFetched),
                                                           CliCacheTime(a.m_nUsed),
                                                           std::to_string(a.m_strAnswer.size())};
                    for (size_t i = 0; i < fields.size(); ++i) {
                        if (i)
                            csv += ',';
                        csv += CsvField(fields[i]);
                    }
                    csv += "\r\n";
                    ++nRows;
                },
                nNow);
            if (!r) {
                CliMessage(ctx, Name(), "cannot read " + settings.m_strPath + ": " + r.m_strError);
                status = cliExitFailed;
            }
            if (args.Has("--output")) {
                std::string strError;
                if (!WriteTextFile(args.Value("--output"), csv, strError)) {
                    CliMessage(ctx, Name(), "cannot write " + strError);
                    return cliExitFailed;
                }
            } else {
                CliWriteUntrusted(ctx.out, csv);
            }
            if (!ctx.m_bQuiet)
                CliMessage(ctx, Name(), std::to_string(nRows) + " networks exported");
        }
        const std::string notice = cache.TakeNotice();
        if (!notice.empty())
            CliMessage(ctx, Name(), notice);
        if (std::fflush(ctx.out) != 0 || std::ferror(ctx.out)) {
            CliMessage(ctx, Name(), "cannot write to standard output: " + SystemReason(errno));
            return cliExitFailed;
        }
        return status;
    }
};

CCliRegistration<CCmdCache> reg;

} // namespace
