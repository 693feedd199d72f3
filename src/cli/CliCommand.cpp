#include "cli/CliCommand.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPAddress.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace {

std::vector<CCliCommand*>& Commands()
{
    // Owned for the life of the process; built during static initialisation. Never
    // destroyed, so the commands stay reachable at exit and leak checkers stay quiet.
    static auto* commands = new std::vector<CCliCommand*>;
    return *commands;
}

} // namespace

void CCliRegistry::Add(CCliCommand* pCommand)
{
    auto& list = Commands();
    auto pos = std::lower_bound(list.begin(), list.end(), pCommand,
                                [](CCliCommand* a, CCliCommand* b) { return std::string(a->Name()) < b->Name(); });
    list.insert(pos, pCommand);
}

CCliCommand* CCliRegistry::Find(const std::string& name)
{
    for (CCliCommand* c : Commands())
        if (name == c->Name())
            return c;
    return nullptr;
}

const std::vector<CCliCommand*>& CCliRegistry::All()
{
    return Commands();
}

int CliUsageError(CCliContext& ctx, const CCliCommand& cmd, const std::string& message)
{
    return CliUsageError(ctx.err, cmd, message);
}

int CliUsageError(FILE* err, const CCliCommand& cmd, const std::string& message)
{
    std::fprintf(err, "addrscope-cli %s: %s\nusage: addrscope-cli %s %s\n", cmd.Name(), message.c_str(), cmd.Name(),
                 cmd.Usage());
    return cliExitUsage;
}

const std::vector<CCliParam>& CliCommonOptions()
{
    static const std::vector<CCliParam> options {
        CliFlag("-q,--quiet", "no progress and no summary"),
        CliFlag("-v,--verbose", "report each query and referral on standard error"),
        CliValue("--settings", "FILE", "use this INI file (it must exist) as the settings store instead of the user's",
                 "needs a file name"),
        CliFlag("--help", "show this help and do nothing else"),
    };
    return options;
}

const std::vector<CCliParam>& CliProgramOptions()
{
    static const std::vector<CCliParam> options {
        CliFlag("-h", "show this help and do nothing else"),
        CliFlag("--version", "print the version and do nothing else"),
    };
    return options;
}

const std::vector<CCliExitStatus>& CliExitStatuses()
{
    static const std::vector<CCliExitStatus> statuses {
        {cliExitDone, "done"},
        {cliExitFailed, "some of the work failed"},
        {cliExitUsage, "usage or settings error"},
        {cliExitInUse, "the document is in use by another process"},
    };
    return statuses;
}

CCliParseResult ParseCliCommand(const CCliCommand& cmd, const std::vector<std::string>& words)
{
    return ParseCliWords({&cmd.Params(), &CliCommonOptions()}, words);
}

std::string CliCommonOptionsHelp()
{
    return CliParamLines(CliCommonOptions());
}

std::string CliExitStatusHelp()
{
    std::string s;
    for (const CCliExitStatus& e : CliExitStatuses())
        s += "  " + std::to_string(e.m_nStatus) + "  " + e.m_pszMeaning + "\n";
    return s;
}

std::string CliCommandHelp(const CCliCommand& cmd)
{
    std::string s =
        std::string("usage: addrscope-cli ") + cmd.Name() + " " + cmd.Usage() + "\n\n" + cmd.Summary() + "\n";
    if (!cmd.Params().empty())
        s += "\nArguments and options:\n" + CliParamLines(cmd.Params()) + cmd.Notes();
    s += "\nCommon options:\n" + CliCommonOptionsHelp();
    s += "\nExit status:\n" + CliExitStatusHelp();
    return s;
}

bool CliAddressText(const std::string& text, std::string& strAddress)
{
    if (IsValidDottedQuad(text)) {
        strAddress = text;
        return true;
    }
    if (text.find(':') == std::string::npos)
        return false;
    const CParseResult<CIPAddress> a = ParseIPAddress(text);
    if (!a)
        return false;
    strAddress = a->ToString();
    return true;
}

bool IsAddressOrHostName(const std::string& text)
{
    if (IsValidDottedQuad(text))
        return true;
    std::string name = text;
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    if (name.empty() || name.size() > 253)
        return false;
    size_t start = 0;
    bool bAllDigits = true;
    while (start <= name.size()) {
        size_t end = name.find('.', start);
        if (end == std::string::npos)
            end = name.size();
        const size_t len = end - start;
        if (len == 0 || len > 63 || name[start] == '-' || name[end - 1] == '-')
            return false;
        for (size_t i = start; i < end; ++i) {
            const unsigned char c = (unsigned char)name[i];
            if (!std::isalnum(c) && c != '-')
                return false;
            if (!std::isdigit(c))
                bAllDigits = false;
        }
        start = end + 1;
    }
    // "1.2.3" or "999.1.1.1" is a mistyped address, not a name.
    return !bAllDigits;
}
