// addrscope-cli export DOC.qdl [--format raw|csv|json] [--by network] [-o OUT] [ADDR...]:
// the raw whois export, or the table of whois facts as CSV or JSON.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/TerminalProgress.h"
#include "io/TableExport.h"
#include "io/TextFile.h"

namespace {

class CCmdExport : public CCliCommand
{
public:
    const char* Name() const override { return "export"; }
    const char* Usage() const override { return "DOC.qdl [--format raw|csv|json] [--by network] [-o OUT] [ADDR...]"; }
    const char* Summary() const override
    {
        return "write the stored whois texts of the given addresses (all records when none) in record envelopes, "
               "or their whois facts as a CSV or JSON table";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        std::string strDoc;
        std::string strOut;
        bool bHaveOut = false;
        std::vector<std::string> addresses;
        std::string strFormat = "raw";
        std::string strBy;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--format" || a == "--by") {
                if (i + 1 >= args.size())
                    return CliUsageError(ctx, *this, a + " needs a value");
                (a == "--format" ? strFormat : strBy) = args[++i];
            } else if (a.compare(0, 9, "--format=") == 0) {
                strFormat = a.substr(9);
            } else if (a.compare(0, 5, "--by=") == 0) {
                strBy = a.substr(5);
            } else if (a == "-o" || a == "--output") {
                if (i + 1 >= args.size())
                    return CliUsageError(ctx, *this, a + " needs a file name");
                strOut = args[++i];
                bHaveOut = true;
            } else if (a.compare(0, 9, "--output=") == 0) {
                strOut = a.substr(9);
                bHaveOut = true;
            } else if (a.size() > 1 && a[0] == '-') {
                return CliUsageError(ctx, *this, "unknown option " + a);
            } else if (strDoc.empty()) {
                strDoc = a;
            } else {
                addresses.push_back(a);
            }
        }
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

        CNetloreDoc doc;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strDoc, doc, false);
        if (!opened.m_bOpened)
            return 1;
        if (addresses.empty()) {
            const CIPDataArray& data = doc.GetData();
            addresses.reserve(size_t(data.GetSize()));
            for (int i = 0; i < data.GetSize(); ++i)
                addresses.push_back(data.GetIPAddressAt(i));
        }

        CTerminalProgress progress(ctx.err);
        std::string strReport;
        int nBlocks = 0;
        int status = opened.m_nErrors > 0 ? 1 : 0;
        if (strFormat == "raw") {
            nBlocks = doc.CreateReport(addresses, strReport, progress);
            if (progress.WasCancelled()) {
                status = 1;
                std::fprintf(ctx.err, "addrscope-cli export: cancelled; writing what was built\n");
            }
            if (nBlocks == 0) {
                std::fprintf(ctx.err,
                             "addrscope-cli export: nothing to export: no address has a completed whois lookup\n");
                return status;
            }
        } else {
            strReport = BuildTableExport(doc.GetData(), addresses,
                                         strFormat == "csv" ? ETableFormat::kCsv : ETableFormat::kJson,
                                         bByNetwork ? ETableRows::kNetworks : ETableRows::kRecords, nBlocks);
        }
        if (bHaveOut) {
            std::string strError;
            if (!WriteTextFile(strOut, strReport, strError)) {
                std::fprintf(ctx.err, "addrscope-cli export: cannot write %s: %s\n", strOut.c_str(), strError.c_str());
                return 1;
            }
        } else if (std::fwrite(strReport.data(), 1, strReport.size(), ctx.out) != strReport.size() ||
                   std::fflush(ctx.out) != 0) {
            std::fprintf(ctx.err, "addrscope-cli export: cannot write to standard output\n");
            return 1;
        }
        std::fprintf(ctx.err, "addrscope-cli export: %d %s exported\n", nBlocks, bByNetwork ? "networks" : "records");
        return status;
    }
};

CCliRegistration<CCmdExport> reg;

} // namespace
