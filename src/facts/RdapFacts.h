#pragma once

#include "facts/WhoisFacts.h"

#include <cstdint>
#include <optional>
#include <string_view>

// Reads the facts from an RDAP IP network object (RFC 9083) as received. Never
// throws: invalid or non-RDAP JSON gives empty facts.
CWhoisFacts ReadRdapFacts(std::string_view strJson, std::optional<uint32_t> dwAddress = std::nullopt);
CWhoisFacts ReadRdapFacts(std::string_view strJson, const CIPAddress& address);
