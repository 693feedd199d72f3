// addrscope-cli whois TARGET: the IP whois text of an address or host name, as the
// lookup produces it, with the servers and time-outs of the settings.

#include "cli/CliCommand.h"
#include "net/IPWhoisLookup.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"

namespace {

class CCmdWhois : public CCliCommand
{
public:
    const char* Name() const override { return "whois"; }
    const char* Usage() const override { return "TARGET"; }
    const char* Summary() const override
    {
        return "print the IP whois text of an address or host name, following the registries' referrals";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        if (args.size() != 1)
            return CliUsageError(ctx, *this, "expected one address or host name");
        CWhoisServerTable servers;
        servers.Load(ctx.settings);
        CSystemNameResolver resolver;
        std::string result;
        IPWhoisLookup(args[0], result, servers, resolver);
        // The bytes exactly as produced: scripts compare them with stored results.
        std::fwrite(result.data(), 1, result.size(), ctx.out);
        if (result.empty()) {
            std::fprintf(ctx.err, "addrscope-cli whois: no answer; try again later\n");
            return 1;
        }
        return result == WhoisTexts::kUnableToResolve ? 1 : 0;
    }
};

CCliRegistration<CCmdWhois> reg;

} // namespace
