#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Address texts and numbers. Numbers are host order with the first octet in the
// top byte.

// True for 5..15 characters of digits and exactly three dots, each piece 0..255.
// Empty pieces read as 0 and leading zeros are accepted ("10..0.1", "010.1.0.1").
bool IsValidDottedQuad(std::string_view strText);

// atoi of each of the four pieces, combined without range checks; 0 when the text
// has fewer than three dots. Callers validate first.
uint32_t ParseDottedQuad(std::string_view strText);

// "%d.%d.%d.%d"
std::string FormatDottedQuad(uint32_t dwAddress);
