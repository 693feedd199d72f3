#pragma once

#include "core/record/IPAddress.h"
#include "core/record/NameResolver.h"

#include <string>

// Turns an address text into its host name. An IPv6 text is looked up by its
// ip6.arpa entry; any other text that does not parse as an IPv4 address is
// looked up as the all-ones address, which has no name. On failure the name is
// "unavailable" and the result false.
bool ReverseLookup(CNameResolver& resolver, std::string strAddress, std::string& strName);

// Turns a host name into an address text in canonical dotted-quad form. No lookup
// is made for an empty text or a text without a dot; when the name does not
// resolve it is tried as an address literal. On failure the output is untouched.
bool HostNameToAddress(CNameResolver& resolver, std::string strHostName, std::string& strAddress);

// Parses an IPv4 literal the way inet_aton does (1 to 4 parts, decimal, octal with
// a leading 0, hex with 0x); false for anything else.
bool ParseInetAddress(const std::string& text, uint32_t& dwAddress);

// "%d.%d.%d.%d" of a number whose first octet is in the top byte.
std::string FormatInetAddress(uint32_t dwAddress);

// The name a reverse lookup asks DNS for: "1.2.0.192.in-addr.arpa" for 192.0.2.1,
// the 32 nibbles of an IPv6 address, lowest first, under "ip6.arpa".
std::string ReverseDnsName(const CIPAddress& address);
