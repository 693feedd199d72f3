#pragma once

#include <cstddef>
#include <cstdint>

class CExchangeCancel;
class CIPAddress;

// One TCP client socket (IPv4 unless opened for IPv6) with every blocking step bounded by a time-out.
// The descriptor is non-blocking and close-on-exec; waits use poll, EINTR is
// retried, and sends never raise SIGPIPE. Closed by the destructor. A socket opened
// under a cancel switch (ExchangeCancel.h) ends with a failure once it is cancelled.
class CPlatformSocket
{
public:
    enum EReceive
    {
        received,
        closedByPeer,
        failed,
        timedOut
    };

    CPlatformSocket() = default;
    ~CPlatformSocket();
    CPlatformSocket(const CPlatformSocket&) = delete;
    CPlatformSocket& operator=(const CPlatformSocket&) = delete;

    // An open socket is closed first.
    bool Open(bool bIPv6 = false);
    // dwAddress has the first octet in the top byte; the socket must be an IPv4 one.
    bool Connect(uint32_t dwAddress, int nPort, int nTimeoutMs);
    // An IPv6 address on a socket opened for IPv6, an IPv4 one on an IPv4 socket.
    bool Connect(const CIPAddress& address, int nPort, int nTimeoutMs);
    // Sends all bytes, waiting at most nTimeoutMs for the peer to take each part.
    bool SendAll(const char* data, size_t size, int nTimeoutMs);
    // Waits at most nTimeoutMs for data; on received, nReceived holds 1..size.
    EReceive Receive(char* buffer, size_t size, int nTimeoutMs, size_t& nReceived);
    void ShutdownReceive();
    void Close();

    bool IsOpen() const { return m_nFd >= 0; }

private:
    // Waits for the events; false on time-out or error.
    bool Wait(short events, int nTimeoutMs);
    bool ConnectTo(const void* pSockAddr, unsigned nLength, int nTimeoutMs);

    bool Cancelled() const;

    int m_nFd = -1;
    CExchangeCancel* m_pCancel = nullptr;
};
