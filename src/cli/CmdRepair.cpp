// addrscope-cli repair DAMAGED.qdl OUT.qdl: what can be read of a damaged document,
// saved into a new one, with a list of what could not be read.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"

#include <sys/stat.h>

namespace {

class CCmdRepair : public CCliCommand
{
public:
    const char* Name() const override { return "repair"; }
    const char* Usage() const override { return "DAMAGED.qdl OUT.qdl"; }
    const char* Summary() const override
    {
        return "save what can be read of a damaged document into a new one and say what was lost";
    }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DAMAGED.qdl", "the damaged document (only read)"),
            CliArgument("OUT.qdl", "the new document; it must not exist yet"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& positional = args.Words();
        if (positional.size() != 2)
            return CliUsageError(ctx, *this, "expected a damaged document and a new file name");
        const std::string& strIn = positional[0];
        const std::string& strOut = positional[1];
        struct stat st { };
        if (::lstat(strOut.c_str(), &st) == 0)
            return CliUsageError(ctx, *this, strOut + " exists; the repaired document goes into a new file");

        CDocumentLock lock;
        if (lock.Acquire(strOut) == CDocumentLock::inUse) {
            CliMessage(ctx, Name(), strOut + " is in use by process " + std::to_string(lock.OwnerPid()));
            return cliExitInUse;
        }

        CNetloreDoc doc;
        std::vector<std::string> lost;
        auto sink = [&lost](const std::string& strMessage) { lost.push_back(strMessage); };
        int nErrors = 0;
        if (!doc.OnOpenDocument(strIn, sink, &nErrors)) {
            const std::string strReason = CliReadReason(strIn);
            CliMessage(ctx, Name(),
                       strIn + ": " + CNetloreDoc::kMsgFailedToOpen +
                           (strReason.empty() ? "" : " (" + strReason + ")"));
            return cliExitFailed;
        }
        if (!SaveCliDocument(ctx, Name(), strOut, doc))
            return cliExitFailed;

        const int nRecords = doc.GetData().GetSize();
        if (lost.empty() && nErrors == 0) {
            if (!ctx.m_bQuiet)
                std::fprintf(ctx.out, "%d records saved in %s; nothing was lost\n", nRecords, strOut.c_str());
            return cliExitDone;
        }
        if (!ctx.m_bQuiet)
            std::fprintf(ctx.out, "%d records saved in %s; %d parts could not be read:\n", nRecords, strOut.c_str(),
                         nErrors > 0 ? nErrors : int(lost.size()));
        for (const std::string& l : lost)
            CliWriteUntrusted(ctx.out, "  " + l + "\n");
        return cliExitDone;
    }
};

CCliRegistration<CCmdRepair> reg;

} // namespace
