#include "net/WhoisQuery.h"

#include "core/record/HostLookup.h"
#include "core/record/IPAddress.h"
#include "core/record/NameResolver.h"
#include "net/PlatformSocket.h"
#include "net/WhoisServerTable.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// The query line is formatted into 128 bytes: query, CR, LF and a terminator.
constexpr size_t kMaxQuery = 125;
constexpr size_t kReceiveBuffer = 3000;
constexpr size_t kReceiveChunk = 2996;

// The server's address: an IPv6 literal (bracketed or not) as it stands, else the
// name's IPv4 address or a dotted quad, else the name's IPv6 address for a server
// that has only one of those.
bool ResolveServer(const std::string& server, CNameResolver& resolver, CIPAddress& address)
{
    if (server.find(':') != std::string::npos) {
        std::string_view text = server;
        if (text.size() > 2 && text.front() == '[' && text.back() == ']')
            text = text.substr(1, text.size() - 2);
        const CParseResult<CIPAddress> literal = ParseIPAddress(text);
        if (!literal)
            return false;
        address = *literal;
        return true;
    }
    uint32_t dwAddress = 0;
    if (resolver.ResolveName(server, dwAddress) || ParseInetAddress(server, dwAddress)) {
        address = CIPAddress::FromIPv4(dwAddress);
        return true;
    }
    return resolver.ResolveNameIPv6(server, address);
}

} // namespace

const char* DescribeWhoisQueryEnd(EWhoisQueryEnd end)
{
    switch (end) {
    case EWhoisQueryEnd::complete:
        return "complete";
    case EWhoisQueryEnd::refused:
        return "not sent";
    case EWhoisQueryEnd::unresolved:
        return "the server's name did not resolve";
    case EWhoisQueryEnd::connectFailed:
        return "no connection";
    case EWhoisQueryEnd::connectTimedOut:
        return "no connection within the time-out";
    case EWhoisQueryEnd::sendFailed:
        return "the query could not be sent";
    case EWhoisQueryEnd::receiveFailed:
        return "the connection broke during the answer";
    case EWhoisQueryEnd::timedOut:
        return "the answer was cut by a time-out";
    case EWhoisQueryEnd::tooLong:
        return "the answer was cut at the size limit";
    }
    return "";
}

ELookupFailure FailureOfQueryEnd(EWhoisQueryEnd end)
{
    switch (end) {
    case EWhoisQueryEnd::complete:
        return ELookupFailure::kNone;
    case EWhoisQueryEnd::refused:
        return ELookupFailure::kNoAnswer;
    case EWhoisQueryEnd::unresolved:
        return ELookupFailure::kNameNotResolved;
    case EWhoisQueryEnd::connectFailed:
        return ELookupFailure::kConnectionRefused;
    case EWhoisQueryEnd::connectTimedOut:
    case EWhoisQueryEnd::timedOut:
        return ELookupFailure::kTimeOut;
    case EWhoisQueryEnd::sendFailed:
    case EWhoisQueryEnd::receiveFailed:
        return ELookupFailure::kConnectionReset;
    case EWhoisQueryEnd::tooLong:
        return ELookupFailure::kCutAtMaxSize;
    }
    return ELookupFailure::kNoAnswer;
}

bool WhoisQuery(std::string query, std::string server, std::string& result, int port, const CWhoisServerTable& limits,
                CNameResolver& resolver, EWhoisQueryEnd* pEnd, bool* pZeroByte)
{
    EWhoisQueryEnd ignored;
    EWhoisQueryEnd& end = pEnd ? *pEnd : ignored;
    end = EWhoisQueryEnd::refused;
    if (server.empty())
        return false;
    result.clear();

    // The line was built with "%s", which ends at a zero byte.
    const size_t nul = query.find('\0');
    if (nul != std::string::npos)
        query.resize(nul);
    // A line break would smuggle a second command to the server.
    if (query.size() > kMaxQuery || query.find_first_of("\r\n") != std::string::npos)
        return false;

    end = EWhoisQueryEnd::connectFailed;
    CPlatformSocket socket;
    if (!socket.Open())
        return false;

    CIPAddress address;
    if (!ResolveServer(server, resolver, address)) {
        end = EWhoisQueryEnd::unresolved;
        return false;
    }
    if (address.IsIPv6() && !socket.Open(true))
        return false;

    if (!socket.Connect(address, port, limits.m_nConnectTimeoutMs)) {
        if (errno == ETIMEDOUT)
            end = EWhoisQueryEnd::connectTimedOut;
        return false;
    }

    end = EWhoisQueryEnd::sendFailed;
    const std::string line = query + "\r\n";
    if (!socket.SendAll(line.data(), line.size(), limits.m_nIdleTimeoutMs))
        return false;

    // The idle time-out alone would let a server that sends a byte now and then hold us for days.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.m_nAnswerTimeoutMs);
    char buffer[kReceiveBuffer];
    while (true) {
        std::memset(buffer, 0, sizeof buffer);
        size_t received = 0;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        const int wait = int(std::max<long long>(0, std::min<long long>(left, limits.m_nIdleTimeoutMs)));
        const CPlatformSocket::EReceive status = socket.Receive(buffer, kReceiveChunk, wait, received);
        if (status == CPlatformSocket::closedByPeer) {
            socket.ShutdownReceive();
            end = EWhoisQueryEnd::complete;
            return true;
        }
        if (status != CPlatformSocket::received) {
            socket.ShutdownReceive();
            end = status == CPlatformSocket::timedOut ? EWhoisQueryEnd::timedOut : EWhoisQueryEnd::receiveFailed;
            return false;
        }
        // Bytes after a zero byte in the same chunk are dropped.
        const size_t kept = strnlen(buffer, received);
        if (kept < received && pZeroByte)
            *pZeroByte = true;
        result.append(buffer, kept);
        if (result.size() > limits.m_nMaxAnswerBytes) {
            result.resize(limits.m_nMaxAnswerBytes);
            socket.ShutdownReceive();
            end = EWhoisQueryEnd::tooLong;
            return false;
        }
    }
}
