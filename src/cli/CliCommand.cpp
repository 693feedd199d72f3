#include "cli/CliCommand.h"

#include "core/record/DottedQuad.h"

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
    std::fprintf(ctx.err, "addrscope-cli %s: %s\nusage: addrscope-cli %s %s\n", cmd.Name(), message.c_str(), cmd.Name(),
                 cmd.Usage());
    return 2;
}

const char* CliCommonOptionsHelp()
{
    return "  -q, --quiet      no progress and no summary\n"
           "  -v, --verbose    report each query and referral on standard error\n"
           "  --settings FILE  use this INI file (it must exist) as the settings store instead of the user's\n"
           "  --help           show this help and do nothing else\n";
}

const char* CliExitStatusHelp()
{
    return "  0  done\n"
           "  1  some of the work failed\n"
           "  2  usage or settings error\n"
           "  3  the document is in use by another process\n";
}

std::string CliCommandHelp(const CCliCommand& cmd)
{
    std::string s =
        std::string("usage: addrscope-cli ") + cmd.Name() + " " + cmd.Usage() + "\n\n" + cmd.Summary() + "\n";
    if (*cmd.Help())
        s += std::string("\nArguments and options:\n") + cmd.Help();
    s += std::string("\nCommon options:\n") + CliCommonOptionsHelp();
    s += std::string("\nExit status:\n") + CliExitStatusHelp();
    return s;
}

std::vector<std::string> CliCommandOptions(const CCliCommand& cmd)
{
    std::vector<std::string> options;
    const std::string text = std::string(cmd.Usage()) + "\n" + cmd.Help();
    for (size_t i = 0; i < text.size(); ++i) {
        const bool bStart = i == 0 || text[i - 1] == ' ' || text[i - 1] == '[' || text[i - 1] == '\n';
        if (!bStart || text[i] != '-' || i + 1 >= text.size() ||
            !(std::isalpha((unsigned char)text[i + 1]) || text[i + 1] == '-'))
            continue;
        size_t j = i + 1;
        while (j < text.size() && (std::isalnum((unsigned char)text[j]) || text[j] == '-'))
            ++j;
        const std::string name = text.substr(i, j - i);
        if (name.size() > 1 && name != "--" && std::find(options.begin(), options.end(), name) == options.end())
            options.push_back(name);
        i = j;
    }
    return options;
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
