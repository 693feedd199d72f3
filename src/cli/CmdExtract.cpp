// addrscope-cli extract [FILE] [--address A] [--rdap]: the owner, country and net range
// that a whois text yields, and its whois facts, as JSON; with --rdap only the facts of
// an RDAP answer (its JSON as received).

#include "cli/CliCommand.h"
#include "cli/CliInput.h"
#include "cli/CliOutput.h"
#include "cli/JsonText.h"
#include "core/DottedQuad.h"
#include "core/IPAddressData.h"
#include "core/WhoisFacts.h"
#include "io/TableExport.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

namespace {

class CCmdExtract : public CCliCommand
{
public:
    const char* Name() const override { return "extract"; }
    const char* Usage() const override { return "[FILE] [--address A] [--rdap]"; }
    const char* Summary() const override { return "extract owner, country and net range from a whois text"; }
    const char* Help() const override
    {
        return "  FILE         the whois text (standard input when missing or -)\n"
               "  --address A  the address the text was asked for, to pick the most specific range holding it\n";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        std::vector<std::string> files;
        std::optional<uint32_t> dwAddress;
        bool bRdap = false;
        for (size_t i = 0; i < args.size(); ++i) {
            std::string strAddress;
            if (args[i] == "--rdap") {
                bRdap = true;
                continue;
            }
            if (args[i] == "--address") {
                if (i + 1 >= args.size())
                    return CliUsageError(ctx, *this, "--address needs an address");
                strAddress = args[++i];
            } else if (args[i].compare(0, 10, "--address=") == 0) {
                strAddress = args[i].substr(10);
            } else if (args[i].size() > 1 && args[i][0] == '-') {
                return CliUsageError(ctx, *this, "unknown option " + args[i]);
            } else {
                files.push_back(args[i]);
                continue;
            }
            if (!IsValidDottedQuad(strAddress))
                return CliUsageError(ctx, *this, "not an IPv4 address: " + strAddress);
            dwAddress = ParseDottedQuad(strAddress);
        }
        if (files.size() > 1)
            return CliUsageError(ctx, *this, "one file at most");
        std::string strText;
        // A whois text is no longer than an answer may be.
        CWhoisServerTable table;
        table.Load(ctx.settings);
        const bool bStdin = files.empty() || files[0] == "-";
        const std::string strShown = bStdin ? "standard input" : files[0];
        std::string strReason;
        if (bStdin) {
            strReason = CliReadBounded(ctx.in, table.m_nMaxAnswerBytes, WhoisTexts::kMaxAnswerSize, strText);
        } else if (FILE* f = std::fopen(files[0].c_str(), "rb")) {
            strReason = CliReadBounded(f, table.m_nMaxAnswerBytes, WhoisTexts::kMaxAnswerSize, strText);
            std::fclose(f);
        } else {
            strReason = SystemReason(errno);
        }
        if (!strReason.empty()) {
            CliMessage(ctx, Name(), "cannot read " + strShown + ": " + strReason);
            return 1;
        }

        if (bRdap) {
            const CWhoisFacts facts = ReadRdapFacts(strText, dwAddress);
            if (!facts.m_bFromRdap) {
                std::fprintf(ctx.err, "addrscope-cli extract: not an RDAP IP network answer\n");
                return 1;
            }
            const std::string s = "{\"facts\": " + WhoisFactsJson(facts) + "}\n";
            std::fwrite(s.data(), 1, s.size(), ctx.out);
            return 0;
        }
        CIPAddressData rec;
        rec.SetRawWhois(strText);
        const std::string s =
            "{\"owner\": " + JsonString(rec.GetOwner()) + ", \"country\": " + JsonString(rec.GetCountry()) +
            ", \"rangeStart\": " + std::to_string(rec.GetRangeStart()) +
            ", \"rangeEnd\": " + std::to_string(rec.GetRangeEnd()) + ", \"range\": " + JsonString(rec.GetRangeText()) +
            ", \"facts\": " + WhoisFactsJson(ReadWhoisFacts(strText, dwAddress)) + "}\n";
        std::fwrite(s.data(), 1, s.size(), ctx.out);
        return 0;
    }
};

CCliRegistration<CCmdExtract> reg;

} // namespace
