#pragma once

#include "core/record/NameResolver.h"

#include <string>

// Turns an address text into its host name. A text that does not parse as an
// IPv4 address is looked up as the all-ones address, which has no name. On
// failure the name is "unavailable" and the result false.
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
