#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

// An RDAP server on 127.0.0.1 for tests, demos and benchmarks, over plain HTTP or
// HTTPS. Requests have the form /MODE/ip/ADDRESS; the base URL of a mode is what a
// test's bootstrap file names. Modes:
//   ok       the answer set for the address (404 with an RDAP error when none)
//   notfound 404            limit    429 with the Retry-After set (none when empty)
//   busy     503            fail     500
//   moved    301 to the redirect base + ip/ADDRESS
//   loop     301 to the same URL    offsite  301 to http://8.8.8.8/ip/ADDRESS
//   hang     never answers (until Stop)
//   trickle  one byte every 50 ms until the client leaves
//   huge     10 MiB of JSON         badjson  a truncated JSON text
//   deep     arrays nested 10,000 deep      html  an HTML error page with status 200
//   cut      announces twice the answer's length, sends half, closes
class CLoopbackRdapServer
{
public:
    CLoopbackRdapServer();
    ~CLoopbackRdapServer();
    CLoopbackRdapServer(const CLoopbackRdapServer&) = delete;
    CLoopbackRdapServer& operator=(const CLoopbackRdapServer&) = delete;

    // Every file in dir whose name ends in "-ADDRESS.json" answers for ADDRESS. False when dir cannot be read.
    bool LoadAnswers(const std::string& dir);
    void SetAnswer(const std::string& address, const std::string& json);
    void SetRedirectBase(const std::string& base);
    void SetRetryAfter(const std::string& value);

    // Plain HTTP when certFile is empty. Port 0 picks a free port.
    bool Start(const std::string& certFile = std::string(), const std::string& keyFile = std::string(), int nPort = 0);
    void Stop();

    int Port() const { return m_nPort; }
    std::string BaseUrl(const std::string& mode) const;
    size_t Requests() const { return m_nRequests.load(); }

    // Writes a self-signed certificate for 127.0.0.1 (usable as its own CA file) and its key into dir with the
    // openssl command. False when openssl failed.
    static bool MakeCertificate(const std::string& dir, std::string& certFile, std::string& keyFile);

private:
    std::string Answer(const std::string& address);

    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_thread;
    int m_nPort = 0;
    bool m_bHttps = false;
    std::atomic<size_t> m_nRequests {0};
    std::atomic<bool> m_bStopping {false};
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::map<std::string, std::string> m_answers;
    std::string m_strRedirectBase;
    std::string m_strRetryAfter;
};
