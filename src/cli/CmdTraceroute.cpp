// addrscope-cli traceroute ADDRESS [--resolve-hops]: the trace text that the
// traceroute jobs store, one "\r\n"-terminated line per probe.

#include "cli/CliCommand.h"
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

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        std::string address;
        bool resolveHops = false;
        for (const std::string& a : args) {
            if (a == "--resolve-hops")
                resolveHops = true;
            else if (!a.empty() && a[0] == '-')
                return CliUsageError(ctx, *this, "unknown option " + a);
            else if (address.empty())
                address = a;
            else
                return CliUsageError(ctx, *this, "expected one address");
        }
        if (address.empty())
            return CliUsageError(ctx, *this, "expected one address");

        CSystemNameResolver resolver;
        CLinuxIcmpService service;
        const CTracerouteResult r = Traceroute(&service, resolver, address, resolveHops);
        if (r.m_strTrace.empty())
            std::fprintf(ctx.err, "addrscope-cli traceroute: %s\n", r.m_strOpenMessage.c_str());
        std::fwrite(r.m_strTrace.data(), 1, r.m_strTrace.size(), ctx.out);
        return r.m_bSuccess ? 0 : 1;
    }
};

CCliRegistration<CCmdTraceroute> reg;

} // namespace
