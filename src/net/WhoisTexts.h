#pragma once

// Fixed texts of the whois lookup: what the user sees and what the servers' answers are searched for.
namespace WhoisTexts {

inline constexpr const char* kSection = "Whois Servers";
inline constexpr const char* kWhoisPort = "Whois Port";
inline constexpr const char* kRWhoisPort = "RWhois Port";
inline constexpr const char* kConnectTimeout = "Connect Timeout";
inline constexpr const char* kIdleTimeout = "Idle Timeout";
inline constexpr const char* kAnswerTimeout = "Answer Timeout";
inline constexpr const char* kMaxAnswerSize = "Max Answer Size";

inline constexpr const char* kUnableToResolve = "Unable to resolve host";
inline constexpr const char* kQueryLimit = "Your query limit has been exceeded";
inline constexpr const char* kNoMatch = "No match for";
inline constexpr const char* kArinFooter = "# ARIN Whois database";
inline constexpr const char* kOrgId = "OrgID:";
inline constexpr const char* kOrgQueryPrefix = "! o + ";
inline constexpr const char* kAddress = "Address:";
inline constexpr const char* kNetNameApnic = "NetName:    APNIC";
inline constexpr const char* kNetNameRipe = "NetName:    RIPE";
inline constexpr const char* kNetNameAunic = "NetName:    AUNIC";
inline constexpr const char* kNetNameLacnic = "NetName:    LACNIC";
inline constexpr const char* kReferralWhois = "ReferralServer: whois://";
inline constexpr const char* kReferralServer = "ReferralServer:";
inline constexpr const char* kRWhoisScheme = "rwhois://";
inline constexpr const char* kWhoisScheme = "whois://";
inline constexpr const char* kRWhoisPortSuffix = ":4321";

} // namespace WhoisTexts
