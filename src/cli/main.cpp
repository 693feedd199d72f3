// addrscope-cli: the command-line front end over the Addrscope core.

#include "cli/CliCommand.h"
#include "qt/QtSettingsStore.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void PrintHelp(FILE* f)
{
    std::fprintf(f, "usage: addrscope-cli [--settings FILE] COMMAND [ARGS...]\n\n"
                    "Options:\n"
                    "  --settings FILE  use this INI file as the settings store instead of the user's\n\n"
                    "Commands:\n");
    for (CCliCommand* c : CCliRegistry::All())
        std::fprintf(f, "  %-10s %s\n             addrscope-cli %s %s\n", c->Name(), c->Summary(), c->Name(),
                     c->Usage());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(CQtSettingsStore::OrganizationName());
    QCoreApplication::setApplicationName(CQtSettingsStore::ApplicationName());

    // The global option may stand before or after the verb.
    std::string settingsPath;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--settings") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "addrscope-cli: --settings needs a file name\n");
                return 2;
            }
            settingsPath = argv[++i];
        } else if (std::strncmp(argv[i], "--settings=", 11) == 0) {
            settingsPath = argv[i] + 11;
        } else {
            args.emplace_back(argv[i]);
        }
    }

    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }

    CCliCommand* cmd = CCliRegistry::Find(args[0]);
    if (!cmd) {
        std::fprintf(stderr, "addrscope-cli: unknown command '%s'\n", args[0].c_str());
        PrintHelp(stderr);
        return 2;
    }
    args.erase(args.begin());

    std::unique_ptr<CQtSettingsStore> settings =
        settingsPath.empty() ? std::make_unique<CQtSettingsStore>()
                             : std::make_unique<CQtSettingsStore>(QString::fromLocal8Bit(settingsPath.c_str()));
    CCliContext ctx {*settings, stdout, stderr, stdin};
    const int status = cmd->Run(ctx, args);
    settings->Sync();
    std::fflush(stdout);
    return status;
}
