#pragma once

#include <string>

struct CWorkerEnvironment;

// Where a whois lookup gets its answer. Every source is one blocking procedure
// that fills the text exactly as a port-43 conversation would (empty: no answer,
// the address is asked again later), so the whois row of the lookup table, its
// merge and its retry rule stay the same whatever the source.
// A new source (RDAP over HTTPS) is one more value here and one more case in
// WhoisQueryOf.
enum class EWhoisSource : int
{
    kPort43 = 0,
};

using WhoisQueryProc = void (*)(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env);

// The procedure of a source; never null (an unknown value gives port 43).
WhoisQueryProc WhoisQueryOf(EWhoisSource source);
