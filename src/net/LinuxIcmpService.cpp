#include "net/LinuxIcmpService.h"

#include "net/Icmp6Packet.h"
#include "net/IcmpStatus.h"
#include "net/PingTexts.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kEchoReply = 0;
constexpr uint8_t kDestUnreachable = 3;
constexpr uint8_t kSourceQuench = 4;
constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kTimeExceeded = 11;
constexpr uint8_t kParameterProblem = 12;
constexpr uint8_t kEchoRequest6 = 128;

constexpr size_t kIcmpHeaderSize = 8;
constexpr size_t kIpHeaderMin = 20;
// The largest echo payload an IPv4 datagram can carry (an IPv6 one carries more,
// but one limit for both keeps the requests alike).
constexpr size_t kMaxEchoData = 65535 - 20 - kIcmpHeaderSize;
// Stale packets are drained before each request; bound the work a flood can cause.
constexpr int kMaxDrain = 256;

uint16_t Read16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

uint32_t Read32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t InternetChecksum(const uint8_t* p, size_t n)
{
    uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2)
        sum += Read16(p);
    if (n)
        sum += uint32_t(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

uint32_t SendErrorStatus(int err)
{
    switch (err) {
    case ENETUNREACH:
        return kIpDestNetUnreachable;
    case EHOSTUNREACH:
        return kIpDestHostUnreachable;
    case EMSGSIZE:
        return kIpPacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return kIpNoResources;
    case EACCES:
    case EPERM:
    case EADDRNOTAVAIL:
        return kIpBadDestination;
    case EINVAL:
        return kIpBadRequest;
    default:
        return kIpGeneralFailure;
    }
}

// Raw sockets see every ICMP packet of the host, so each one gets its own echo id.
// getpid() alone would be the same for every thread.
uint16_t NextRawEchoId()
{
    static std::atomic<uint16_t> next {uint16_t(getpid() * 2654435761u >> 16)};
    return next.fetch_add(1, std::memory_order_relaxed);
}

class CLinuxIcmpSession : public CIcmpSession
{
public:
    CLinuxIcmpSession(int fd, bool bRaw, bool bIPv6)
        : m_fd(fd)
        , m_bRaw(bRaw)
        , m_bIPv6(bIPv6)
        , m_wId(bRaw ? NextRawEchoId() : 0)
    { }
    ~CLinuxIcmpSession() override { close(m_fd); }
    CLinuxIcmpSession(const CLinuxIcmpSession&) = delete;
    CLinuxIcmpSession& operator=(const CLinuxIcmpSession&) = delete;

    int SendEcho(const CIcmpEchoRequest& request, CIcmpEchoReply& reply, uint32_t& dwStatus) override;

private:
    enum class EMatch
    {
        None,
        Reply
    };

    void DrainStale();
    EMatch ReadPacket(const CIcmpEchoRequest& request, CIcmpEchoReply& reply);
    EMatch ReadRawPacket(const uint8_t* p, size_t n, const CIcmpEchoRequest& request, CIcmpEchoReply& reply);
    EMatch ReadErrorQueue(const CIcmpEchoRequest& request, CIcmpEchoReply& reply);
    EMatch ReadPacket6(const CIcmpEchoRequest& request, CIcmpEchoReply& reply);
    EMatch ReadErrorQueue6(CIcmpEchoReply& reply);
    bool SetHopLimit(const CIcmpEchoRequest& request);
    ssize_t Send(const CIcmpEchoRequest& request);

    int m_fd;
    bool m_bRaw;
    bool m_bIPv6;
    uint16_t m_wId; // raw sockets only: the kernel picks the id of a ping socket
    uint16_t m_wSeq = 0;
    std::vector<uint8_t> m_packet;
    uint8_t m_buffer[65536];
};

void CLinuxIcmpSession::DrainStale()
{
    for (int i = 0; i < kMaxDrain; ++i)
        if (recv(m_fd, m_buffer, sizeof m_buffer, MSG_DONTWAIT) < 0 && errno == EAGAIN)
            break;
    if (!m_bRaw) {
        uint8_t control[512];
        for (int i = 0; i < kMaxDrain; ++i) {
            iovec iov {m_buffer, sizeof m_buffer};
            msghdr msg {};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            if (recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
                break;
        }
    }
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len);
}

bool CLinuxIcmpSession::SetHopLimit(const CIcmpEchoRequest& request)
{
    const int ttl = request.m_nTtl;
    if (!m_bIPv6)
        return setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
    return setsockopt(m_fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &ttl, sizeof ttl) == 0 &&
           setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl) == 0;
}

ssize_t CLinuxIcmpSession::Send(const CIcmpEchoRequest& request)
{
    if (!m_bIPv6) {
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(request.m_dwAddress);
        return sendto(m_fd, m_packet.data(), m_packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    sockaddr_in6 to {};
    to.sin6_family = AF_INET6;
    const std::array<uint8_t, 16> bytes = request.m_address6.Bytes();
    std::memcpy(&to.sin6_addr, bytes.data(), bytes.size());
    return sendto(m_fd, m_packet.data(), m_packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

int CLinuxIcmpSession::SendEcho(const CIcmpEchoRequest& request, CIcmpEchoReply& reply, uint32_t& dwStatus)
{
    if (request.m_nDataSize > kMaxEchoData || (request.m_nDataSize && !request.m_pData) || request.m_nTtl == 0 ||
        request.IsIPv6() != m_bIPv6) {
        dwStatus = kIpBadRequest;
        return 0;
    }
    // Linux delivers 0.0.0.0 (and ::) to the local host; it is no address to ping.
    if (m_bIPv6 ? request.m_address6 == CIPAddress::FromIPv6(0, 0) : request.m_dwAddress == 0) {
        dwStatus = kIpBadDestination;
        return 0;
    }

    DrainStale();
    ++m_wSeq;

    m_packet.assign(kIcmpHeaderSize + request.m_nDataSize, 0);
    m_packet[0] = m_bIPv6 ? kEchoRequest6 : kEchoRequest;
    m_packet[4] = uint8_t(m_wId >> 8);
    m_packet[5] = uint8_t(m_wId);
    m_packet[6] = uint8_t(m_wSeq >> 8);
    m_packet[7] = uint8_t(m_wSeq);
    if (request.m_nDataSize)
        std::memcpy(m_packet.data() + kIcmpHeaderSize, request.m_pData, request.m_nDataSize);
    // The kernel sums ICMPv6 messages itself (the checksum covers the IPv6 pseudo-header).
    if (m_bRaw && !m_bIPv6) {
        const uint16_t sum = InternetChecksum(m_packet.data(), m_packet.size());
        m_packet[2] = uint8_t(sum >> 8);
        m_packet[3] = uint8_t(sum);
    }

    if (!SetHopLimit(request)) {
        dwStatus = kIpBadOption;
        return 0;
    }

    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(request.m_dwTimeout);
    if (Send(request) < 0) {
        dwStatus = SendErrorStatus(errno);
        return 0;
    }

    while (true) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd pfd {m_fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, int(left));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            dwStatus = kIpGeneralFailure;
            return 0;
        }
        if (ready == 0)
            break;

        EMatch match = EMatch::None;
        if (pfd.revents & POLLERR) {
            if (!m_bRaw)
                match = m_bIPv6 ? ReadErrorQueue6(reply) : ReadErrorQueue(request, reply);
            // A raw socket also marks ICMP errors as a pending socket error; the
            // message itself arrives as a packet. Clear it so poll sleeps again.
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len);
        }
        if (match == EMatch::None && (pfd.revents & POLLIN))
            match = m_bIPv6 ? ReadPacket6(request, reply) : ReadPacket(request, reply);
        if (match == EMatch::Reply) {
            reply.m_dwRoundTripTime =
                uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            return 1;
        }
    }
    dwStatus = kIpRequestTimedOut;
    return 0;
}

CLinuxIcmpSession::EMatch CLinuxIcmpSession::ReadPacket(const CIcmpEchoRequest& request, CIcmpEchoReply& reply)
{
    sockaddr_in from {};
    socklen_t fromLen = sizeof from;
    const ssize_t got =
        recvfrom(m_fd, m_buffer, sizeof m_buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    // A ping socket with IP_RECVERR reports a queued ICMP error once as a failed
    // receive; the error itself is read from the error queue.
    if (got < 0)
        return EMatch::None;
    const size_t n = size_t(got);
    if (m_bRaw)
        return ReadRawPacket(m_buffer, n, request, reply);

    // A ping socket hands over the ICMP message without the IP header, and only
    // echo replies to its own id.
    if (n < kIcmpHeaderSize || m_buffer[0] != kEchoReply || Read16(m_buffer + 6) != m_wSeq)
        return EMatch::None;
    reply.m_dwAddress = ntohl(from.sin_addr.s_addr);
    reply.m_dwStatus = kIpSuccess;
    return EMatch::Reply;
}

CLinuxIcmpSession::EMatch CLinuxIcmpSession::ReadRawPacket(const uint8_t* p, size_t n, const CIcmpEchoRequest& request,
                                                           CIcmpEchoReply& reply)
{
    if (n < kIpHeaderMin || (p[0] >> 4) != 4)
        return EMatch::None;
    const size_t ihl = size_t(p[0] & 15) * 4;
    if (ihl < kIpHeaderMin || n < ihl + kIcmpHeaderSize || p[9] != IPPROTO_ICMP)
        return EMatch::None;
    const uint32_t source = Read32(p + 12);
    const uint8_t* icmp = p + ihl;
    const uint8_t type = icmp[0];

    if (type == kEchoReply) {
        if (Read16(icmp + 4) != m_wId || Read16(icmp + 6) != m_wSeq)
            return EMatch::None;
        if (source != request.m_dwAddress && request.m_dwAddress != 0xFFFFFFFFu)
            return EMatch::None;
        reply.m_dwAddress = source;
        reply.m_dwStatus = kIpSuccess;
        return EMatch::Reply;
    }
    if (type != kDestUnreachable && type != kSourceQuench && type != kTimeExceeded && type != kParameterProblem)
        return EMatch::None;

    // An ICMP error quotes the IP header and the first 8 bytes of the datagram that caused it.
    const uint8_t* inner = icmp + kIcmpHeaderSize;
    const size_t innerAvail = n - ihl - kIcmpHeaderSize;
    if (innerAvail < kIpHeaderMin || (inner[0] >> 4) != 4)
        return EMatch::None;
    const size_t innerIhl = size_t(inner[0] & 15) * 4;
    if (innerIhl < kIpHeaderMin || innerAvail < innerIhl + kIcmpHeaderSize || inner[9] != IPPROTO_ICMP)
        return EMatch::None;
    if (Read32(inner + 16) != request.m_dwAddress)
        return EMatch::None;
    const uint8_t* quoted = inner + innerIhl;
    if (quoted[0] != kEchoRequest || Read16(quoted + 4) != m_wId || Read16(quoted + 6) != m_wSeq)
        return EMatch::None;
    reply.m_dwAddress = source;
    reply.m_dwStatus = IcmpMessageStatus(type, icmp[1]);
    return EMatch::Reply;
}

CLinuxIcmpSession::EMatch CLinuxIcmpSession::ReadErrorQueue(const CIcmpEchoRequest&, CIcmpEchoReply& reply)
{
    // Read every queued error: a late one for an earlier request must not hide ours.
    for (int i = 0; i < kMaxDrain; ++i) {
        alignas(cmsghdr) uint8_t control[512];
        iovec iov {m_buffer, sizeof m_buffer};
        msghdr msg {};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (got < 0)
            return EMatch::None;
        // The payload is the echo request as it went out; its sequence tells whose error this is.
        if (size_t(got) < kIcmpHeaderSize || m_buffer[0] != kEchoRequest || Read16(m_buffer + 6) != m_wSeq)
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
                continue;
            if (c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
                continue;
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            if (ee.ee_origin != SO_EE_ORIGIN_ICMP)
                continue;
            uint32_t offender = 0;
            if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
                sockaddr_in sin;
                std::memcpy(&sin, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof sin);
                if (sin.sin_family == AF_INET)
                    offender = ntohl(sin.sin_addr.s_addr);
            }
            reply.m_dwAddress = offender;
            reply.m_dwStatus = IcmpMessageStatus(ee.ee_type, ee.ee_code);
            return EMatch::Reply;
        }
    }
    return EMatch::None;
}

CLinuxIcmpSession::EMatch CLinuxIcmpSession::ReadPacket6(const CIcmpEchoRequest& request, CIcmpEchoReply& reply)
{
    sockaddr_in6 from {};
    socklen_t fromLen = sizeof from;
    const ssize_t got =
        recvfrom(m_fd, m_buffer, sizeof m_buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (got < 0 || fromLen < sizeof from || from.sin6_family != AF_INET6)
        return EMatch::None;
    std::array<uint8_t, 16> bytes;
    std::memcpy(bytes.data(), &from.sin6_addr, bytes.size());
    CIcmp6Probe probe;
    probe.m_target = request.m_address6;
    probe.m_wId = m_wId;
    probe.m_wSeq = m_wSeq;
    probe.m_bRaw = m_bRaw;
    return MatchIcmp6Message(m_buffer, size_t(got), CIPAddress::FromBytes(bytes), probe, reply) ? EMatch::Reply
                                                                                                : EMatch::None;
}

CLinuxIcmpSession::EMatch CLinuxIcmpSession::ReadErrorQueue6(CIcmpEchoReply& reply)
{
    for (int i = 0; i < kMaxDrain; ++i) {
        alignas(cmsghdr) uint8_t control[512];
        iovec iov {m_buffer, sizeof m_buffer};
        msghdr msg {};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (got < 0)
            return EMatch::None;
        if (size_t(got) < kIcmpHeaderSize || m_buffer[0] != kEchoRequest6 || Read16(m_buffer + 6) != m_wSeq)
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IPV6 || c->cmsg_type != IPV6_RECVERR)
                continue;
            if (c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
                continue;
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            if (ee.ee_origin != SO_EE_ORIGIN_ICMP6)
                continue;
            CIPAddress offender = CIPAddress::FromIPv6(0, 0);
            if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in6))) {
                sockaddr_in6 sin6;
                std::memcpy(&sin6, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof sin6);
                if (sin6.sin6_family == AF_INET6) {
                    std::array<uint8_t, 16> bytes;
                    std::memcpy(bytes.data(), &sin6.sin6_addr, bytes.size());
                    offender = CIPAddress::FromBytes(bytes);
                }
            }
            reply.m_address6 = offender;
            reply.m_dwStatus = Icmp6MessageStatus(ee.ee_type, ee.ee_code);
            return EMatch::Reply;
        }
    }
    return EMatch::None;
}

bool FallBackToRaw(int err)
{
    return err == EACCES || err == EPERM || err == EPROTONOSUPPORT || err == EAFNOSUPPORT;
}

} // namespace

std::unique_ptr<CIcmpSession> CLinuxIcmpService::Open(std::string& strError)
{
    return OpenFamily(false, strError);
}

std::unique_ptr<CIcmpSession> CLinuxIcmpService::OpenIPv6(std::string& strError)
{
    return OpenFamily(true, strError);
}

std::unique_ptr<CIcmpSession> CLinuxIcmpService::OpenFamily(bool bIPv6, std::string& strError)
{
    // Both families follow one rule: ICMPv6 ping sockets obey net.ipv4.ping_group_range too.
    const int family = bIPv6 ? AF_INET6 : AF_INET;
    const int protocol = bIPv6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    int fd = -1;
    int err = 0;
    bool raw = false;
    if (m_kind != ESocketKind::Raw) {
        fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
        err = fd < 0 ? errno : 0;
    }
    if (fd < 0 && (m_kind == ESocketKind::Raw || (m_kind == ESocketKind::Automatic && FallBackToRaw(err)))) {
        fd = socket(family, SOCK_RAW | SOCK_CLOEXEC, protocol);
        err = fd < 0 ? errno : 0;
        raw = true;
    }
    if (fd < 0) {
        char buf[512];
        std::snprintf(buf, sizeof buf, PingTexts::kNoIcmpSocket, std::strerror(err));
        strError = buf;
        return nullptr;
    }

    const int on = 1;
    if (bIPv6) {
        if (raw) {
            icmp6_filter filter;
            ICMP6_FILTER_SETBLOCKALL(&filter);
            for (int type :
                 {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
                ICMP6_FILTER_SETPASS(type, &filter);
            setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
        } else if (setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on) < 0) {
            const int e = errno;
            close(fd);
            char buf[512];
            std::snprintf(buf, sizeof buf, PingTexts::kNoIcmpSocket, std::strerror(e));
            strError = buf;
            return nullptr;
        }
        return std::make_unique<CLinuxIcmpSession>(fd, raw, true);
    }
    // The broadcast address is a valid target.
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (raw) {
        icmp_filter filter {};
        filter.data = ~uint32_t((1u << kEchoReply) | (1u << kDestUnreachable) | (1u << kSourceQuench) |
                                (1u << kTimeExceeded) | (1u << kParameterProblem));
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    } else if (setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) < 0) {
        // Without it the kernel drops time-exceeded and unreachable messages and a
        // trace would see nothing but time-outs.
        const int e = errno;
        close(fd);
        char buf[512];
        std::snprintf(buf, sizeof buf, PingTexts::kNoIcmpSocket, std::strerror(e));
        strError = buf;
        return nullptr;
    }
    return std::make_unique<CLinuxIcmpSession>(fd, raw, false);
}
