#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// TWNIC: "Netname:" and "Netblock:", then indented free text (the holder's
// names and address, the English name the first line in ASCII), then contacts.
void ReadTwnic(std::string_view text, CAnswer& answer);

} // namespace WhoisAnswer
