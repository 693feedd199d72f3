// addrscope-cli extract [FILE] [--address A] [--rdap]: the owner, country and net range
// that a whois text yields, and its whois facts, as JSON; with --rdap only the facts of
// an RDAP answer (its JSON as received).

#include "cli/CliCommand.h"
#include "cli/CliInput.h"
#include "cli/CliOutput.h"
#include "cli/JsonText.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPAddress.h"
#include "core/record/IPAddressData.h"
#include "facts/RdapFacts.h"
#include "facts/WhoisFacts.h"
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
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("FILE", "the whois text (standard input when missing or -)"),
            CliValue("--address", "A", "the address the text was asked for, to pick the most specific range holding it",
                     "needs an address"),
            CliFlag("--rdap", "the text is an RDAP answer (its JSON as received): print only its whois facts"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::vector<std::string>& files = args.Words();
        std::optional<CIPAddress> address;
        const bool bRdap = args.Has("--rdap");
        if (args.Has("--address")) {
            const std::string& strAddress = args.Value("--address");
            std::string strCanonical;
            if (!CliAddressText(strAddress, strCanonical))
                return CliUsageError(ctx, *this, "not an IP address: " + strAddress);
            address = IsValidDottedQuad(strCanonical) ? CIPAddress::FromIPv4(ParseDottedQuad(strCanonical))
                                                      : *ParseIPAddress(strCanonical);
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
            const CWhoisFacts facts = address ? ReadRdapFacts(strText, *address) : ReadRdapFacts(strText);
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
            ", \"facts\": " + WhoisFactsJson(address ? ReadWhoisFacts(strText, *address) : ReadWhoisFacts(strText)) +
            "}\n";
        std::fwrite(s.data(), 1, s.size(), ctx.out);
        return 0;
    }
};

CCliRegistration<CCmdExtract> reg;

} // namespace
