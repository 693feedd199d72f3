#pragma once

#include <string>
#include <vector>

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

// What a source met besides its text, for the registry back-off.
struct CWhoisSourceReport {
    // Ask again later without spending a try: a registry was over its limit, or paused.
    bool m_bRetryLater = false;
    // The registry whose limit answer came just now; empty when none.
    std::string m_strLimitRegistry;
    // That registry denied access for good: the address ends failed, not waiting.
    bool m_bDeniedForGood = false;
    // How long that registry asked us to wait (RDAP's Retry-After), 0: it did not say.
    long m_nLimitSeconds = 0;
    // Registries that gave usable answers.
    std::vector<std::string> m_goodRegistries;
    // Why the text is empty ("time-out", ...); empty when it is not.
    std::string m_strFailure;
    // A zero byte cut an answer short on the way.
    bool m_bZeroByteCut = false;
};

// Whom a source asks first for an address.
struct CWhoisStart {
    // The registry that holds the address (delegation data or bootstrap); empty: unknown.
    std::string m_strRegistry;
    // The port-43 chain starts at that registry's server instead of ARIN's.
    bool m_bAtRegistry = false;
};

using WhoisQueryProc = void (*)(const std::string& strAddress, std::string& strText, const CWorkerEnvironment& env,
                                const CWhoisStart& start, CWhoisSourceReport& report);

// The procedure of a source; never null (an unknown value gives port 43).
WhoisQueryProc WhoisQueryOf(EWhoisSource source);
