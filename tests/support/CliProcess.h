#pragma once

#include "support/CliRunner.h"

#include <optional>

// addrscope-cli started in the background, for tests that must act while it runs:
// send it a signal, close the pipe it writes to, feed its standard input. Each of
// the three streams is a descriptor of the test's (dup2'd in the child) or a path.
// The child opens its paths before it runs, while the parent waits: never name a
// FIFO here (nobody could open its other end); pass a pipe's descriptor instead.
class CCliProcess
{
public:
    struct CStream {
        int m_fd = -1; // used when >= 0
        std::string m_strPath; // otherwise opened in the child
    };

    CCliProcess() = default;
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;
    ~CCliProcess()
    {
        if (m_pid > 0 && !m_bReaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Start(const std::vector<std::string>& args, const CStream& in, const CStream& out, const CStream& err)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const CStream* streams[3] = {&in, &out, &err};
        for (int n = 0; n < 3; ++n) {
            if (streams[n]->m_fd >= 0)
                posix_spawn_file_actions_adddup2(&actions, streams[n]->m_fd, n);
            else
                posix_spawn_file_actions_addopen(&actions, n, streams[n]->m_strPath.c_str(),
                                                 n == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        std::vector<std::string> env = CliEnvironment(m_cacheHome.File("cache"));
        std::vector<char*> envp = EnvPointers(env);
        std::vector<std::string> argStore {ADDRSCOPE_CLI};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, ADDRSCOPE_CLI, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }

    pid_t Pid() const { return m_pid; }

    // The exit status, or -1 when it ended by a signal; nullopt when it is still running
    // after nTimeoutSeconds (it is then killed).
    std::optional<int> Wait(int nTimeoutSeconds)
    {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nTimeoutSeconds);
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_bReaped = true;
        m_nTermSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int TermSignal() const { return m_nTermSignal; }

private:
    CTempDir m_cacheHome;
    pid_t m_pid = -1;
    bool m_bReaped = false;
    int m_nTermSignal = 0;
};
