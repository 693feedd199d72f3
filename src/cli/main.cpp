// addrscope-cli: the command-line front end over the Addrscope core.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/ManPages.h"
#include "cli/StopSignals.h"
#include "core/CheckedSettingsStore.h"
#include "qt/QtSettingsStore.h"
#include "sched/SettingsFileCheck.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string ProgramHelp()
{
    std::string s = "usage: addrscope-cli [--settings FILE] [-q|-v] COMMAND [ARGS...]\n"
                    "       addrscope-cli COMMAND --help\n"
                    "       addrscope-cli --version\n\nCommands:\n";
    for (CCliCommand* c : CCliRegistry::All()) {
        const std::string name = c->Name();
        s += "  " + name + std::string(name.size() < 11 ? 11 - name.size() : 1, ' ') + c->Summary() +
             "\n             addrscope-cli " + name + " " + c->Usage() + "\n";
    }
    s += std::string("\nCommon options:\n") + CliCommonOptionsHelp();
    s += std::string("\nExit status:\n") + CliExitStatusHelp();
    return s;
}

int Generate(const std::string& kind, const std::string& path)
{
    std::string text;
    if (kind == "man")
        text = GenerateCliManPage(ADDRSCOPE_VERSION);
    else if (kind == "man-gui")
        text = GenerateGuiManPage(ADDRSCOPE_VERSION);
    else if (kind == "bash")
        text = GenerateBashCompletion();
    else if (kind == "zsh")
        text = GenerateZshCompletion();
    else {
        std::fprintf(stderr, "addrscope-cli: --generate takes man, man-gui, bash or zsh\n");
        return cliExitUsage;
    }
    FILE* f = path.empty() || path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "addrscope-cli: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return cliExitFailed;
    }
    std::fwrite(text.data(), 1, text.size(), f);
    const bool bOk = f == stdout ? std::fflush(f) == 0 && !std::ferror(f) : std::fclose(f) == 0;
    return bOk ? cliExitDone : cliExitFailed;
}

// Standard output is checked once, at the end, for every command: a full disk or
// /dev/full must not end in a "done".
int FinishOutput(const char* pszCommand, int nStatus)
{
    errno = 0;
    const bool bFlushed = std::fflush(stdout) == 0;
    const int nFlushErr = errno;
    const bool bError = std::ferror(stdout) != 0;
    errno = 0;
    const bool bClosed = std::fclose(stdout) == 0;
    const int nCloseErr = errno;
    if (bFlushed && !bError && bClosed)
        return nStatus;
    const int nErr = nFlushErr ? nFlushErr : nCloseErr;
    std::fprintf(stderr, "addrscope-cli%s%s: cannot write to standard output%s%s\n", pszCommand ? " " : "",
                 pszCommand ? pszCommand : "", nErr ? ": " : "", nErr ? std::strerror(nErr) : "");
    return nStatus == cliExitDone ? cliExitFailed : nStatus;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CStopSignals::IgnoreBrokenPipe();
    QCoreApplication::setOrganizationName(CQtSettingsStore::OrganizationName());
    QCoreApplication::setApplicationName(CQtSettingsStore::ApplicationName());

    if (argc >= 2 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(argc >= 3 ? argv[2] : "", argc >= 4 ? argv[3] : "");

    // The global options may stand before or after the verb (up to a "--").
    std::string settingsPath;
    bool bSettingsGiven = false;
    bool bQuiet = false;
    bool bVerbose = false;
    bool bOptionsEnded = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (bOptionsEnded) {
            args.emplace_back(a);
        } else if (std::strcmp(a, "--") == 0) {
            bOptionsEnded = true;
            args.emplace_back(a);
        } else if (std::strcmp(a, "--settings") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "addrscope-cli: --settings needs a file name\n");
                return cliExitUsage;
            }
            settingsPath = argv[++i];
            bSettingsGiven = true;
        } else if (std::strncmp(a, "--settings=", 11) == 0) {
            settingsPath = a + 11;
            bSettingsGiven = true;
        } else if (std::strcmp(a, "-q") == 0 || std::strcmp(a, "--quiet") == 0) {
            bQuiet = true;
        } else if (std::strcmp(a, "-v") == 0 || std::strcmp(a, "--verbose") == 0) {
            bVerbose = true;
        } else {
            args.emplace_back(a);
        }
    }

    if (args.empty()) {
        const std::string help = ProgramHelp();
        std::fputs(help.c_str(), stderr);
        return cliExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        const std::string help = ProgramHelp();
        std::fputs(help.c_str(), stdout);
        return FinishOutput(nullptr, cliExitDone);
    }
    if (args[0] == "--version") {
        std::fputs("addrscope-cli " ADDRSCOPE_VERSION "\n", stdout);
        return FinishOutput(nullptr, cliExitDone);
    }

    CCliCommand* cmd = CCliRegistry::Find(args[0]);
    if (!cmd) {
        std::fprintf(stderr, "addrscope-cli: unknown command '%s'\n", TerminalSafe(args[0]).c_str());
        std::fputs(ProgramHelp().c_str(), stderr);
        return cliExitUsage;
    }
    args.erase(args.begin());
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (a == "--help") {
            std::fputs(CliCommandHelp(*cmd).c_str(), stdout);
            return FinishOutput(cmd->Name(), cliExitDone);
        }
    }

    if (bSettingsGiven) {
        struct stat st { };
        std::string strReason;
        if (settingsPath.empty() || ::stat(settingsPath.c_str(), &st) != 0)
            strReason = std::strerror(settingsPath.empty() ? ENOENT : errno);
        else if (S_ISDIR(st.st_mode))
            strReason = std::strerror(EISDIR);
        if (!strReason.empty()) {
            std::fprintf(stderr, "addrscope-cli: settings file '%s': %s\n", TerminalSafe(settingsPath).c_str(),
                         strReason.c_str());
            return cliExitUsage;
        }
    }

    std::unique_ptr<CQtSettingsStore> store =
        !bSettingsGiven ? std::make_unique<CQtSettingsStore>()
                        : std::make_unique<CQtSettingsStore>(QString::fromLocal8Bit(settingsPath.c_str()));
    // Settings that cannot be used as written stop here: a silent default would ask
    // the real registries instead of the servers the file names.
    const std::string strSettingsFile = store->Settings().fileName().toLocal8Bit().toStdString();
    const std::vector<std::string> problems = CheckSettingsFile(strSettingsFile, *store);
    for (const std::string& strProblem : problems)
        std::fprintf(stderr, "addrscope-cli: settings file '%s': %s\n", TerminalSafe(strSettingsFile).c_str(),
                     TerminalSafe(strProblem).c_str());
    if (!problems.empty())
        return cliExitUsage;

    CCliContext* pCtx = nullptr;
    CCheckedSettingsStore settings(*store, [&pCtx](const std::string& strMessage) {
        if (pCtx)
            CliMessage(*pCtx, "", strMessage);
    });
    CCliContext ctx {settings, stdout, stderr, stdin};
    pCtx = &ctx;
    ctx.m_bQuiet = bQuiet;
    ctx.m_bVerbose = bVerbose && !bQuiet;
    const int status = cmd->Run(ctx, args);
    store->Sync();
    return FinishOutput(cmd->Name(), status);
}
