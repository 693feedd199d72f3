#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

// A file server on 127.0.0.1 for tests, over HTTPS (or plain HTTP). Requests are
// /MODE/NAME:
//   ok   the file set under NAME (404 when none)
//   cut  announces the file's length, sends half of it and closes
class CLoopbackFileServer
{
public:
    CLoopbackFileServer();
    ~CLoopbackFileServer();
    CLoopbackFileServer(const CLoopbackFileServer&) = delete;
    CLoopbackFileServer& operator=(const CLoopbackFileServer&) = delete;

    void SetFile(const std::string& name, const std::string& bytes);
    bool Start(const std::string& certFile = std::string(), const std::string& keyFile = std::string());
    void Stop();

    std::string Url(const std::string& mode, const std::string& name) const;
    size_t Requests() const { return m_nRequests.load(); }

private:
    std::string File(const std::string& name, bool& bFound);

    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_thread;
    int m_nPort = 0;
    bool m_bHttps = false;
    std::atomic<size_t> m_nRequests {0};
    std::mutex m_mutex;
    std::map<std::string, std::string> m_files;
};
