#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// ARIN's answers: "NetRange:" sections, or one-line list entries.
void ReadArin(std::string_view text, CAnswer& answer);

} // namespace WhoisAnswer
