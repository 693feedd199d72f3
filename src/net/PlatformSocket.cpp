#include "net/PlatformSocket.h"

#include "core/record/IPAddress.h"
#include "net/ExchangeCancel.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

CPlatformSocket::~CPlatformSocket()
{
    Close();
}

bool CPlatformSocket::Open(bool bIPv6)
{
    Close();
    m_nFd = ::socket(bIPv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_nFd < 0)
        return false;
    if (CExchangeCancel* pCancel = CExchangeCancel::Current()) {
        if (!pCancel->Register(m_nFd)) {
            Close();
            return false;
        }
        m_pCancel = pCancel;
    }
    return true;
}

bool CPlatformSocket::Cancelled() const
{
    return m_pCancel && m_pCancel->IsCancelled();
}

bool CPlatformSocket::Wait(short events, int nTimeoutMs)
{
    // EINTR must not stretch the wait beyond the caller's bound.
    const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs < 0 ? 0 : nTimeoutMs);
    while (true) {
        pollfd pfd {m_nFd, events, 0};
        const int rc = ::poll(&pfd, 1, RemainingMs(deadline));
        if (rc > 0)
            return true; // readiness or an error condition: the next call reports which
        if (rc == 0)
            return false;
        if (errno != EINTR)
            return false;
        if (RemainingMs(deadline) == 0)
            return false;
    }
}

bool CPlatformSocket::Connect(uint32_t dwAddress, int nPort, int nTimeoutMs)
{
    if (m_nFd < 0 || nPort <= 0 || nPort > 65535)
        return false;
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(uint16_t(nPort));
    sin.sin_addr.s_addr = htonl(dwAddress);
    return ConnectTo(&sin, sizeof sin, nTimeoutMs);
}

bool CPlatformSocket::Connect(const CIPAddress& address, int nPort, int nTimeoutMs)
{
    if (address.IsIPv4())
        return Connect(address.IPv4(), nPort, nTimeoutMs);
    if (m_nFd < 0 || nPort <= 0 || nPort > 65535)
        return false;
    sockaddr_in6 sin6 {};
    sin6.sin6_family = AF_INET6;
    sin6.sin6_port = htons(uint16_t(nPort));
    const std::array<uint8_t, 16> bytes = address.Bytes();
    std::memcpy(&sin6.sin6_addr, bytes.data(), bytes.size());
    return ConnectTo(&sin6, sizeof sin6, nTimeoutMs);
}

bool CPlatformSocket::ConnectTo(const void* pSockAddr, unsigned nLength, int nTimeoutMs)
{
    if (::connect(m_nFd, static_cast<const sockaddr*>(pSockAddr), socklen_t(nLength)) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (!Wait(POLLOUT, nTimeoutMs)) {
        // The caller tells a server that never answered from one that refused.
        if (!Cancelled())
            errno = ETIMEDOUT;
        return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(m_nFd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
        return false;
    if (error != 0)
        errno = error;
    return error == 0 && !Cancelled();
}

bool CPlatformSocket::SendAll(const char* data, size_t size, int nTimeoutMs)
{
    if (m_nFd < 0)
        return false;
    while (size > 0) {
        const ssize_t n = ::send(m_nFd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!Wait(POLLOUT, nTimeoutMs))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

CPlatformSocket::EReceive CPlatformSocket::Receive(char* buffer, size_t size, int nTimeoutMs, size_t& nReceived)
{
    nReceived = 0;
    if (m_nFd < 0)
        return failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs < 0 ? 0 : nTimeoutMs);
    while (true) {
        const ssize_t n = ::recv(m_nFd, buffer, size, 0);
        if (n > 0) {
            nReceived = size_t(n);
            return received;
        }
        // A cancelled exchange was shut down here, not closed by the server.
        if (n == 0)
            return Cancelled() ? failed : closedByPeer;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return failed;
        const int left = RemainingMs(deadline);
        if (left == 0)
            return timedOut;
        // poll's millisecond may end a little before the deadline: that is still a
        // time-out, not a broken connection, so look again.
        Wait(POLLIN, left);
    }
}

void CPlatformSocket::ShutdownReceive()
{
    if (m_nFd >= 0)
        ::shutdown(m_nFd, SHUT_RD);
}

void CPlatformSocket::Close()
{
    if (m_nFd >= 0) {
        if (m_pCancel)
            m_pCancel->Unregister(m_nFd);
        m_pCancel = nullptr;
        // close() is not retried on EINTR on Linux: the descriptor is gone either way.
        ::close(m_nFd);
        m_nFd = -1;
    }
}
