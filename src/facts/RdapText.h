#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct CWhoisFacts;

// How an RDAP answer is kept as a record's whois text: the address line and blank
// line of every whois result, a summary in whois labels (so the owner, country and
// range extraction reads it like any whois answer), a blank line, then the JSON
// exactly as received.
namespace RdapText {

inline constexpr const char* kUrlLabel = "RDAP URL:";
inline constexpr const char* kNoMatch = "No match found for";

// JSON nested deeper than this is refused before parsing: the parser recurses.
inline constexpr size_t kMaxDepth = 64;

// The JSON part of a stored RDAP text; empty for any other text.
std::string_view JsonOf(std::string_view strText);

// True when no array or object in the text opens more than nMaxDepth levels deep.
// Strings are skipped, so brackets inside them do not count. Linear, no allocation.
bool NestingWithin(std::string_view strJson, size_t nMaxDepth = kMaxDepth);

// An IPv4 address as RDAP servers write it: dotted quad, leading zeros allowed
// ("074.125.000.000"), optionally followed by "/prefix" (read and ignored).
bool ParseAddress(std::string_view strText, uint32_t& dwAddress);

// The whole stored text: strHeader is the first line without its line end
// ("192.0.2.1" or "192.0.2.1 [host]"); facts fill the summary; strJson follows as is.
std::string Compose(std::string_view strHeader, const CWhoisFacts& facts, std::string_view strRegistry,
                    std::string_view strUrl, std::string_view strJson);

// The stored text of a 404 answer: the registry holds no network for the address.
std::string ComposeNoMatch(std::string_view strHeader, std::string_view strAddress, std::string_view strRegistry,
                           std::string_view strUrl);

// The registry a whois or RDAP host name belongs to ("whois.arin.net", "rdap.db.ripe.net"); empty when unknown.
std::string RegistryOfHost(std::string_view strHost);

} // namespace RdapText
