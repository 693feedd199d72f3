#pragma once

#include "support/CliEnv.h"
#include "support/TestFiles.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

// What a run of addrscope-cli left behind.
struct CCliResult {
    int m_nStatus = -1; // exit status; -1 when it did not exit normally or timed out
    bool m_bTimedOut = false;
    std::string m_strOut;
    std::string m_strErr;
};

// Runs the built addrscope-cli with the arguments, standard input from /dev/null,
// a fixed locale and time zone, and output captured through files. A run that
// takes longer than nTimeoutSeconds is killed and reported as timed out.
// stdinPath and stdoutPath replace /dev/null and the captured output when given.
inline CCliResult RunCli(const std::vector<std::string>& args, int nTimeoutSeconds = 60,
                         const std::string& stdinPath = "/dev/null", const std::string& stdoutPath = "")
{
    CCliResult result;
    CTempDir dir;
    const std::string outPath = dir.File("stdout");
    const std::string errPath = dir.File("stderr");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.empty() ? outPath.c_str() : stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> env = CliEnvironment(dir.File("cache"));
    std::vector<char*> envp = EnvPointers(env);

    std::vector<std::string> argStore;
    argStore.emplace_back(ADDRSCOPE_CLI);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid;
    const int rc = posix_spawn(&pid, ADDRSCOPE_CLI, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return result;

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nTimeoutSeconds);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.m_bTimedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.m_bTimedOut && WIFEXITED(status))
        result.m_nStatus = WEXITSTATUS(status);
    result.m_strOut = ReadFileBytes(outPath);
    result.m_strErr = ReadFileBytes(errPath);
    return result;
}
