// addrscope-cli host ADDRESS: the reverse lookup that the host-name jobs run.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliTarget.h"
#include "core/record/HostLookup.h"
#include "net/SystemNameResolver.h"

namespace {

class CCmdHost : public CCliCommand
{
public:
    const char* Name() const override { return "host"; }
    const char* Usage() const override { return "ADDRESS"; }
    const char* Summary() const override { return "print the host name of an address (\"unavailable\" when none)"; }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {CliArgument("ADDRESS", kCliTargetHelp)};
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& parsed) override
    {
        const std::vector<std::string>& args = parsed.Words();
        if (args.size() != 1)
            return CliUsageError(ctx, *this, "expected one address");
        if (const std::string problem = CliTargetProblem(args[0]); !problem.empty())
            return CliUsageError(ctx, *this, problem);
        CSystemNameResolver resolver;
        std::string name;
        if (ctx.m_bVerbose) {
            std::string what = "asking the resolver for the name of " + args[0];
            // Which PTR entry that is, for an IPv6 address.
            if (const CParseResult<CIPAddress> a = ParseIPAddress(args[0]); a && a->IsIPv6())
                what += " (" + ReverseDnsName(*a) + ")";
            CliMessage(ctx, Name(), what);
        }
        const bool found = ReverseLookup(resolver, args[0], name);
        // A name from a DNS answer is text from outside.
        CliWriteUntrusted(ctx.out, name + "\n");
        return found ? 0 : 1;
    }
};

CCliRegistration<CCmdHost> reg;

} // namespace
