// addrscope-cli import DOC.qdl FILE [conditions]: the text-file import, or the web
// log import when a condition is given (the flags stand for the dialog's boxes).
// --lookup then looks up the addresses it added, as the lookup command does.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"
#include "cli/TerminalProgress.h"
#include "core/document/ImportTally.h"
#include "core/record/DottedQuad.h"
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
    const char* Help() const override
    {
        return "  DOC.qdl        the document (created when missing)\n"
               "  FILE           a text file or web log, plain or gzip; - reads standard input\n"
               "  --no-convert   do not turn host names into addresses\n"
               "  --not-found    keep log lines of requests that were not found (404)\n"
               "  --exploit      keep log lines of known exploit attempts\n"
               "  --page TEXT    keep log lines that request the page TEXT\n"
               "  --custom TEXT  keep log lines that hold TEXT\n"
               "  --lookup       then look up the addresses that were added, as lookup does\n";
    }
    const char* Summary() const override
    {
        return "import the addresses of a text file or web log (plain or gzip) into DOC; conditions keep only "
               "matching log lines; --lookup looks the added addresses up";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        std::vector<std::string> positional;
        bool bNoConvert = false;
        bool bLogImport = false;
        bool bLookup = false;
        CLogImportSettings conditions;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](const char* option, std::string& out) -> int {
                const std::string prefix = std::string(option) + "=";
                if (a.compare(0, prefix.size(), prefix) == 0) {
                    out = a.substr(prefix.size());
                    return 1;
                }
                if (a != option)
                    return 0;
                if (i + 1 >= args.size())
                    return -1;
                out = args[++i];
                return 1;
            };
            int r;
            if (a == "--no-convert")
                bNoConvert = true;
            else if (a == "--not-found")
                bLogImport = conditions.m_bError = true;
            else if (a == "--lookup")
                bLookup = true;
            else if (a == "--exploit")
                bLogImport = conditions.m_bExploit = true;
            else if ((r = value("--page", conditions.m_strDownloadFile)) != 0) {
                if (r < 0)
                    return CliUsageError(ctx, *this, "--page needs a text");
                bLogImport = conditions.m_bDownload = true;
            } else if ((r = value("--custom", conditions.m_strCustomText)) != 0) {
                if (r < 0)
                    return CliUsageError(ctx, *this, "--custom needs a text");
                bLogImport = conditions.m_bCustom = true;
            } else if (a.size() > 1 && a[0] == '-' && a != "--")
                return CliUsageError(ctx, *this, "unknown option " + a);
            else
                positional.push_back(a);
        }
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
        if (!reader.Open(strReadPath)) {
            CliMessage(ctx, Name(), "cannot open " + strShown + ": " + reader.Result().m_strError);
            return cliExitFailed;
        }

        const bool bConvert = !bNoConvert && CSettingsLoader(ctx.settings).Get(ProgramSettings::kConvertHostNames);
        CSystemNameResolver resolver;
        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        uint64_t nDropped = 0;
        int nAdded = 0;
        const int nBefore = doc.GetData().GetSize();
        CImportTally tally;
        if (bLogImport) {
            const std::string strPatterns = conditions.BuildPatterns();
            nAdded = doc.AddIPsFromSource(reader, bConvert, &strPatterns, resolver, progress, &nDropped, &tally);
        } else {
            nAdded = doc.AddIPsFromSource(reader, bConvert, nullptr, resolver, progress, &nDropped, &tally);
        }
        if (!ctx.m_bQuiet)
            CliMessage(ctx, Name(), strShown + ": " + FormatImportSummary(tally));
        const CTextReadResult& read = reader.Result();
        if (!read.m_bComplete && !progress.WasCancelled())
            CliMessage(ctx, Name(),
                       strShown + ": reading stopped after " + std::to_string(read.m_nTextBytes) +
                           " bytes: " + read.m_strError + "; imported what was read");
        if (read.m_nBytesCut > 0)
            CliMessage(ctx, Name(),
                       strShown + " holds NUL bytes; " + std::to_string(read.m_nBytesCut) +
                           " bytes after them in their 1000-byte chunks were skipped");
        if (nDropped > 0)
            CliMessage(ctx, Name(),
                       strShown + ": " + std::to_string(nDropped) + " bytes of overlong lines were skipped");
        if (read.m_nTextBytes == 0 && read.m_bComplete)
            CliMessage(ctx, Name(), strShown + " is empty: nothing to import");
        if (progress.WasCancelled())
            CliMessage(ctx, Name(), "cancelled; the addresses added so far are kept");

        int status = read.m_bComplete && nDropped == 0 && !progress.WasCancelled() ? cliExitDone : cliExitFailed;
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
    // The records added by the import are the last ones of the collection.
    static int LookUpAdded(CCliContext& ctx, const std::string& strDoc, const CNetloreDoc& doc, int nBefore)
    {
        CCliCommand* pLookup = CCliRegistry::Find("lookup");
        if (!pLookup)
            return 1;
        std::vector<std::string> lookupArgs {strDoc};
        for (int i = std::max(nBefore, 0); i < doc.GetData().GetSize(); ++i) {
            std::string strAddress = doc.GetData().GetIPAddressAt(i);
            if (IsValidDottedQuad(strAddress))
                lookupArgs.push_back(std::move(strAddress));
        }
        if (lookupArgs.size() == 1)
            return 0;
        return pLookup->Run(ctx, lookupArgs);
    }
};

CCliRegistration<CCmdImport> reg;

} // namespace
