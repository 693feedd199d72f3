// addrscope-cli extract [FILE]: the owner, country and net range that a whois text
// yields, as JSON.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/JsonText.h"
#include "core/IPAddressData.h"

#include <cerrno>
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

class CCmdExtract : public CCliCommand
{
public:
    const char* Name() const override { return "extract"; }
    const char* Usage() const override { return "[FILE]"; }
    const char* Summary() const override { return "extract owner, country and net range from a whois text"; }
    const char* Help() const override { return "  FILE  the whois text (standard input when missing or -)\n"; }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        if (args.size() > 1)
            return CliUsageError(ctx, *this, "one file at most");
        std::string strText;
        if (args.empty() || args[0] == "-") {
            if (!ReadAll(ctx.in, strText)) {
                std::fprintf(ctx.err, "addrscope-cli extract: cannot read standard input\n");
                return 1;
            }
        } else {
            errno = 0;
            FILE* f = std::fopen(args[0].c_str(), "rb");
            const bool bOk = f && ReadAll(f, strText);
            if (f)
                std::fclose(f);
            if (!bOk) {
                const int nErr = errno;
                CliMessage(ctx, Name(), "cannot read " + args[0] + ": " + SystemReason(f ? EIO : nErr));
                return 1;
            }
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
