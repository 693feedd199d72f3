// The referral loop and the final text over hostile answers: the input is up to
// five answers separated by 0x1E bytes, handed out one per exchange (the last
// repeats); the organisation query gets the next one. Nothing touches the network.

#include "core/record/NameResolver.h"
#include "net/IPWhoisLookup.h"
#include "net/WhoisReferral.h"
#include "net/WhoisServerTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

class CNoNames : public CNameResolver
{
public:
    bool ResolveName(const std::string&, uint32_t&) override { return false; }
    bool ResolveAddress(uint32_t, std::string&) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> answers;
    size_t start = 0;
    while (answers.size() < 5) {
        const size_t sep = input.find('\x1e', start);
        answers.push_back(input.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos)
            break;
        start = sep + 1;
    }

    for (const std::string& a : answers) {
        CReferralServer referral;
        FindReferralServer(a, referral);
    }

    CWhoisServerTable table;
    table.m_nRetryPauseMs = 0;
    table.m_nMaxAnswerBytes = 1 << 20;
    CNoNames names;
    size_t next = 0;
    const auto exchange = [&](const std::string&, const std::string&, std::string& result, int) {
        result = answers[next < answers.size() ? next : answers.size() - 1];
        ++next;
        return true;
    };
    // The same answers for an IPv4 and for an IPv6 address (ARIN's NET6 handles and
    // IPv6 list ranges).
    for (const char* target : {"192.0.2.1", "2001:db8::1"}) {
        next = 0;
        std::string result;
        IPWhoisLookup(target, result, table, names, exchange);
        // The result is the header plus at most the answers, the organisation text
        // inserted within the bound, and a doubling of line ends.
        if (result.size() > 64 + 2 * (4 * input.size() + table.m_nMaxAnswerBytes))
            __builtin_trap();
    }
    return 0;
}
