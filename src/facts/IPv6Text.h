#pragma once

#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"

#include <optional>
#include <string_view>

// IPv6 addresses and networks as registries write them in their answers: upper or
// lower case, zero-padded or not, a trailing remark allowed after the range, and
// LACNIC's short "2001:1218/32" for "2001:1218::/32". Only IPv6 values: an IPv4
// address (an IPv4-mapped text too) gives nothing. Linear in the value's length.
namespace IPv6Text {

// "a - b" or "a/n" (n at most 128) at the start of the value.
std::optional<CIPRange> ReadRange(std::string_view strValue);

// A list of prefixes ("a/n, b/n"), in any order: the smallest range that holds them all.
std::optional<CIPRange> ReadCidrList(std::string_view strValue);

// One address at the start of the value; a "/n" after it is ignored (RDAP servers
// write "2a00:2381:ffff::/128" for an address).
std::optional<CIPAddress> ReadAddress(std::string_view strValue);

} // namespace IPv6Text
