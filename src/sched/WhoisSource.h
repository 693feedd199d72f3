#pragma once

#include <string>

struct CWorkerEnvironment;

// Where a whois lookup gets its answer. Every source is one blocking procedure
// that fills the text exactly as a port-43 conversation would (empty: no answer,
// the address is asked again later), so the whois row of the lookup table, its
// merge and its retry rule stay the same whatever the source.
// A source may also say "ask again later" (an RDAP registry over its limit): the
// text is then empty and the address waits again without spending a try.
enum class EWhoisSource : int
{
    kPort43 = 0,
    // RDAP over HTTPS first (the environment's RDAP client), port 43 when RDAP gives no usable answer.
    kRdap = 1,
};

// True when the source asks to be asked again later.
using WhoisQueryProc = bool (*)(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env);

// The procedure of a source; never null (an unknown value gives port 43).
WhoisQueryProc WhoisQueryOf(EWhoisSource source);
