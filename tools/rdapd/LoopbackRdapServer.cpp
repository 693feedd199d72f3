#include "LoopbackRdapServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* kRdapType = "application/rdap+json";

} // namespace

CLoopbackRdapServer::CLoopbackRdapServer() = default;

CLoopbackRdapServer::~CLoopbackRdapServer()
{
    Stop();
}

bool CLoopbackRdapServer::LoadAnswers(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    if (ec)
        return false;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        const size_t dash = name.find_last_of('-');
        const size_t dot = name.rfind(".json");
        if (dash == std::string::npos || dot == std::string::npos || dot <= dash)
            continue;
        SetAnswer(name.substr(dash + 1, dot - dash - 1), ReadFile(entry.path()));
    }
    return true;
}

void CLoopbackRdapServer::SetAnswer(const std::string& address, const std::string& json)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[address] = json;
}

void CLoopbackRdapServer::SetRedirectBase(const std::string& base)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strRedirectBase = base;
}

void CLoopbackRdapServer::SetRetryAfter(const std::string& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strRetryAfter = value;
}

std::string CLoopbackRdapServer::Answer(const std::string& address)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_answers.find(address);
    return it == m_answers.end() ? std::string() : it->second;
}

std::string CLoopbackRdapServer::BaseUrl(const std::string& mode) const
{
    return std::string(m_bHttps ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_nPort) + "/" + mode + "/";
}

bool CLoopbackRdapServer::Start(const std::string& certFile, const std::string& keyFile, int nPort)
{
    Stop();
    m_bStopping = false;
    m_bHttps = !certFile.empty();
    if (m_bHttps)
        m_pServer = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
    else
        m_pServer = std::make_unique<httplib::Server>();
    if (!m_pServer->is_valid())
        return false;
    // Enough threads for eight clients that each keep their connection open.
    m_pServer->new_task_queue = [] { return new httplib::ThreadPool(24); };
    m_pServer->set_keep_alive_max_count(100000);
    // Stop waits for idle kept-alive connections; a short wait keeps tests quick.
    m_pServer->set_keep_alive_timeout(1);
    m_pServer->set_read_timeout(30, 0);
    m_pServer->set_write_timeout(30, 0);

    m_pServer->Get(R"(/([a-z]+)/ip/([0-9A-Fa-f.:]+))", [this](const httplib::Request& req, httplib::Response& res) {
        ++m_nRequests;
        const std::string mode = req.matches[1];
        const std::string address = req.matches[2];
        const std::string self = BaseUrl(mode) + "ip/" + address;
        if (mode == "ok") {
            const std::string body = Answer(address);
            if (body.empty()) {
                res.status = 404;
                res.set_content(R"({"errorCode": 404, "title": "Not Found"})", kRdapType);
            } else {
                res.set_content(body, kRdapType);
            }
        } else if (mode == "notfound") {
            res.status = 404;
            res.set_content(R"({"errorCode": 404, "title": "Not Found"})", kRdapType);
        } else if (mode == "limit") {
            res.status = 429;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_strRetryAfter.empty())
                res.set_header("Retry-After", m_strRetryAfter);
        } else if (mode == "busy") {
            res.status = 503;
        } else if (mode == "fail") {
            res.status = 500;
        } else if (mode == "moved") {
            std::string base;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                base = m_strRedirectBase;
            }
            res.set_redirect(base + "ip/" + address, 301);
        } else if (mode == "loop") {
            res.set_redirect(self, 301);
        } else if (mode == "offsite") {
            res.set_redirect("http://8.8.8.8/ip/" + address, 301);
        } else if (mode == "hang") {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_stopped.wait_for(lock, std::chrono::seconds(60), [this] { return m_bStopping.load(); });
            res.status = 504;
        } else if (mode == "trickle") {
            res.set_chunked_content_provider(kRdapType, [this](size_t, httplib::DataSink& sink) {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_stopped.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_bStopping.load(); }))
                    return false;
                lock.unlock();
                return sink.write(" ", 1);
            });
        } else if (mode == "huge") {
            std::string body = "{\"objectClassName\": \"ip network\", \"name\": \"";
            body.append(10 * 1024 * 1024, 'x');
            body += "\"}";
            res.set_content(body, kRdapType);
        } else if (mode == "badjson") {
            res.set_content(R"({"objectClassName": "ip network", "startAddress": "192.0.2.0", "name": )", kRdapType);
        } else if (mode == "deep") {
            res.set_content(std::string(10000, '[') + std::string(10000, ']'), kRdapType);
        } else if (mode == "html") {
            res.set_content("<html><head><title>Error</title></head><body><h1>Service unavailable</h1></body></html>",
                            "text/html");
        } else if (mode == "cut") {
            const std::string body = Answer(address).empty() ? std::string(4096, ' ') : Answer(address);
            res.set_content_provider(body.size() * 2, kRdapType,
                                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset >= body.size() / 2)
                                             return false; // closes the connection mid-answer
                                         return sink.write(body.data(), body.size() / 2);
                                     });
        } else {
            res.status = 400;
        }
    });

    m_nPort = nPort > 0 ? (m_pServer->bind_to_port("127.0.0.1", nPort) ? nPort : -1)
                        : m_pServer->bind_to_any_port("127.0.0.1");
    if (m_nPort <= 0) {
        m_pServer.reset();
        return false;
    }
    m_thread = std::thread([this] { m_pServer->listen_after_bind(); });
    // stop() before the loop runs would be lost and leave the thread in accept().
    for (int i = 0; i < 5000 && !m_pServer->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void CLoopbackRdapServer::Stop()
{
    if (!m_pServer)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_stopped.notify_all();
    m_pServer->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_pServer.reset();
}

bool CLoopbackRdapServer::MakeCertificate(const std::string& dir, std::string& certFile, std::string& keyFile)
{
    certFile = dir + "/rdap-test-cert.pem";
    keyFile = dir + "/rdap-test-key.pem";
    const std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1"
                            " -addext basicConstraints=critical,CA:TRUE"
                            " -keyout '" +
                            keyFile + "' -out '" + certFile + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}
