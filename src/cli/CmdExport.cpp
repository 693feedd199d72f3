// addrscope-cli export DOC.qdl [--format raw|csv|json] [--by network] [-o OUT] [ADDR...]:
// the raw whois export, or the table of whois facts as CSV or JSON.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"
#include "cli/CmdCacheOpen.h"
#include "cli/TerminalProgress.h"
#include "core/record/DottedQuad.h"
#include "core/text/TextCase.h"
#include "io/TableExport.h"
#include "io/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether an existing file looks like a document: its name, or the record class
// tag right after the record count, or the four zero bytes of an empty document.
bool LooksLikeDocument(const std::string& strPath)
{
    if (EndsWithNoCase(strPath, ".qdl"))
        return true;
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[64] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    struct stat st { };
    const bool bStat = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (n == 4 && bStat && st.st_size == 4 && std::memcmp(head, "\0\0\0\0", 4) == 0)
        return true;
    static const char kTag[] = "CIPAddressData";
    return n > 6 && (unsigned char)head[4] == 0xff && (unsigned char)head[5] == 0xff &&
           std::search(head + 6, head + n, kTag, kTag + sizeof kTag - 1) != head + n;
}

class CCmdExport : public CCliCommand
{
public:
    const char* Name() const override { return "export"; }
    const char* Usage() const override { return "DOC.qdl [--format raw|csv|json] [--by network] [-o OUT] [ADDR...]"; }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DOC.qdl", "the document (read only: no lock is taken)"),
            CliValue("--format", "FORMAT", "raw (the stored whois texts, the default), csv or json (the whois facts)"),
            CliValue("--by", "network", "one row per network instead of per record (csv and json)"),
            CliValue("-o,--output", "OUT", "write to OUT (never the document itself, nor another document)",
                     "needs a file name"),
            CliArgument("ADDR", "the addresses to export; all records when none"),
        };
        return params;
    }
    const char* Summary() const override
    {
        return "write the stored whois texts of the given addresses (all records when none) in record envelopes, "
               "or their whois facts as a CSV or JSON table";
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& words = args.Words();
        const std::string strDoc = words.empty() ? "" : words[0];
        std::vector<std::string> addresses(words.begin() + (words.empty() ? 0 : 1), words.end());
        const bool bHaveOut = args.Has("--output");
        const std::string strOut = args.Value("--output");
        const std::string strFormat = args.Has("--format") ? args.Value("--format") : "raw";
        const std::string strBy = args.Value("--by");
        if (strDoc.empty())
            return CliUsageError(ctx, *this, "expected a document");
        if (bHaveOut && strOut.empty())
            return CliUsageError(ctx, *this, "the output file name is empty");
        if (strFormat != "raw" && strFormat != "csv" && strFormat != "json")
            return CliUsageError(ctx, *this, "unknown format " + strFormat + " (raw, csv or json)");
        const bool bByNetwork = strBy == "network";
        if (!strBy.empty() && !bByNetwork)
            return CliUsageError(ctx, *this, "--by takes network");
        if (bByNetwork && strFormat == "raw")
            return CliUsageError(ctx, *this, "--by network needs --format csv or json");

        // An IPv6 filter names its record in any text form.
        for (std::string& a : addresses)
            if (!CliAddressText(a, a))
                return CliUsageError(ctx, *this, "'" + a + "' is not an IP address");
        if (bHaveOut) {
            struct stat outSt { };
            struct stat docSt { };
            if (::stat(strOut.c_str(), &outSt) == 0) {
                if (::stat(strDoc.c_str(), &docSt) == 0 && outSt.st_dev == docSt.st_dev &&
                    outSt.st_ino == docSt.st_ino) {
                    CliMessage(ctx, Name(), "will not write the report over the document " + strDoc + " itself");
                    return cliExitUsage;
                }
                if (LooksLikeDocument(strOut)) {
                    CliMessage(ctx, Name(), "will not write the report over the document " + strOut);
                    return cliExitUsage;
                }
            }
        }

        CNetloreDoc doc;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strDoc, doc, false);
        if (!opened.m_bOpened)
            return opened.m_nExit;
        size_t nMissing = 0;
        for (const std::string& a : addresses)
            if (!doc.GetData().FindByIP(a)) {
                ++nMissing;
                CliMessage(ctx, Name(), a + " is not in " + strDoc);
            }
        if (addresses.empty()) {
            const CIPDataArray& data = doc.GetData();
            addresses.reserve(size_t(data.GetSize()));
            for (int i = 0; i < data.GetSize(); ++i)
                addresses.push_back(data.GetIPAddressAt(i));
        }

        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        std::string strReport;
        int nBlocks = 0;
        // None of them there at all: a failure (one missing among others is reported only).
        const bool bNoneThere = nMissing > 0 && nMissing == addresses.size();
        int status = opened.m_nErrors > 0 || bNoneThere ? 1 : 0;
        if (strFormat == "raw") {
            nBlocks = doc.CreateReport(addresses, strReport, progress);
            if (progress.WasCancelled()) {
                status = 1;
                CliMessage(ctx, Name(), "cancelled; writing what was built");
            }
            if (nBlocks == 0) {
                CliMessage(ctx, Name(),
                           bNoneThere ? "nothing to export: the asked addresses are not in " + strDoc
                                      : "nothing to export: no address has a completed whois lookup");
                return status;
            }
        } else {
            CDelegationLookup delegations;
            LoadCliDelegations(ctx, Name(), delegations);
            strReport = BuildTableExport(doc.GetData(), addresses,
                                         strFormat == "csv" ? ETableFormat::kCsv : ETableFormat::kJson,
                                         bByNetwork ? ETableRows::kNetworks : ETableRows::kRecords, nBlocks, {},
                                         delegations.IsEmpty() ? DelegationFactsFn() : delegations.Function());
        }
        if (bHaveOut) {
            std::string strError;
            if (!WriteTextFile(strOut, strReport, strError)) {
                CliMessage(ctx, Name(), "cannot write " + strError);
                return cliExitFailed;
            }
        } else {
            CliWriteUntrusted(ctx.out, strReport);
            if (std::fflush(ctx.out) != 0 || std::ferror(ctx.out)) {
                CliMessage(ctx, Name(), "cannot write to standard output: " + SystemReason(errno));
                return cliExitFailed;
            }
        }
        if (!ctx.m_bQuiet)
            CliMessage(ctx, Name(), std::to_string(nBlocks) + (bByNetwork ? " networks" : " records") + " exported");
        return status;
    }
};

CCliRegistration<CCmdExport> reg;

} // namespace
