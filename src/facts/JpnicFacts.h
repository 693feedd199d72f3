#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// JPNIC: "[label]  value" lines, with or without "a. " key letters.
void ReadJpnic(std::string_view text, CAnswer& answer);

} // namespace WhoisAnswer
