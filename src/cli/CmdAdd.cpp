// addrscope-cli add DOC.qdl TEXT... | -: the quick lookup's way in, without the lookup.

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliInput.h"
#include "cli/TerminalProgress.h"
#include "core/record/IPAddress.h"
#include "net/SystemNameResolver.h"

namespace {

// The lines that were meant as IPv6 addresses (they hold a colon, which no host
// name does) and do not read as one, each with the reason.
std::vector<std::string> RefusedIPv6Lines(std::string_view text)
{
    std::vector<std::string> refused;
    while (!text.empty()) {
        const size_t nEnd = std::min(text.find_first_of("\r\n"), text.size());
        std::string_view line = text.substr(0, nEnd);
        text.remove_prefix(std::min(nEnd + 1, text.size()));
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.find(':') == std::string_view::npos)
            continue;
        if (const CParseResult<CIPAddress> parsed = ParseIPAddressInInput(line); !parsed)
            refused.push_back(std::string(line) + ": not an address: " + parsed.Reason());
    }
    return refused;
}

class CCmdAdd : public CCliCommand
{
public:
    const char* Name() const override { return "add"; }
    const char* Usage() const override { return "DOC.qdl TEXT...|-"; }
    const char* Summary() const override
    {
        return "add the addresses or host names of the texts (one per line) to DOC, creating it when missing";
    }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DOC.qdl", "the document (created when missing)"),
            CliArgument("TEXT", "addresses or host names, one per line or one per argument"),
            CliArgument("-", "read the addresses or host names from standard input, one per line"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& positional = args.Words();
        if (positional.size() < 2)
            return CliUsageError(ctx, *this, "expected a document and a text");
        const std::string strPath = positional[0];
        std::string strText;
        uint64_t nLongLines = 0;
        for (size_t i = 1; i < positional.size(); ++i) {
            if (positional[i] == "-") {
                const CCliLineRead read = CliReadLines(ctx.in, [&](const std::string& line) {
                    strText += line;
                    strText += '\n';
                });
                if (!read.m_strError.empty()) {
                    CliMessage(ctx, Name(), "cannot read standard input: " + read.m_strError);
                    return cliExitFailed;
                }
                nLongLines += read.m_nLongLines;
            } else {
                strText += positional[i];
            }
            strText += '\n';
        }

        CNetloreDoc doc;
        CDocumentLock lock;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strPath, doc, true, &lock);
        if (!opened.m_bOpened)
            return opened.m_nExit;

        const std::vector<std::string> refused = RefusedIPv6Lines(strText);
        for (const std::string& strRefused : refused)
            CliMessage(ctx, Name(), strRefused);

        CSystemNameResolver resolver;
        CTerminalProgress progress(ctx.m_bQuiet ? nullptr : ctx.err);
        // Host names are always converted here, as the quick lookup does.
        const int nAdded = doc.AddIPsFromText(strText, true, nullptr, resolver, progress);
        if (progress.WasCancelled())
            CliMessage(ctx, Name(), "cancelled; the addresses added so far are kept");
        if (nLongLines > 0)
            CliMessage(ctx, Name(),
                       "standard input: " + std::to_string(nLongLines) + " lines longer than " +
                           std::to_string(kMaxInputLine >> 20) + " MiB were skipped");
        const int status = progress.WasCancelled() || nLongLines > 0 || !refused.empty() ? cliExitFailed : cliExitDone;
        if (nAdded > 0 || opened.m_bCreated) {
            if (opened.m_nErrors > 0) {
                CliMessage(ctx, Name(),
                           strPath + " was not saved: it did not read cleanly, and saving would drop what could "
                                     "not be read");
                return cliExitFailed;
            }
            if (!SaveCliDocument(ctx, Name(), strPath, doc))
                return cliExitFailed;
        }
        // Printed only once the addresses are safely stored.
        if (!ctx.m_bQuiet)
            std::fprintf(ctx.out, "%d\n", nAdded);
        return status;
    }
};

CCliRegistration<CCmdAdd> reg;

} // namespace
