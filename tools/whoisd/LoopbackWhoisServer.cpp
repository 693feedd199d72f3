#include "LoopbackWhoisServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxQueryLine = 4096;
constexpr int kQueryWaitSeconds = 5;
constexpr size_t kTenMegabytes = 10 * 1024 * 1024;

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool SendAll(int fd, const std::string& text)
{
    return SendAll(fd, text.data(), text.size());
}

// Reads up to the first line feed; false when the client left first.
bool ReadQueryLine(int fd, std::string& line)
{
    timeval tv {kQueryWaitSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char c;
    while (line.size() < kMaxQueryLine) {
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !line.empty();
        line.push_back(c);
        if (c == '\n')
            return true;
    }
    return true;
}

std::string QueryText(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string WithLoneCRs(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out.push_back(text[i] == '\n' ? '\r' : text[i]);
    }
    return out;
}

std::string WithoutLineEnds(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
    return text;
}

void ResetAndClose(int fd)
{
    linger lg {1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    ::close(fd);
}

} // namespace

CLoopbackWhoisServer::CLoopbackWhoisServer() = default;

CLoopbackWhoisServer::~CLoopbackWhoisServer()
{
    Stop();
}

void CLoopbackWhoisServer::AddAddress(const std::string& address)
{
    std::lock_guard lock(m_mutex);
    if (Find(address))
        return;
    auto endpoint = std::make_unique<CEndpoint>();
    endpoint->m_strAddress = address;
    m_endpoints.push_back(std::move(endpoint));
}

CLoopbackWhoisServer::CEndpoint* CLoopbackWhoisServer::Find(const std::string& address)
{
    for (auto& e : m_endpoints)
        if (e->m_strAddress == address)
            return e.get();
    return nullptr;
}

const CLoopbackWhoisServer::CEndpoint* CLoopbackWhoisServer::Find(const std::string& address) const
{
    for (auto& e : m_endpoints)
        if (e->m_strAddress == address)
            return e.get();
    return nullptr;
}

void CLoopbackWhoisServer::CloseListeners()
{
    for (auto& e : m_endpoints) {
        if (e->m_nListenFd >= 0)
            ::close(e->m_nListenFd);
        e->m_nListenFd = -1;
    }
}

void CLoopbackWhoisServer::SetAnswerDelay(const std::string& address, int nMs)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address))
        e->m_nDelayMs = nMs;
}

bool CLoopbackWhoisServer::Bind(int nPort)
{
    int port = nPort;
    for (auto& e : m_endpoints) {
        // An address with a colon is an IPv6 one (::1), served on IPv6 only.
        const bool bIPv6 = e->m_strAddress.find(':') != std::string::npos;
        sockaddr_storage ss {};
        socklen_t len = 0;
        if (bIPv6) {
            auto* sin6 = reinterpret_cast<sockaddr_in6*>(&ss);
            sin6->sin6_family = AF_INET6;
            sin6->sin6_port = htons(uint16_t(port));
            if (::inet_pton(AF_INET6, e->m_strAddress.c_str(), &sin6->sin6_addr) != 1)
                return false;
            len = sizeof *sin6;
        } else {
            auto* sin = reinterpret_cast<sockaddr_in*>(&ss);
            sin->sin_family = AF_INET;
            sin->sin_port = htons(uint16_t(port));
            if (::inet_pton(AF_INET, e->m_strAddress.c_str(), &sin->sin_addr) != 1)
                return false;
            len = sizeof *sin;
        }
        const int fd = ::socket(bIPv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        e->m_nListenFd = fd;
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bIPv6)
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&ss), len) != 0 || ::listen(fd, 128) != 0)
            return false;
        if (port == 0) {
            socklen_t got = sizeof ss;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &got) != 0)
                return false;
            port = ntohs(bIPv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
        }
    }
    m_nPort = port;
    return true;
}

bool CLoopbackWhoisServer::Start(int nPort)
{
    std::lock_guard lock(m_mutex);
    if (m_acceptor.joinable() || m_endpoints.empty())
        return false;
    // A free port on the first address may be taken on another; try a few.
    bool bound = false;
    for (int attempt = 0; attempt < (nPort == 0 ? 20 : 1) && !bound; ++attempt) {
        bound = Bind(nPort);
        if (!bound)
            CloseListeners();
    }
    if (!bound)
        return false;
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        CloseListeners();
        return false;
    }
    m_nWakeRead = wake[0];
    m_nWakeWrite = wake[1];
    m_bStopping = false;
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void CLoopbackWhoisServer::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_acceptor.joinable())
            return;
        m_bStopping = true;
        const char c = 0;
        [[maybe_unused]] ssize_t n = ::write(m_nWakeWrite, &c, 1);
        // Wakes every connection thread blocked in send or recv.
        for (int fd : m_activeFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_acceptor.join();
    ReapWorkers(true);
    std::lock_guard lock(m_mutex);
    CloseListeners();
    ::close(m_nWakeRead);
    ::close(m_nWakeWrite);
    m_nWakeRead = m_nWakeWrite = -1;
}

void CLoopbackWhoisServer::ReapWorkers(bool all)
{
    std::vector<CWorker> done;
    {
        std::lock_guard lock(m_mutex);
        auto keep = std::partition(m_workers.begin(), m_workers.end(),
                                   [all](const CWorker& w) { return !all && !w.m_pDone->load(); });
        std::move(keep, m_workers.end(), std::back_inserter(done));
        m_workers.erase(keep, m_workers.end());
    }
    for (auto& w : done)
        w.m_thread.join();
}

void CLoopbackWhoisServer::AcceptLoop()
{
    std::vector<pollfd> fds;
    {
        std::lock_guard lock(m_mutex);
        for (auto& e : m_endpoints)
            fds.push_back({e->m_nListenFd, POLLIN, 0});
    }
    fds.push_back({m_nWakeRead, POLLIN, 0});
    while (!m_bStopping) {
        for (auto& p : fds)
            p.revents = 0;
        const int rc = ::poll(fds.data(), fds.size(), 200);
        ReapWorkers(false);
        if (rc <= 0)
            continue;
        if (fds.back().revents)
            break;
        for (size_t i = 0; i + 1 < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard lock(m_mutex);
            if (m_bStopping) {
                ::close(fd);
                continue;
            }
            m_activeFds.push_back(fd);
            auto pDone = std::make_shared<std::atomic<bool>>(false);
            m_workers.push_back({std::thread([this, i, fd, pDone] {
                                     Serve(i, fd);
                                     *pDone = true;
                                 }),
                                 pDone});
        }
    }
}

bool CLoopbackWhoisServer::LookupAnswer(CEndpoint& endpoint, const std::string& query, std::string& answer)
{
    auto it = endpoint.m_answers.find(query);
    if (it != endpoint.m_answers.end()) {
        answer = it->second;
        return true;
    }
    const bool safeName = !query.empty() && query != "." && query != ".." &&
                          query.find_first_of(std::string("/\0", 2)) == std::string::npos;
    if (!endpoint.m_strFolder.empty() && safeName) {
        for (const std::string& name : {query, query + ".txt"}) {
            std::ifstream in(endpoint.m_strFolder + "/" + name, std::ios::binary);
            if (in) {
                answer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                return true;
            }
        }
    }
    if (endpoint.m_bHasDefault) {
        answer = endpoint.m_strDefaultAnswer;
        return true;
    }
    return false;
}

void CLoopbackWhoisServer::Serve(size_t index, int fd)
{
    EWhoisServerMode mode;
    {
        std::lock_guard lock(m_mutex);
        CEndpoint& e = *m_endpoints[index];
        ++e.m_nConnections;
        mode = e.m_mode;
        if (!e.m_queuedModes.empty()) {
            mode = e.m_queuedModes.front();
            e.m_queuedModes.pop_front();
        } else if (e.m_nModeCount > 0 && --e.m_nModeCount == 0) {
            e.m_mode = EWhoisServerMode::normal;
            e.m_nModeCount = -1;
        }
    }
    // Closed under the lock: Stop must never shut down a number already reused, and
    // ActiveConnections must not report 0 while a descriptor is still open.
    const auto finish = [this, fd](bool reset) {
        std::lock_guard lock(m_mutex);
        if (reset) {
            ResetAndClose(fd);
        } else {
            ::shutdown(fd, SHUT_WR);
            ::close(fd);
        }
        m_activeFds.erase(std::remove(m_activeFds.begin(), m_activeFds.end(), fd), m_activeFds.end());
    };
    if (mode == EWhoisServerMode::closeAtOnce) {
        finish(false);
        return;
    }

    std::string line;
    const bool gotQuery = ReadQueryLine(fd, line);
    std::string answer;
    bool known = false;
    int nDelayMs = 0;
    {
        std::lock_guard lock(m_mutex);
        CEndpoint& e = *m_endpoints[index];
        if (gotQuery) {
            e.m_queries.push_back(line);
            known = LookupAnswer(e, QueryText(line), answer);
        }
        nDelayMs = e.m_nDelayMs;
    }
    if (!gotQuery) {
        finish(false);
        return;
    }
    if (nDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));

    switch (mode) {
    case EWhoisServerMode::normal:
    case EWhoisServerMode::closeAtOnce:
        if (known)
            SendAll(fd, answer);
        break;
    case EWhoisServerMode::neverAnswer: {
        char buf[256];
        while (!m_bStopping) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
                break;
        }
        break;
    }
    case EWhoisServerMode::sendForever: {
        const std::string chunk(16384, 'x');
        while (!m_bStopping && SendAll(fd, chunk)) {
        }
        break;
    }
    case EWhoisServerMode::zeroByte: {
        const size_t half = answer.size() / 2;
        std::string bytes = answer.substr(0, half);
        bytes.push_back('\0');
        bytes += answer.substr(half);
        SendAll(fd, bytes);
        break;
    }
    case EWhoisServerMode::queryLimit:
        SendAll(fd, QueryLimitText());
        break;
    case EWhoisServerMode::closeMidAnswer:
        SendAll(fd, answer.substr(0, answer.size() / 2));
        // Let the half arrive before the reset.
        ::usleep(50 * 1000);
        finish(true);
        return;
    case EWhoisServerMode::resetAtOnce:
        finish(true);
        return;
    case EWhoisServerMode::crOnly:
        SendAll(fd, WithLoneCRs(answer));
        break;
    case EWhoisServerMode::noLineEnds:
        SendAll(fd, WithoutLineEnds(answer));
        break;
    case EWhoisServerMode::trickle:
        while (!m_bStopping && SendAll(fd, "x", 1))
            ::usleep(20 * 1000);
        break;
    case EWhoisServerMode::tenMegabytes: {
        std::string chunk;
        while (chunk.size() < 65536)
            chunk += "remarks:        filler line of a very long answer\n";
        size_t sent = 0;
        while (!m_bStopping && sent < kTenMegabytes) {
            const size_t n = std::min(chunk.size(), kTenMegabytes - sent);
            if (!SendAll(fd, chunk.data(), n))
                break;
            sent += n;
        }
        break;
    }
    }
    finish(false);
}

void CLoopbackWhoisServer::SetAnswer(const std::string& address, const std::string& query, const std::string& answer)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address))
        e->m_answers[query] = answer;
}

void CLoopbackWhoisServer::SetDefaultAnswer(const std::string& address, const std::string& answer)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address)) {
        e->m_strDefaultAnswer = answer;
        e->m_bHasDefault = true;
    }
}

void CLoopbackWhoisServer::SetAnswerFolder(const std::string& address, const std::string& folder)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address))
        e->m_strFolder = folder;
}

void CLoopbackWhoisServer::SetMode(const std::string& address, EWhoisServerMode mode, int nConnections)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address)) {
        e->m_mode = mode;
        e->m_nModeCount = nConnections;
    }
}

void CLoopbackWhoisServer::QueueModes(const std::string& address, const std::vector<EWhoisServerMode>& modes)
{
    std::lock_guard lock(m_mutex);
    if (CEndpoint* e = Find(address))
        e->m_queuedModes.insert(e->m_queuedModes.end(), modes.begin(), modes.end());
}

std::vector<std::string> CLoopbackWhoisServer::Queries(const std::string& address) const
{
    std::lock_guard lock(m_mutex);
    const CEndpoint* e = Find(address);
    return e ? e->m_queries : std::vector<std::string>();
}

int CLoopbackWhoisServer::Connections(const std::string& address) const
{
    std::lock_guard lock(m_mutex);
    const CEndpoint* e = Find(address);
    return e ? e->m_nConnections : 0;
}

int CLoopbackWhoisServer::ActiveConnections() const
{
    std::lock_guard lock(m_mutex);
    return int(m_activeFds.size());
}
