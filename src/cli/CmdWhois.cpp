// addrscope-cli whois [--rdap] TARGET: the IP whois text of an address or host name, as the
// lookup produces it, with the servers and time-outs of the settings. With --rdap the
// registry's RDAP service is asked first, as the lookups do when the settings say so.

#include "cli/CliCommand.h"
#include "net/IPWhoisLookup.h"
#include "net/RdapClient.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"
#include "sched/RdapSettings.h"

namespace {

class CCmdWhois : public CCliCommand
{
public:
    const char* Name() const override { return "whois"; }
    const char* Usage() const override { return "[--rdap] TARGET"; }
    const char* Summary() const override
    {
        return "print the IP whois text of an address or host name, following the registries' referrals";
    }

    int Run(CCliContext& ctx, const std::vector<std::string>& args) override
    {
        bool bRdap = false;
        std::vector<std::string> targets;
        for (const std::string& a : args) {
            if (a == "--rdap")
                bRdap = true;
            else if (a.size() > 1 && a[0] == '-')
                return CliUsageError(ctx, *this, "unknown option " + a);
            else
                targets.push_back(a);
        }
        if (targets.size() != 1)
            return CliUsageError(ctx, *this, "expected one address or host name");
        CWhoisServerTable servers;
        servers.Load(ctx.settings);
        CSystemNameResolver resolver;
        std::string result;
        ERdapOutcome outcome = ERdapOutcome::fallback;
        if (bRdap) {
            std::string strProblem, strMessage;
            const auto pRdap = MakeRdapClient(LoadRdapSettings(ctx.settings), servers, strProblem);
            if (!strProblem.empty())
                std::fprintf(ctx.err, "addrscope-cli whois: %s\n", strProblem.c_str());
            outcome = pRdap->Lookup(targets[0], result, strMessage, resolver);
            if (!strMessage.empty())
                std::fprintf(ctx.err, "addrscope-cli whois: %s%s\n", strMessage.c_str(),
                             outcome == ERdapOutcome::fallback ? "; asking port 43" : "");
        }
        if (outcome == ERdapOutcome::fallback)
            IPWhoisLookup(targets[0], result, servers, resolver);
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
