// addrscope-cli export DOC.qdl [-o OUT] [ADDR...]: the raw whois export.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/TerminalProgress.h"
#include "io/TextFile.h"

namespace {

class CCmdExport : public CCliCommand
{
public:
    const char* Name() const override { return "export"; }
    const char* Usage() const override { return "DOC.qdl [-o OUT] [ADDR...]"; }
    const char* Summary() const override
    {
        return "write the stored whois texts of the given addresses (all records when none) in record envelopes";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        std::string strDoc;
        std::string strOut;
        bool bHaveOut = false;
        std::vector<std::string> addresses;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "-o" || a == "--output") {
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
        const int nBlocks = doc.CreateReport(addresses, strReport, progress);
        const int status = opened.m_nErrors > 0 || progress.WasCancelled() ? 1 : 0;
        if (progress.WasCancelled())
            std::fprintf(ctx.err, "addrscope-cli export: cancelled; writing what was built\n");
        if (nBlocks == 0) {
            std::fprintf(ctx.err, "addrscope-cli export: nothing to export: no address has a completed whois lookup\n");
            return status;
        }
        if (bHaveOut) {
            std::string strError;
            if (!WriteTextFile(strOut, strReport, strError)) {
                std::fprintf(ctx.err, "addrscope-cli export: cannot write %s\n", strError.c_str());
                return 1;
            }
        } else if (std::fwrite(strReport.data(), 1, strReport.size(), ctx.out) != strReport.size() ||
                   std::fflush(ctx.out) != 0) {
            std::fprintf(ctx.err, "addrscope-cli export: cannot write to standard output\n");
            return 1;
        }
        std::fprintf(ctx.err, "addrscope-cli export: %d records exported\n", nBlocks);
        return status;
    }
};

CCliRegistration<CCmdExport> reg;

} // namespace
