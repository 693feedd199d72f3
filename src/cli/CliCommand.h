#pragma once

#include "cli/CliArgs.h"
#include "cli/CliParam.h"

#include <cstdio>
#include <string>
#include <vector>

class CSettingsStore;

// What a command runs with: the settings store chosen by the global options, and
// the process's streams (commands write through these so tests can capture them).
struct CCliContext {
    CSettingsStore& settings;
    FILE* out;
    FILE* err;
    FILE* in;
    bool m_bQuiet = false; // -q: no progress, no summary
    bool m_bVerbose = false; // -v: each query and referral on stderr
};

// Exit statuses, the same for every command (listed in --help and the README).
enum ECliExit : int
{
    cliExitDone = 0,
    cliExitFailed = 1, // some of the work failed
    cliExitUsage = 2, // usage or settings error
    cliExitInUse = 3, // the document is in use by another process
};

// One verb of addrscope-cli. Each command lives in its own Cmd*.cpp and registers
// itself with a static CCliRegistration.
class CCliCommand
{
public:
    virtual ~CCliCommand() = default;
    virtual const char* Name() const = 0;
    virtual const char* Usage() const = 0; // arguments after the verb
    virtual const char* Summary() const = 0; // one line for --help
    // The arguments and options, declared once: the command line is read with them,
    // and --help, the manual page and the shell completions list them.
    virtual const std::vector<CCliParam>& Params() const = 0;
    // Help lines after the list of arguments and options.
    virtual const char* Notes() const { return ""; }
    // args: the words after the verb, read with Params() and the common options.
    // Returns the exit status.
    virtual int Run(CCliContext& ctx, const CCliArgs& args) = 0;
};

class CCliRegistry
{
public:
    static void Add(CCliCommand* pCommand);
    static CCliCommand* Find(const std::string& name);
    static const std::vector<CCliCommand*>& All();
};

template <class T> struct CCliRegistration {
    CCliRegistration() { CCliRegistry::Add(new T); }
};

// The options every command takes: -q, -v, --settings FILE, --help.
const std::vector<CCliParam>& CliCommonOptions();
// What may stand before the command's name besides them: -h, --version.
const std::vector<CCliParam>& CliProgramOptions();

struct CCliExitStatus {
    int m_nStatus;
    const char* m_pszMeaning;
};
const std::vector<CCliExitStatus>& CliExitStatuses();

// The words after a command's name read with its options and the common ones.
CCliParseResult ParseCliCommand(const CCliCommand& cmd, const std::vector<std::string>& words);

// The command's --help text: usage, summary, options, exit statuses.
std::string CliCommandHelp(const CCliCommand& cmd);
// The options every command takes, as help lines.
std::string CliCommonOptionsHelp();
// The exit statuses, as help lines.
std::string CliExitStatusHelp();

// Exit status 2 with the usage line: for argument errors.
int CliUsageError(CCliContext& ctx, const CCliCommand& cmd, const std::string& message);
int CliUsageError(FILE* err, const CCliCommand& cmd, const std::string& message);

// An IPv4 address in dotted form, or a host name (letters, digits and hyphens in
// dot-separated labels of at most 63 characters, 253 in all, an optional final dot).
// Anything else is refused before it reaches a resolver or a server.
bool IsAddressOrHostName(const std::string& text);

// An address given on the command line: a dotted quad stays as typed (records keep
// IPv4 text so), an IPv6 address becomes its RFC 5952 text, an IPv4-mapped one its
// dotted quad. False, with strAddress unchanged, for any other text.
bool CliAddressText(const std::string& text, std::string& strAddress);
