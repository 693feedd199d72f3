// addrscope-cli host ADDRESS: the reverse lookup that the host-name jobs run.

#include "cli/CliCommand.h"
#include "core/HostLookup.h"
#include "net/SystemNameResolver.h"

namespace {

class CCmdHost : public CCliCommand
{
public:
    const char* Name() const override { return "host"; }
    const char* Usage() const override { return "ADDRESS"; }
    const char* Summary() const override { return "print the host name of an address (\"unavailable\" when none)"; }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        if (args.size() != 1)
            return CliUsageError(ctx, *this, "expected one address");
        CSystemNameResolver resolver;
        std::string name;
        const bool found = ReverseLookup(resolver, args[0], name);
        std::fprintf(ctx.out, "%s\n", name.c_str());
        return found ? 0 : 1;
    }
};

CCliRegistration<CCmdHost> reg;

} // namespace
