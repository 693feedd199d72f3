#pragma once

#include <string>

// Reads a stored integer the way a profile read does: optional blanks, an optional
// sign, decimal digits (or 0x and hex digits). Anything else, an empty text, or a
// value outside the 32-bit range gives the default; unsigned values up to 2^32-1
// wrap to their signed pattern so that a stored DWORD reads back unchanged.
int ParseProfileInt(const std::string& text, int nDefault);
