#pragma once

// Fixed texts of the ping check and the traceroute.
namespace PingTexts {

inline constexpr const char* kNoIcmpService = "Unable to locate ICMP.DLL!";
inline constexpr const char* kResolveError = "Error (%d) resolving %s.";
inline constexpr const char* kPingingNamed = "Pinging %s [%s] with %d bytes of data.";
inline constexpr const char* kPingingAddress = "Pinging %s with %d bytes of data.";
inline constexpr const char* kHopLine = "%d  %s  %s  %ldms";
inline constexpr const char* kNoHopName = "-";
inline constexpr const char* kHopNameUnavailable = "unavailable";
inline constexpr const char* kBroadcast = "255.255.255.255";
inline constexpr const char* kStatusText = "%s\n";
inline constexpr const char* kStatusCode = "(%d) ";
inline constexpr const char* kTraceLineEnd = "\r\n";

// Neither socket kind could be opened: say how to allow one.
inline constexpr const char* kNoIcmpSocket = "Unable to open an ICMP socket (%s). Allow ping sockets with "
                                             "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\", "
                                             "or give the program raw sockets with setcap cap_net_raw+ep.";

} // namespace PingTexts
