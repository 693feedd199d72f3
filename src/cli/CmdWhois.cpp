// addrscope-cli whois [--rdap] TARGET...: the IP whois text of addresses or host names,
// as the lookup produces it, with the servers and time-outs of the settings; or, with
// -h, one query put to one server directly. With --rdap the registry's RDAP service is
// asked first, as the lookups do when the settings say so.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "net/IPWhoisLookup.h"
#include "net/RdapClient.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisQuery.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"
#include "sched/RdapSettings.h"

#include <algorithm>

namespace {

bool ParsePort(const std::string& text, int& nPort)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    nPort = std::stoi(text);
    return nPort > 0 && nPort < 65536;
}

// An IPv6 literal is bracketed, so that the port stands apart from its groups.
std::string Endpoint(const std::string& server, int port)
{
    const bool bBracket = server.find(':') != std::string::npos && server.front() != '[';
    return (bBracket ? "[" + server + "]" : server) + ":" + std::to_string(port);
}

class CCmdWhois : public CCliCommand
{
public:
    const char* Name() const override { return "whois"; }
    const char* Usage() const override { return "[--rdap] TARGET... | -h HOST [-p PORT] QUERY..."; }
    const char* Summary() const override
    {
        return "print the IP whois text of addresses or host names, following the registries' referrals";
    }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("TARGET", "an IPv4 address or a host name; several are looked up one after another"),
            CliValue("-h,--host", "HOST",
                     "send QUERY (its words joined by spaces) to the whois server HOST only (a name, or an IPv4 or "
                     "IPv6 address, bracketed or not), without referrals"),
            CliValue("-p,--port", "PORT", "the port of that server (43 when not given)"),
            CliFlag("--rdap", "ask the registry's RDAP service first; port 43 when it cannot answer"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const std::string strHost = args.Value("--host");
        int nPort = 43;
        const bool bPortGiven = args.Has("--port");
        const std::vector<std::string>& targets = args.Words();
        m_bRdap = args.Has("--rdap");
        if (args.Has("--host") && strHost.empty())
            return CliUsageError(ctx, *this, "the server name is empty");
        if (bPortGiven && !ParsePort(args.Value("--port"), nPort))
            return CliUsageError(ctx, *this, "the port must be a number from 1 to 65535");
        if (bPortGiven && strHost.empty())
            return CliUsageError(ctx, *this, "-p needs -h");
        if (targets.empty())
            return CliUsageError(ctx, *this, strHost.empty() ? "expected an address or host name" : "expected a query");

        CWhoisServerTable servers;
        servers.Load(ctx.settings);
        CSystemNameResolver resolver;
        if (!strHost.empty())
            return AskServer(ctx, strHost, nPort, targets, servers, resolver);

        std::string strAddress;
        for (const std::string& t : targets)
            if (!IsAddressOrHostName(t) && !CliAddressText(t, strAddress))
                return CliUsageError(ctx, *this, "'" + t + "' is neither an IP address nor a host name");
        int status = cliExitDone;
        for (size_t i = 0; i < targets.size(); ++i) {
            if (i > 0)
                std::fputs("\n", ctx.out);
            status = std::max(status, LookUp(ctx, targets[i], servers, resolver));
        }
        return status;
    }

private:
    // Prints text from a server as it came, and a final line end.
    static void PrintAnswer(CCliContext& ctx, const std::string& text)
    {
        CliWriteUntrusted(ctx.out, text);
        if (text.empty() || text.back() != '\n')
            std::fputs("\n", ctx.out);
    }

    int AskServer(CCliContext& ctx, const std::string& strHost, int nPort, const std::vector<std::string>& words,
                  const CWhoisServerTable& servers, CSystemNameResolver& resolver)
    {
        std::string query;
        for (const std::string& w : words)
            query += (query.empty() ? "" : " ") + w;
        if (query.find_first_of("\r\n") != std::string::npos || query.size() > 125)
            return CliUsageError(ctx, *this, "the query must be one line of at most 125 characters");
        if (ctx.m_bVerbose)
            CliMessage(ctx, Name(), "asking " + Endpoint(strHost, nPort) + " for '" + query + "'");
        std::string answer;
        EWhoisQueryEnd end = EWhoisQueryEnd::complete;
        WhoisQuery(query, strHost, answer, nPort, servers, resolver, &end);
        if (!answer.empty())
            PrintAnswer(ctx, answer);
        if (end == EWhoisQueryEnd::complete) {
            if (answer.empty())
                CliMessage(ctx, Name(), Endpoint(strHost, nPort) + " sent an empty answer");
            return answer.empty() ? cliExitFailed : cliExitDone;
        }
        CliMessage(ctx, Name(),
                   Endpoint(strHost, nPort) + ": " + DescribeWhoisQueryEnd(end) + " (" + std::to_string(answer.size()) +
                       " bytes arrived)");
        return cliExitFailed;
    }

    bool m_bRdap = false;

    int LookUp(CCliContext& ctx, const std::string& target, const CWhoisServerTable& servers,
               CSystemNameResolver& resolver)
    {
        std::string strCutAnswer;
        std::string strCutWhy;
        std::string strCutServer;
        auto observe = [&](const CWhoisStep& step) {
            if (ctx.m_bVerbose)
                CliMessage(ctx, Name(),
                           "asked " + Endpoint(step.m_strServer, step.m_nPort) + " for '" + step.m_strQuery +
                               "': " + DescribeWhoisQueryEnd(step.m_end) + ", " +
                               std::to_string(step.m_pAnswer->size()) + " bytes");
            // A later complete answer from the same server replaces a cut one.
            if (step.m_end == EWhoisQueryEnd::complete && !step.m_pAnswer->empty() && step.m_strServer == strCutServer)
                strCutWhy.clear();
            if (IsCutShort(step.m_end)) {
                strCutServer = step.m_strServer;
                strCutAnswer = *step.m_pAnswer;
                strCutWhy = Endpoint(step.m_strServer, step.m_nPort) + ": " + DescribeWhoisQueryEnd(step.m_end) +
                            " after " + std::to_string(step.m_pAnswer->size()) + " bytes";
            }
        };
        std::string result;
        if (m_bRdap) {
            std::string strProblem, strMessage;
            const auto pRdap = MakeRdapClient(LoadRdapSettings(ctx.settings), servers, strProblem);
            if (!strProblem.empty())
                CliMessage(ctx, Name(), strProblem);
            const ERdapOutcome outcome = pRdap->Lookup(target, result, strMessage, resolver);
            if (!strMessage.empty())
                CliMessage(ctx, Name(), strMessage + (outcome == ERdapOutcome::fallback ? "; asking port 43" : ""));
            if (outcome != ERdapOutcome::fallback) {
                if (result.empty()) {
                    CliMessage(ctx, Name(), target + ": no answer; try again later");
                    return cliExitFailed;
                }
                PrintAnswer(ctx, result);
                return cliExitDone;
            }
            result.clear();
        }
        IPWhoisLookup(target, result, servers, resolver, observe);
        if (result == WhoisTexts::kUnableToResolve) {
            CliMessage(ctx, Name(), target + ": " + result);
            return cliExitFailed;
        }
        if (!strCutWhy.empty()) {
            // What arrived is shown, but it is not a whois answer to rely on.
            PrintAnswer(ctx, result.empty() ? strCutAnswer : result);
            CliMessage(ctx, Name(),
                       target + ": " + strCutWhy +
                           (result.empty() ? "; no complete answer" : "; printed the previous server's answer"));
            return cliExitFailed;
        }
        if (result.empty()) {
            CliMessage(ctx, Name(), target + ": no answer; try again later");
            return cliExitFailed;
        }
        PrintAnswer(ctx, result);
        return cliExitDone;
    }
};

CCliRegistration<CCmdWhois> reg;

} // namespace
