#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// KRNIC: the English part after "# ENGLISH", one "[ Network Information ]" section per block.
void ReadKrnic(std::string_view text, CAnswer& answer);

} // namespace WhoisAnswer
