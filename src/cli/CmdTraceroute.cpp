// addrscope-cli traceroute ADDRESS [--resolve-hops]: the trace text that the
// traceroute jobs store, one "\r\n"-terminated line per probe.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliTarget.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "net/Traceroute.h"

namespace {

class CCmdTraceroute : public CCliCommand
{
public:
    const char* Name() const override { return "traceroute"; }
    const char* Usage() const override { return "ADDRESS [--resolve-hops]"; }
    const char* Summary() const override { return "trace the routers on the way to an address (up to 24 hops)"; }

    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("ADDRESS", kCliTargetHelp),
            CliFlag("--resolve-hops", "look up the host name of every router on the way"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const bool resolveHops = args.Has("--resolve-hops");
        if (args.Words().size() != 1)
            return CliUsageError(ctx, *this, "expected one address");
        const std::string& address = args.Words()[0];
        if (const std::string problem = CliTargetProblem(address); !problem.empty())
            return CliUsageError(ctx, *this, problem);

        CSystemNameResolver resolver;
        CLinuxIcmpService service;
        if (ctx.m_bVerbose)
            CliMessage(ctx, Name(),
                       "tracing the route to " + address + (resolveHops ? ", asking the resolver for each hop" : ""));
        const CTracerouteResult r = Traceroute(&service, resolver, address, resolveHops);
        if (r.m_strTrace.empty())
            std::fprintf(ctx.err, "addrscope-cli traceroute: %s\n", r.m_strOpenMessage.c_str());
        // Hop names come from DNS answers: text from outside.
        CliWriteUntrusted(ctx.out, r.m_strTrace);
        return r.m_bSuccess ? 0 : 1;
    }
};

CCliRegistration<CCmdTraceroute> reg;

} // namespace
