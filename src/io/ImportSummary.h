#pragma once

#include <string>

struct CImportTally;

// The one line that tells what an import took, the same in the window and on the
// command line: "Imported N addresses (M new) from L matching lines of T; skipped
// S lines (D damaged, U not an address)", and when IPv6 addresses came in, "; IPv4:
// A addresses (a new), IPv6: B addresses (b new)".
std::string FormatImportSummary(const CImportTally& tally);
