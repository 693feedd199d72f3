// addrscope-cli ping ADDRESS: the ping check that the ping jobs run, and the ping
// text the address's record would show afterwards.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliTarget.h"
#include "core/record/Clock.h"
#include "core/record/IPDataArray.h"
#include "net/LinuxIcmpService.h"
#include "net/PingCheck.h"
#include "net/SystemNameResolver.h"

namespace {

class CCmdPing : public CCliCommand
{
public:
    const char* Name() const override { return "ping"; }
    const char* Usage() const override { return "ADDRESS"; }
    const char* Summary() const override
    {
        return "send 3 echo requests; print the failures, the average time and the record's ping text";
    }

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
        const std::string& address = args[0];
        CSystemNameResolver resolver;
        CLinuxIcmpService service;
        if (ctx.m_bVerbose)
            CliMessage(ctx, Name(), "sending " + std::to_string(kPingCheckRequests) + " echo requests to " + address);
        const CPingCheckResult r = PingCheck(&service, resolver, address);
        if (r.m_bOpened)
            std::fprintf(ctx.err, "%s\n", r.m_strOpenMessage.c_str());
        else
            std::fprintf(ctx.err, "addrscope-cli ping: %s\n", r.m_strOpenMessage.c_str());

        // The ping worker counts 3 tries whether or not a request could be sent.
        CIPDataArray records;
        records.FindOrAdd(address);
        records.SetPingResult(address, r.m_dAverage, uint32_t(r.m_nFailures), kPingCheckRequests, CSystemClock().Now());
        std::fprintf(ctx.out, "Failures: %d\nAverage: %.3f ms\nPing: %s\n", r.m_nFailures, r.m_dAverage,
                     records.GetPingText(address).c_str());
        return r.m_bSuccess ? 0 : 1;
    }
};

CCliRegistration<CCmdPing> reg;

} // namespace
