#include "LoopbackFileServer.h"

#include <httplib.h>

#include <chrono>

CLoopbackFileServer::CLoopbackFileServer() = default;

CLoopbackFileServer::~CLoopbackFileServer()
{
    Stop();
}

void CLoopbackFileServer::SetFile(const std::string& name, const std::string& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files[name] = bytes;
}

std::string CLoopbackFileServer::File(const std::string& name, bool& bFound)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_files.find(name);
    bFound = it != m_files.end();
    return bFound ? it->second : std::string();
}

std::string CLoopbackFileServer::Url(const std::string& mode, const std::string& name) const
{
    return std::string(m_bHttps ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_nPort) + "/" + mode + "/" +
           name;
}

bool CLoopbackFileServer::Start(const std::string& certFile, const std::string& keyFile)
{
    Stop();
    m_bHttps = !certFile.empty();
    if (m_bHttps)
        m_pServer = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
    else
        m_pServer = std::make_unique<httplib::Server>();
    if (!m_pServer->is_valid())
        return false;
    m_pServer->set_keep_alive_timeout(1);
    m_pServer->Get(R"(/([a-z]+)/([A-Za-z0-9._-]+))", [this](const httplib::Request& req, httplib::Response& res) {
        ++m_nRequests;
        const std::string mode = req.matches[1];
        bool bFound = false;
        const std::string body = File(req.matches[2], bFound);
        if (!bFound) {
            res.status = 404;
            res.set_content("Not Found\n", "text/plain");
        } else if (mode == "ok") {
            res.set_content(body, "text/plain");
        } else if (mode == "cut") {
            res.set_content_provider(body.size(), "text/plain", [body](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset >= body.size() / 2)
                    return false; // closes the connection mid-file
                return sink.write(body.data(), body.size() / 2);
            });
        } else {
            res.status = 400;
        }
    });
    m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
    if (m_nPort <= 0) {
        m_pServer.reset();
        return false;
    }
    m_thread = std::thread([this] { m_pServer->listen_after_bind(); });
    for (int i = 0; i < 5000 && !m_pServer->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void CLoopbackFileServer::Stop()
{
    if (!m_pServer)
        return;
    m_pServer->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_pServer.reset();
}
