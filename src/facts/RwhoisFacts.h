#pragma once

#include "facts/WhoisAnswer.h"

#include <string_view>

namespace WhoisAnswer {

// rwhois: "network:Key:Value" (also "Key;I:Value", keys with blanks, or no
// class prefix), "%rwhois V-1.5 HOST" first.
void ReadRwhois(std::string_view text, CAnswer& answer);

} // namespace WhoisAnswer
