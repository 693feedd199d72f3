#pragma once

#include "cli/CliCommand.h"
#include "core/record/IPAddress.h"

#include <string>

// The ADDRESS of host, ping and traceroute: an IPv4 or IPv6 address or a host
// name. Empty when it is one, otherwise why not (for a usage error).
inline std::string CliTargetProblem(const std::string& strText)
{
    if (strText.find(':') != std::string::npos) {
        const CParseResult<CIPAddress> parsed = ParseIPAddress(strText);
        return parsed ? std::string() : "'" + strText + "' is not an IPv6 address: " + parsed.Reason();
    }
    if (IsAddressOrHostName(strText))
        return std::string();
    return "'" + strText + "' is neither an IP address nor a host name";
}

inline constexpr const char* kCliTargetHelp = "an IPv4 or IPv6 address or a host name";
