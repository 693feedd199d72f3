#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How a server behaves on a connection.
enum class EWhoisServerMode
{
    normal, // reads the query line, sends the answer, closes
    closeAtOnce, // closes the connection without reading anything
    neverAnswer, // reads the query and keeps the connection open until the client leaves
    sendForever, // sends text until the client leaves
    zeroByte, // sends the answer with a zero byte in its middle
    queryLimit, // answers "Your query limit has been exceeded"
    closeMidAnswer, // sends half the answer, then resets the connection
    crOnly, // the answer with every line end turned into a lone CR
    noLineEnds, // the answer with its line ends removed
    tenMegabytes, // sends 10 MiB of text, then closes
    trickle, // sends one byte every 20 ms until the client leaves
    resetAtOnce, // reads the query, then resets the connection without a byte of answer
};

// Whois servers on loopback addresses for tests and demos. One object listens
// on several addresses (127.0.0.2, 127.0.0.3, ..., or IPv6 ones such as ::1) on one port; each address
// plays one server with its own answers and behaviour. Answers are chosen by
// the query text: an answer set for that exact text, else a file of that name
// (or that name plus ".txt") in the address's folder, else the address's
// default answer, else nothing (the connection is closed after the query).
// Connections are served on threads of their own; Stop (or the destructor)
// ends them all. All methods may be called while the server runs.
class CLoopbackWhoisServer
{
public:
    CLoopbackWhoisServer();
    ~CLoopbackWhoisServer();
    CLoopbackWhoisServer(const CLoopbackWhoisServer&) = delete;
    CLoopbackWhoisServer& operator=(const CLoopbackWhoisServer&) = delete;

    // One loopback address per whois server the lookups know (ARIN, RIPE, ...), so
    // that a test can tell the servers apart by the address asked.
    static constexpr const char* kRegistryHosts[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5",
                                                     "127.0.0.6", "127.0.0.7", "127.0.0.8", "127.0.0.9"};

    // Before Start.
    void AddAddress(const std::string& address);
    // Every one of kRegistryHosts.
    void AddRegistryHosts()
    {
        for (const char* pszHost : kRegistryHosts)
            AddAddress(pszHost);
    }
    // Binds every address on nPort (0: a free port chosen for all) and starts serving.
    bool Start(int nPort = 0);
    void Stop();
    int Port() const { return m_nPort; }

    void SetAnswer(const std::string& address, const std::string& query, const std::string& answer);
    void SetDefaultAnswer(const std::string& address, const std::string& answer);
    void SetAnswerFolder(const std::string& address, const std::string& folder);
    // The next nConnections connections to address behave so (-1: every one from now on).
    void SetMode(const std::string& address, EWhoisServerMode mode, int nConnections = -1);
    // The next connections to address behave so, one mode each, before any SetMode mode.
    void QueueModes(const std::string& address, const std::vector<EWhoisServerMode>& modes);

    // Every later answer of address is sent nMs milliseconds after its query came
    // (a registry's own time to answer).
    void SetAnswerDelay(const std::string& address, int nMs);

    // The query lines received by address, as sent (line end included), oldest first.
    std::vector<std::string> Queries(const std::string& address) const;
    int Connections(const std::string& address) const;
    // Connections still being served.
    int ActiveConnections() const;

    static const char* QueryLimitText() { return "% Your query limit has been exceeded. Try again later.\n"; }

private:
    struct CEndpoint {
        std::string m_strAddress;
        int m_nListenFd = -1;
        std::map<std::string, std::string> m_answers;
        std::string m_strDefaultAnswer;
        bool m_bHasDefault = false;
        std::string m_strFolder;
        EWhoisServerMode m_mode = EWhoisServerMode::normal;
        int m_nModeCount = -1;
        std::deque<EWhoisServerMode> m_queuedModes;
        std::vector<std::string> m_queries;
        int m_nConnections = 0;
        int m_nDelayMs = 0;
    };
    struct CWorker {
        std::thread m_thread;
        std::shared_ptr<std::atomic<bool>> m_pDone;
    };

    CEndpoint* Find(const std::string& address);
    const CEndpoint* Find(const std::string& address) const;
    bool Bind(int nPort);
    void CloseListeners();
    void AcceptLoop();
    void Serve(size_t endpoint, int fd);
    bool LookupAnswer(CEndpoint& endpoint, const std::string& query, std::string& answer);
    void ReapWorkers(bool all);

    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<CEndpoint>> m_endpoints;
    std::vector<int> m_activeFds;
    std::vector<CWorker> m_workers;
    std::thread m_acceptor;
    int m_nWakeRead = -1;
    int m_nWakeWrite = -1;
    std::atomic<bool> m_bStopping {false};
    int m_nPort = 0;
};
