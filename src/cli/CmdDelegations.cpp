// addrscope-cli delegations update: downloads the five registries'
// delegated-*-extended-latest files, checks each against its .md5 and its record
// count, and imports them into the answer cache's file. A registry whose file
// fails any check keeps its previous data.

#include "cache/DelegationStore.h"
#include "cli/CmdCacheOpen.h"
#include "cli/TerminalProgress.h"
#include "sched/DelegationUpdate.h"

namespace {

class CCmdDelegations : public CCliCommand
{
public:
    const char* Name() const override { return "delegations"; }
    const char* Usage() const override { return "update"; }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("update", "download and import the five registries' delegation files"),
        };
        return params;
    }
    const char* Summary() const override
    {
        return "download the registries' delegation files (who holds each block, its country and allocation date) "
               "into the answer cache's file";
    }
    const char* Notes() const override
    {
        return "The URLs are the values RIPE NCC, ARIN, APNIC, LACNIC and AFRINIC of section \"Delegation Files\" "
               "(the registries' own by default; an empty one is skipped), with FILE.md5 beside each; \"CA File\" "
               "there adds a certificate to trust. A file that is cut, fails its .md5 or holds fewer or more "
               "records than its first line says leaves that registry's previous data in place (exit status 1).";
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& words = args.Words();
        if (words.size() != 1 || words[0] != "update")
            return CliUsageError(ctx, *this, "expected update");
        CCacheDatabase db;
        CAnswerCacheSettings settings;
        if (!OpenCliCache(ctx, Name(), db, settings))
            return cliExitFailed;
        CDelegationStore store(db);

        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        CHttpDownloadOptions options;
        options.m_strCaFile = LoadDelegationCaFile(ctx.settings);
        options.m_progress = [&progress](int64_t nDone, int64_t nTotal) {
            if (nTotal > 0)
                progress.SetPos(int(nDone * 100 / nTotal));
            return !progress.PollCancel();
        };
        int nFailed = 0;
        int nImported = 0;
        for (const CDelegationSource& source : LoadDelegationSources(ctx.settings)) {
            if (source.m_strUrl.empty())
                continue;
            progress.Show("Downloading " + source.m_strName);
            const CDelegationUpdate update =
                UpdateDelegationSource(source, options, store, int64_t(std::time(nullptr)));
            const std::string& why = update.m_strText;
            progress.Close();
            if (progress.WasCancelled()) {
                CliMessage(ctx, Name(), "cancelled; the data not yet downloaded stays as it was");
                return cliExitFailed;
            }
            if (update.m_bImported) {
                ++nImported;
                if (!ctx.m_bQuiet)
                    CliMessage(ctx, Name(), source.m_strName + ": " + why);
            } else {
                ++nFailed;
                CliMessage(ctx, Name(), source.m_strName + ": " + why + "; the previous data is kept");
            }
        }
        if (!ctx.m_bQuiet)
            CliMessage(ctx, Name(),
                       std::to_string(nImported) + " registries updated, " + std::to_string(nFailed) + " failed");
        return nFailed > 0 ? cliExitFailed : cliExitDone;
    }
};

CCliRegistration<CCmdDelegations> reg;

} // namespace
