#include "cli/CliCommand.h"

#include <algorithm>
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
