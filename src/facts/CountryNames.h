#pragma once

#include <string_view>

// The ISO 3166-1 two-letter code of a country named in English ("UNITED STATES",
// "Korea, Republic of", "Germany"), compared without ASCII case; empty when the name
// is none the standard lists.
std::string_view CountryCodeOfName(std::string_view strName);
