#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// The RPSL answers of RIPE, APNIC, AFRINIC, LACNIC and registro.br: objects of
// "key: value" lines, the network's holder and contacts found through the
// objects it names. Notes the origin AS of the route object that holds the block
// chosen for the address.
void ReadRpsl(std::string_view text, CAnswer& answer, const std::optional<CIPAddress>& address);

} // namespace WhoisAnswer
