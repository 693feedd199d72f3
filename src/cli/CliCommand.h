#pragma once

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
    // args: everything after the verb, global options already removed. Returns the exit status.
    virtual int Run(CCliContext& ctx, const std::vector<std::string>& args) = 0;
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

// Exit status 2 with the usage line: for argument errors.
int CliUsageError(CCliContext& ctx, const CCliCommand& cmd, const std::string& message);
