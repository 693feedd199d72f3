#pragma once

#include "core/record/OleDateTime.h"

#include <string>

// A date-time as the reports show it: "-" when the value is not valid, cannot be
// turned into a calendar date, or lies in 1970 or earlier (a time that was never
// really set); otherwise the user's locale short date, a blank and the locale
// time. The locale is the process's LC_TIME as the front end set it; under the
// C or POSIX locale (no user locale) the fixed form 2026-12-07 13:05:09 is used.
std::string FormatDateTimeText(const COleDateTime& dt);
