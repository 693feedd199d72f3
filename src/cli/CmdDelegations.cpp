// addrscope-cli delegations update: downloads the five registries'
// delegated-*-extended-latest files, checks each against its .md5 and its record
// count, and imports them into the answer cache's file. A registry whose file
// fails any check keeps its previous data.

#include "cache/DelegationFile.h"
#include "cache/DelegationSettings.h"
#include "cache/DelegationStore.h"
#include "cli/CmdCacheOpen.h"
#include "cli/TerminalProgress.h"
#include "net/HttpDownload.h"

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
            const std::string why = Update(source, options, store);
            progress.Close();
            if (progress.WasCancelled()) {
                CliMessage(ctx, Name(), "cancelled; the data not yet downloaded stays as it was");
                return cliExitFailed;
            }
            if (why.rfind("imported", 0) == 0) {
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

private:
    // "imported N blocks (serial S)", or why the file was not imported.
    static std::string Update(const CDelegationSource& source, const CHttpDownloadOptions& options,
                              CDelegationStore& store)
    {
        const CHttpDownloadResult file = HttpDownload(source.m_strUrl, options);
        if (!file.m_bOk)
            return source.m_strUrl + ": " + file.m_strError;
        CHttpDownloadOptions md5Options = options;
        md5Options.m_nMaxBytes = 64 * 1024;
        md5Options.m_progress = nullptr;
        const CHttpDownloadResult md5 = HttpDownload(source.m_strUrl + ".md5", md5Options);
        if (!md5.m_bOk)
            return source.m_strUrl + ".md5: " + md5.m_strError;
        std::string why = CheckDelegationMd5(file.m_strBody, md5.m_strBody);
        if (!why.empty())
            return why;
        const CDelegationFile parsed = ParseDelegationFile(file.m_strBody);
        if (!parsed.IsRead())
            return parsed.m_strError;
        why = CheckDelegationCount(parsed);
        if (!why.empty())
            return why;
        const CCacheResult r = store.Replace(parsed, int64_t(std::time(nullptr)));
        if (!r)
            return "cannot import: " + r.m_strError;
        return "imported " + std::to_string(parsed.m_blocks.size()) + " blocks (serial " + parsed.m_strSerial + ")";
    }
};

CCliRegistration<CCmdDelegations> reg;

} // namespace
