// addrscope-cli: the command-line front end over the Addrscope core.

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/ManPages.h"
#include "cli/StopSignals.h"
#include "core/settings/CheckedSettingsStore.h"
#include "qt/QtSettingsStore.h"
#include "sched/SettingsFileCheck.h"

#include <QCoreApplication>

#include <algorithm>
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
    else if (kind == "options")
        text = GenerateOptionList();
    else {
        std::fprintf(stderr, "addrscope-cli: --generate takes man, man-gui, bash, zsh or options\n");
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

int UnknownCommand(const std::string& strName)
{
    std::fprintf(stderr, "addrscope-cli: unknown command '%s'\n", TerminalSafe(strName).c_str());
    std::fputs(ProgramHelp().c_str(), stderr);
    return cliExitUsage;
}

// An error that is not the command's: "addrscope-cli: --settings needs a file name".
int GlobalUsageError(const std::string& strMessage)
{
    std::fprintf(stderr, "addrscope-cli: %s\n", TerminalSafe(strMessage).c_str());
    return cliExitUsage;
}

bool IsCommonOption(const CCliParam* pParam)
{
    const std::vector<CCliParam>& common = CliCommonOptions();
    return std::any_of(common.begin(), common.end(), [pParam](const CCliParam& p) { return &p == pParam; });
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

    // The global options before the command's name; after it they are read with the
    // command's own options, so they may stand there too (up to a "--").
    const CCliParseResult global = ParseCliWords({&CliCommonOptions(), &CliProgramOptions()},
                                                 std::vector<std::string>(argv + 1, argv + argc), true);
    if (global.m_error == ECliParseError::kUnknownOption)
        return UnknownCommand(global.m_strWord);
    if (global.m_error != ECliParseError::kNone)
        return GlobalUsageError(global.Message());
    std::vector<std::string> words = global.m_args.Words();
    if (global.m_args.Has("--help") || global.m_args.Has("-h") || (!words.empty() && words[0] == "help")) {
        const std::string help = ProgramHelp();
        std::fputs(help.c_str(), stdout);
        return FinishOutput(nullptr, cliExitDone);
    }
    if (global.m_args.Has("--version")) {
        std::fputs("addrscope-cli " ADDRSCOPE_VERSION "\n", stdout);
        return FinishOutput(nullptr, cliExitDone);
    }
    if (words.empty()) {
        const std::string help = ProgramHelp();
        std::fputs(help.c_str(), stderr);
        return cliExitUsage;
    }

    CCliCommand* cmd = CCliRegistry::Find(words[0]);
    if (!cmd)
        return UnknownCommand(words[0]);
    words.erase(words.begin());
    const CCliParseResult parsed = ParseCliCommand(*cmd, words);
    const CCliArgs& args = parsed.m_args;
    // A "--help" before any "--" shows the help and does nothing else, even where it
    // would be an option's value ("-o --help") or stands beside a wrong word.
    const auto optionsEnd = std::find(words.begin(), words.end(), "--");
    if (std::find(words.begin(), optionsEnd, "--help") != optionsEnd) {
        std::fputs(CliCommandHelp(*cmd).c_str(), stdout);
        return FinishOutput(cmd->Name(), cliExitDone);
    }
    if (parsed.m_error == ECliParseError::kMissingValue && IsCommonOption(parsed.m_pOption))
        return GlobalUsageError(parsed.Message());

    const bool bSettingsGiven = global.m_args.Has("--settings") || args.Has("--settings");
    const std::string settingsPath =
        args.Has("--settings") ? args.Value("--settings") : global.m_args.Value("--settings");
    const bool bQuiet = global.m_args.Has("--quiet") || args.Has("--quiet");
    const bool bVerbose = global.m_args.Has("--verbose") || args.Has("--verbose");

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

    if (parsed.m_error != ECliParseError::kNone)
        return CliUsageError(stderr, *cmd, parsed.Message());

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
