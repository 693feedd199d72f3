// addrscope-cli import DOC.qdl FILE [conditions]: the text-file import, or the web
// log import when a condition is given (the flags stand for the dialog's boxes).
// --lookup then looks up the addresses it added, as the lookup command does.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"
#include "cli/StopProgress.h"
#include "cli/StopSignals.h"
#include "cli/TerminalProgress.h"
#include "core/document/ImportTally.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "io/ImportSummary.h"
#include "io/LogImportSettings.h"
#include "io/TextFile.h"
#include "net/SystemNameResolver.h"

#include <algorithm>

namespace {

class CCmdImport : public CCliCommand
{
public:
    const char* Name() const override { return "import"; }
    const char* Usage() const override
    {
        return "DOC.qdl FILE|- [--no-convert] [--not-found] [--exploit] [--page TEXT] [--custom TEXT] [--lookup]";
    }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DOC.qdl", "the document (created when missing)"),
            CliArgument("FILE", "a text file or web log, plain or gzip; - reads standard input"),
            CliFlag("--no-convert", "do not turn host names into addresses"),
            CliFlag("--not-found", "keep log lines of requests that were not found (404)"),
            CliFlag("--exploit", "keep log lines of known exploit attempts"),
            CliValue("--page", "TEXT", "keep log lines that request the page TEXT", "needs a text"),
            CliValue("--custom", "TEXT", "keep log lines that hold TEXT", "needs a text"),
            CliFlag("--lookup", "then look up the addresses that were added, as lookup does"),
        };
        return params;
    }
    const char* Summary() const override
    {
        return "import the addresses of a text file or web log (plain or gzip) into DOC; conditions keep only "
               "matching log lines; --lookup looks the added addresses up";
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& positional = args.Words();
        const bool bNoConvert = args.Has("--no-convert");
        const bool bLookup = args.Has("--lookup");
        CLogImportSettings conditions;
        conditions.m_bError = args.Has("--not-found");
        conditions.m_bExploit = args.Has("--exploit");
        conditions.m_bDownload = args.Has("--page");
        conditions.m_strDownloadFile = args.Value("--page");
        conditions.m_bCustom = args.Has("--custom");
        conditions.m_strCustomText = args.Value("--custom");
        const bool bLogImport =
            conditions.m_bError || conditions.m_bExploit || conditions.m_bDownload || conditions.m_bCustom;
        if (positional.size() != 2)
            return CliUsageError(ctx, *this, "expected a document and a file");
        const std::string& strDoc = positional[0];
        const std::string& strFile = positional[1];
        // Standard input goes through the same reader, so NUL bytes and gzip are handled alike.
        const std::string strReadPath = strFile == "-" ? "/dev/stdin" : strFile;
        const std::string strShown = strFile == "-" ? "standard input" : strFile;

        // Locked before reading, so that a lookup running on the document cannot save over the addresses.
        CNetloreDoc doc;
        CDocumentLock lock;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strDoc, doc, true, &lock);
        if (!opened.m_bOpened)
            return opened.m_nExit;

        // Read piece by piece while the addresses are added: a log of any size fits.
        CTextFileReader reader;
        reader.SkipDamagedLines();
        if (!reader.Open(strReadPath)) {
            CliMessage(ctx, Name(), "cannot open " + strShown + ": " + reader.Result().m_strError);
            return cliExitFailed;
        }

        const bool bConvert = !bNoConvert && CSettingsLoader(ctx.settings).Get(ProgramSettings::kConvertHostNames);
        CSystemNameResolver resolver;
        CTerminalProgress terminal(ctx.m_bQuiet ? nullptr : ctx.err);
        // SIGTERM and SIGHUP keep what was added so far, as Ctrl+C does.
        CStopSignals stopSignals;
        CStopProgress progress(terminal, stopSignals);
        uint64_t nDropped = 0;
        int nAdded = 0;
        const int nBefore = doc.GetData().GetSize();
        CImportTally tally;
        if (bLogImport) {
            // A custom text typed without its closing bar still matches, as in the window.
            const std::string strPatterns = conditions.ImportPatterns();
            nAdded = doc.AddIPsFromSource(reader, bConvert, &strPatterns, resolver, progress, &nDropped, &tally);
        } else {
            nAdded = doc.AddIPsFromSource(reader, bConvert, nullptr, resolver, progress, &nDropped, &tally);
        }
        if (!ctx.m_bQuiet)
            CliMessage(ctx, Name(), strShown + ": " + FormatImportSummary(tally));
        const CTextReadResult& read = reader.Result();
        const int nSignal = stopSignals.Received();
        const bool bCancelled = terminal.WasCancelled() || nSignal != 0;
        if (!read.m_bComplete && !bCancelled)
            CliMessage(ctx, Name(),
                       strShown + ": reading stopped after " + std::to_string(read.m_nTextBytes) +
                           " bytes: " + read.m_strError + "; imported what was read");
        if (read.m_nDamagedLines > 0)
            CliMessage(ctx, Name(),
                       strShown + " holds NUL bytes; " + std::to_string(read.m_nDamagedLines) + " damaged lines (" +
                           std::to_string(read.m_nBytesCut) + " bytes) were skipped");
        if (nDropped > 0)
            CliMessage(ctx, Name(),
                       strShown + ": " + std::to_string(nDropped) + " bytes of overlong lines were skipped");
        if (read.m_nTextBytes == 0 && read.m_bComplete)
            CliMessage(ctx, Name(), strShown + " is empty: nothing to import");
        if (bCancelled)
            CliMessage(ctx, Name(),
                       std::string(nSignal ? CStopSignals::Name(nSignal) : "cancelled") +
                           "; the addresses added so far are kept");

        int status =
            read.m_bComplete && nDropped == 0 && read.m_nDamagedLines == 0 && !bCancelled ? cliExitDone : cliExitFailed;
        if (nAdded > 0 || doc.IsModified() || opened.m_bCreated) {
            if (opened.m_nErrors > 0) {
                CliMessage(ctx, Name(),
                           strDoc + " was not saved: it did not read cleanly, and saving would drop what could not "
                                    "be read");
                return cliExitFailed;
            }
            if (!SaveCliDocument(ctx, Name(), strDoc, doc))
                return cliExitFailed;
        }
        // Printed only once the addresses are safely stored.
        if (!ctx.m_bQuiet)
            std::fprintf(ctx.out, "%d\n", nAdded);
        if (bLookup && nAdded > 0) {
            // The lookup takes the document's lock itself.
            lock.Release();
            status = std::max(status, LookUpAdded(ctx, strDoc, doc, nBefore));
        }
        return status;
    }

private:
    // The records added by the import are the last ones of the collection, of both
    // families in the order they came (IPv6 ones in their canonical text).
    static int LookUpAdded(CCliContext& ctx, const std::string& strDoc, const CNetloreDoc& doc, int nBefore)
    {
        CCliCommand* pLookup = CCliRegistry::Find("lookup");
        if (!pLookup)
            return 1;
        std::vector<std::string> lookupArgs {strDoc};
        std::string strAddress;
        for (int i = std::max(nBefore, 0); i < doc.GetData().GetSize(); ++i)
            if (CliAddressText(doc.GetData().GetIPAddressAt(i), strAddress))
                lookupArgs.push_back(strAddress);
        if (lookupArgs.size() == 1)
            return 0;
        return pLookup->Run(ctx, CCliArgs(std::move(lookupArgs)));
    }
};

CCliRegistration<CCmdImport> reg;

} // namespace
