#include "net/SystemNameResolver.h"

#include <arpa/inet.h>
#include <array>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Host names are at most 253 characters; anything longer cannot resolve and is
// not worth a trip to the name service.
constexpr size_t kMaxHostName = 1024;

} // namespace

bool CSystemNameResolver::ResolveName(const std::string& strName, uint32_t& dwAddress)
{
    if (strName.empty() || strName.size() > kMaxHostName || strName.find('\0') != std::string::npos)
        return false;
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(strName.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    bool found = false;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sin;
            std::memcpy(&sin, ai->ai_addr, sizeof sin);
            dwAddress = ntohl(sin.sin_addr.s_addr);
            found = true;
            break;
        }
    }
    freeaddrinfo(list);
    return found;
}

bool CSystemNameResolver::ResolveAddress(uint32_t dwAddress, std::string& strName)
{
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(dwAddress);
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr, 0, NI_NAMEREQD) !=
        0)
        return false;
    strName = host;
    return true;
}

bool CSystemNameResolver::ResolveNameIPv6(const std::string& strName, CIPAddress& address)
{
    if (strName.empty() || strName.size() > kMaxHostName || strName.find('\0') != std::string::npos)
        return false;
    addrinfo hints {};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(strName.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    bool found = false;
    for (addrinfo* ai = list; ai && !found; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET6 || ai->ai_addrlen < sizeof(sockaddr_in6))
            continue;
        sockaddr_in6 sin6;
        std::memcpy(&sin6, ai->ai_addr, sizeof sin6);
        std::array<uint8_t, 16> bytes;
        std::memcpy(bytes.data(), &sin6.sin6_addr, bytes.size());
        // An IPv4-mapped answer is an IPv4 address, which the IPv4 lookup gives.
        const CIPAddress a = CIPAddress::FromBytes(bytes);
        if (a.IsIPv6()) {
            address = a;
            found = true;
        }
    }
    freeaddrinfo(list);
    return found;
}

bool CSystemNameResolver::ResolveIPAddress(const CIPAddress& address, std::string& strName)
{
    if (address.IsIPv4())
        return ResolveAddress(address.IPv4(), strName);
    sockaddr_in6 sin6 {};
    sin6.sin6_family = AF_INET6;
    const std::array<uint8_t, 16> bytes = address.Bytes();
    std::memcpy(&sin6.sin6_addr, bytes.data(), bytes.size());
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sin6), sizeof sin6, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return false;
    strName = host;
    return true;
}
