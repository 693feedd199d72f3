// addrscope-cli add DOC.qdl TEXT: the quick lookup's way in, without the lookup.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/TerminalProgress.h"
#include "net/SystemNameResolver.h"

namespace {

class CCmdAdd : public CCliCommand
{
public:
    const char* Name() const override { return "add"; }
    const char* Usage() const override { return "DOC.qdl TEXT"; }
    const char* Summary() const override
    {
        return "add the addresses or host names of TEXT (one per line) to DOC, creating it when missing";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        if (args.size() != 2)
            return CliUsageError(ctx, *this, "expected a document and a text");
        const std::string& strPath = args[0];
        CNetloreDoc doc;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strPath, doc, true);
        if (!opened.m_bOpened)
            return 1;

        CSystemNameResolver resolver;
        CTerminalProgress progress(ctx.err);
        std::string strText = args[1];
        // Host names are always converted here, as the quick lookup does.
        const int nAdded = doc.AddIPsFromText(strText, true, nullptr, resolver, progress);
        std::fprintf(ctx.out, "%d\n", nAdded);
        if (progress.WasCancelled())
            std::fprintf(ctx.err, "addrscope-cli add: cancelled; the addresses added so far are kept\n");
        if (nAdded == 0 && !opened.m_bCreated)
            return progress.WasCancelled() ? 1 : 0;
        if (opened.m_nErrors > 0) {
            std::fprintf(ctx.err,
                         "addrscope-cli add: %s was not saved: it did not read cleanly, and saving would drop "
                         "what could not be read\n",
                         strPath.c_str());
            return 1;
        }
        if (!SaveCliDocument(ctx, Name(), strPath, doc))
            return 1;
        return progress.WasCancelled() ? 1 : 0;
    }
};

CCliRegistration<CCmdAdd> reg;

} // namespace
