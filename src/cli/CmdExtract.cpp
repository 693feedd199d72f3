// addrscope-cli extract [--rdap] [FILE]: the owner, country and net range that a whois
// text yields, as JSON; with --rdap the whois facts of an RDAP answer (JSON) instead.

#include "cli/CliCommand.h"
#include "cli/JsonText.h"
#include "core/DottedQuad.h"
#include "core/IPAddressData.h"
#include "core/WhoisFacts.h"

#include <cstdio>
#include <string>

namespace {

bool ReadAll(FILE* in, std::string& out)
{
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        out.append(buf, n);
    return !std::ferror(in);
}

std::string TextOrNull(const std::string& text)
{
    return text.empty() ? "null" : JsonString(text);
}

std::string FactsJson(const CWhoisFacts& f)
{
    const auto range = [&](uint32_t v) { return f.m_bHasRange ? std::to_string(v) : std::string("null"); };
    std::string rangeText;
    if (f.m_bHasRange)
        rangeText = FormatDottedQuad(f.m_dwRangeStart) + " - " + FormatDottedQuad(f.m_dwRangeEnd);
    return "{\"holder\": " + TextOrNull(f.m_strHolder) + ", \"country\": " + TextOrNull(f.m_strCountry) +
           ", \"rangeStart\": " + range(f.m_dwRangeStart) + ", \"rangeEnd\": " + range(f.m_dwRangeEnd) +
           ", \"range\": " + TextOrNull(rangeText) + ", \"abuse\": " + TextOrNull(f.m_strAbuse) +
           ", \"netName\": " + TextOrNull(f.m_strNetName) + ", \"originAS\": " + TextOrNull(f.m_strOriginAS) +
           ", \"registry\": " + TextOrNull(f.m_strRegistry) +
           ", \"isRegistryStub\": " + (f.m_bIsRegistryStub ? "true" : "false") + "}";
}

class CCmdExtract : public CCliCommand
{
public:
    const char* Name() const override { return "extract"; }
    const char* Usage() const override { return "[--rdap] [FILE]"; }
    const char* Summary() const override { return "extract owner, country and net range from a whois text"; }

    int Run(CCliContext& ctx, const std::vector<std::string>& allArgs) override
    {
        bool bRdap = false;
        std::vector<std::string> args;
        for (const std::string& a : allArgs) {
            if (a == "--rdap")
                bRdap = true;
            else
                args.push_back(a);
        }
        if (args.size() > 1)
            return CliUsageError(ctx, *this, "one file at most");
        std::string strText;
        if (args.empty() || args[0] == "-") {
            if (!ReadAll(ctx.in, strText)) {
                std::fprintf(ctx.err, "addrscope-cli extract: cannot read standard input\n");
                return 1;
            }
        } else {
            FILE* f = std::fopen(args[0].c_str(), "rb");
            const bool bOk = f && ReadAll(f, strText);
            if (f)
                std::fclose(f);
            if (!bOk) {
                std::fprintf(ctx.err, "addrscope-cli extract: cannot read %s\n", args[0].c_str());
                return 1;
            }
        }

        if (bRdap) {
            const CWhoisFacts facts = ReadRdapFacts(strText);
            if (!facts.m_bFromRdap) {
                std::fprintf(ctx.err, "addrscope-cli extract: not an RDAP IP network answer\n");
                return 1;
            }
            const std::string s = "{\"facts\": " + FactsJson(facts) + "}\n";
            std::fwrite(s.data(), 1, s.size(), ctx.out);
            return 0;
        }
        CIPAddressData rec;
        rec.SetRawWhois(strText);
        const std::string s = "{\"owner\": " + JsonString(rec.GetOwner()) +
                              ", \"country\": " + JsonString(rec.GetCountry()) +
                              ", \"rangeStart\": " + std::to_string(rec.GetRangeStart()) +
                              ", \"rangeEnd\": " + std::to_string(rec.GetRangeEnd()) +
                              ", \"range\": " + JsonString(rec.GetRangeText()) + "}\n";
        std::fwrite(s.data(), 1, s.size(), ctx.out);
        return 0;
    }
};

CCliRegistration<CCmdExtract> reg;

} // namespace
